// Intensity of one multiple-diffraction event: the two-step excitation
// (incident -> h2 -> h3 into the primary direction, "Ikorva") and the
// decrease of the primary by h2 and h3 ("Iaufhe"), kinematic within
// extinction-limited paths of a mosaic block.
#include <algorithm>
#include <cmath>

#include "calc/pass.h"
#include "calc/polf.h"
#include "crystal/abso.h"

namespace korva {

void event_power(const intensity_data& d, const calc_state& cs, const event_geometry& g, event_intensity& e) {
  // Polarisation of the paths, for both incident polarisation states.
  float P1 = 1, P2 = 1, P3 = 1;
  e.p12 = 1;
  e.Pint = 1;
  if (d.irad < 3) {
    float o[5], q[5];
    polfa(cs.th1, g.th2, g.th3, 0.0f, 0.0f, 1.0f, o[0], o[1], o[2], o[3], o[4]);
    polfa(cs.th1, g.th2, g.th3, 0.0f, 1.0f, 0.0f, q[0], q[1], q[2], q[3], q[4]);
    const float pp = 1.0f + d.pol, pm = 1.0f - d.pol;
    P1 = (pp * o[0] + pm * q[0]) / 2.0f;
    P2 = (pp * o[1] + pm * q[1]) / 2.0f;
    P3 = (pp * o[0] * o[2] + pm * q[0] * q[2]) / 2.0f;
    e.p12 = (pp * o[1] * o[3] + pm * q[1] * q[3]) / 2.0f;
    e.Pint = d.irad == 0 ? 0.5f : d.irad == 1 ? o[4] : q[4];
  }

  // Inverse extinction lengths and the broadening by the block size.
  const float L = d.ext_path;
  const float x2 = d.relv * g.f2, x3 = d.relv * g.f3;
  const float lx = L * (std::max(x2, x3) + d.mu);
  const float delta2 = 0.5f * std::sqrt(1.0f + lx * lx) / (L * 1.0e8f);

  // Half-angle limits of the event within the band of the line.
  const float z2 = g.z_off * g.z_off;
  const float perp = g.h2_perp;
  auto cut = [&](float R) { return R * R < z2 ? 0.0f : std::sqrt(R * R - z2); };
  auto ang = [&](float rho, float s) {
    const float c = (rho * rho + perp * perp - s * s) / (2.0f * rho * perp);
    return std::acos(std::clamp(c, -1.0f, 1.0f)) * rad_to_deg;
  };
  float a_lo, a_hi;
  if (z2 > d.q1 / 4.0f) {
    a_lo = ang(cs.rho_lmax, cut(cs.k_lmax - delta2));
    a_hi = ang(cs.rho_lmin, cut(cs.k_lmin + delta2));
  } else {
    a_lo = std::min(ang(cs.rho_lmin, cut(cs.k_lmin - delta2)), ang(cs.rho_lmax, cut(cs.k_lmax - delta2)));
    a_hi = std::max(ang(cs.rho_lmax, cut(cs.k_lmax + delta2)), ang(cs.rho_lmin, cut(cs.k_lmin + delta2)));
  }

  // Widths toward and away from the partner event, and the Lorentz factor
  // from the length of reciprocal space swept across the width.
  auto q = [&](float alpha) {
    return std::sqrt(cs.rho_c * cs.rho_c + perp * perp - 2.0f * cs.rho_c * perp * std::cos(alpha / rad_to_deg) + z2);
  };
  float dq;
  if (a_lo == 0.0f) {
    e.w_in = 0;
    e.w_out = a_hi - g.BETA + cs.psi_hw;
    e.fwhm = 2.0f * (a_hi + cs.psi_hw);
    dq = 2.0f * std::fabs(q(a_hi) - q(0.0f));
    if (g.BETA == 0.0f) dq *= 0.5f;
  } else {
    e.w_in = g.BETA - a_lo + cs.psi_hw;
    e.w_out = a_hi - g.BETA + cs.psi_hw;
    e.fwhm = e.w_in + e.w_out;
    dq = std::fabs(q(g.BETA - e.w_in) - q(g.BETA + e.w_out));
  }
  // A width that sweeps no reciprocal length has no measurable event.
  const bool degenerate = !(dq > 0.0f) || !(e.fwhm > 0.0f);
  e.L2 = degenerate ? 0.0f : e.fwhm * 0.0174533f / (cs.lam_cur * dq);

  // Absorption in the sphere along the paths of h2 and h3.
  float A2 = 1, A3 = 1;
  if (d.irad < 3 && d.mur < 31.5f) {
    A2 = absor1(d.mur, g.th2 * rad_to_deg);
    A3 = absor1(d.mur, g.th3 * rad_to_deg);
  }
  e.abs23 = std::sqrt(A3 * A2);
  const float abs13 = std::sqrt(A3 * cs.astar1);

  // Reflectivities and the extinction-limited paths of the paired processes.
  const float lc = cs.lam_c;
  const bool f2on = g.f2 > 0.001f, f3on = g.f3 > 0.001f;
  const float R2 = f2on ? lc * e.L2 * x2 * x2 : 0.0f;
  float R3a = 0, R3b = 0, y3 = 0;
  if (f3on) {
    R3a = lc * cs.lor1 * x3 * x3;
    R3b = lc * e.L2 * x3 * x3;
    y3 = 0.9f * L / std::sqrt(1.0f + (L * x3) * (L * x3));
  }
  float y12 = 0, Y = 0;
  if (d.fprim > 0.001f) {
    if (f2on) {
      y12 = 0.9f * L / std::sqrt(1.0f + L * L * (cs.x1 * cs.x1 + x2 * x2));
      Y = y12;
    } else {
      Y = cs.y_path1;  // y12 only meets R2 = 0 here
    }
  } else if (f2on) {
    y12 = 0.9f * L / std::sqrt(1.0f + (L * x2) * (L * x2));
  }
  const float m_u = std::min(y3, y12), m_23 = std::min(y3, Y), m_12 = std::min(Y, y12);

  e.U = cs.I_scale * m_u * m_u * R2 * R3a * e.p12 / e.abs23;
  e.S = cs.I_scale * (m_12 * m_12 * cs.R1 * R2 * P1 * P2 / cs.astar1 + m_23 * m_23 * cs.R1 * R3b * P3 / abs13);
  e.Ipk = degenerate ? 0.0f : std::max(e.S, e.U) * cs.path_factor * cs.path_factor / e.fwhm;
  e.iprim_red = cs.iprim_pass / cs.path_factor;
  e.trphi = g.ph2 + g.ph3 - d.phprim_rad;
}

}  // namespace korva
