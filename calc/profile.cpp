// Calculated psi-scan profile: every strong event adds its peak and
// subtracts its dip with an asymmetric pseudo-Voigt line, cut on the side
// of its partner event; I-prim is the base line.
#include <cmath>

#include "calc/pass.h"

namespace korva {

namespace {

struct side_shape {
  float sig = 0, G = 0, L = 0, w = 0, n = 0;
};

// Pseudo-Voigt of one side: Gaussian and Lorentzian of the side's half
// width, mixed by eta and scaled so that both sides meet at the peak.
float shape(const side_shape& s, float eta, float x) {
  const float r = x / s.w;
  return s.n * ((1.0f - eta) * s.G * std::exp(-0.5f * (x / s.sig) * (x / s.sig)) + eta * s.L / (1.0f + r * r));
}

// One event at psi_e; io = true for the event whose partner lies toward
// smaller psi.
void add_event(intensity_data& d, const calc_state& cs, const event_geometry& g, const event_intensity& e,
               float psi_e, bool io, float eta, const side_shape& in, const side_shape& out, float wi, float wo) {
  const float pf = cs.path_factor, pf2 = pf * pf;
  const int32 k = static_cast<int32>(std::round((psi_e - d.psia) * d.zsw));
  float* aint = d.aint.data();
  const int32 nstep = d.nstep;
  const float half_pi = 1.5707963f;

  auto contribute = [&](int32 j, bool inner) {
    const float psi_j = d.psia + static_cast<float>(j) / d.zsw;
    const float x = psi_j - psi_e;
    float v;
    if (!inner)
      v = shape(out, eta, x);
    else if (std::fabs(x) > g.BETA)
      v = 0.0f;  // no contribution beyond the partner event
    else
      v = shape(in.sig > 0.0f ? in : out, eta, x);
    const float uv = e.U * v;
    float sv = e.S * v;
    float i_int = 0.0f;
    if (d.nnn != 0) {
      const float w = inner ? wi : wo;
      const float u = io ? (psi_j - psi_e) / w : (psi_e - psi_j) / w;
      if (e.iprim_red > sv)
        i_int = 2.0f * std::sqrt((e.iprim_red - sv) * uv) * std::cos(half_pi + std::atan(u) + e.trphi) * e.Pint;
      else
        sv = e.iprim_red;
    }
    aint[j] += pf2 * (uv - sv) + pf * i_int;
  };

  // The i-o event has its partner toward smaller psi: points up to k are its
  // inner side; the o-i event the other way round.
  for (int32 j = 0; j <= nstep; ++j) {
    const bool low = j <= k;
    contribute(j, io ? low : !low);
  }
}

}  // namespace

void add_to_profile(intensity_data& d, const calc_state& cs, const event_geometry& g, const event_intensity& e) {
  if (d.zsw_in <= 0.0f) return;
  if (std::fabs(e.Ipk) <= d.ithresh) return;
  // A degenerate line (no width, or a width that sweeps no reciprocal
  // length) carries no intensity to spread and is not counted.
  if (!(e.L2 > 0.0f) || !(e.w_out > 0.0f) || !std::isfinite(e.w_out) || !std::isfinite(e.w_in)) return;

  const float eta = (d.irad == 1 && g.z_off * g.z_off > d.q1 / 4.0f) ? std::fabs(g.cos_beta)
                                                                      : g.h2_perp * cs.lam_cur / 2.0f;
  side_shape out, in;
  out.w = e.w_out;
  out.sig = 0.849321783f * e.w_out;
  out.G = 0.469718486f / e.w_out;
  out.L = 0.318309903f / e.w_out;
  in.w = e.w_in;
  in.sig = 0.849321783f * e.w_in;
  if (e.w_in > 0.0f) {
    in.G = 0.469718486f / e.w_in;
    in.L = 0.318309903f / e.w_in;
  } else {
    in.G = out.G;
    in.L = out.L;
  }
  const float H_in = in.G + eta * (in.L - in.G);
  const float H_out = out.G + eta * (out.L - out.G);
  in.n = 2.0f * H_out / (H_out + H_in);
  out.n = 2.0f * H_in / (H_out + H_in);
  const float nnn = static_cast<float>(d.nnn);
  float wi = nnn * in.sig;
  if (wi == 0.0f) wi = nnn * out.sig;
  const float wo = nnn * out.sig;

  ++d.n_strong;
  add_event(d, cs, g, e, g.psi_io, true, eta, in, out, wi, wo);
  ++d.n_strong;
  add_event(d, cs, g, e, g.psi_oi, false, eta, in, out, wi, wo);
}

void profile_statistics(intensity_data& d, calc_state& cs) {
  d.calc_max = 0.0f;
  d.calc_min = 1.0e9f;
  // With every point negative the maximum keeps 0 at the start of the scan.
  cs.calc_max_psi = d.psia;
  cs.calc_min_psi = d.psia;
  for (int32 j = 0; j <= d.nstep; ++j) {
    const float psi_j = d.psia + static_cast<float>(j) / d.zsw;
    d.aint[j] += d.iprim_calc;
    d.calc_min = std::fmin(d.calc_min, d.aint[j]);
    if (d.calc_min == d.aint[j]) cs.calc_min_psi = psi_j;
    d.calc_max = std::fmax(d.calc_max, d.aint[j]);
    if (d.calc_max == d.aint[j]) cs.calc_max_psi = psi_j;
  }
  if (d.calc_min < 0.0f) d.calc_min = 0.0f;
}

}  // namespace korva
