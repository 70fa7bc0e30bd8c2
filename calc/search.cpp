// Event search: every reciprocal-lattice point that touches the Ewald
// sphere while the crystal turns about h1 gives two events, where it enters
// and where it leaves the sphere.
#include <cmath>

#include "calc/pass.h"
#include "calc/upsi.h"
#include "crystal/fcal.h"
#include "crystal/fcal_n.h"
#include "driver/clock.h"
#include "io/format.h"

namespace korva {

namespace {

// Structure factor of one reflection by the radiation of the job.
void structure_factor(intensity_data& d, int32 h, int32 k, int32 l, float stl, float& f, float& ph) {
  if (d.irad < 3)
    fcalc1(d, h, k, l, stl, f, ph);
  else
    fcalc1_n(d, h, k, l, f, ph);
}

float normalised_psi(const intensity_data& d, float psi) {
  if (psi > 180.0f || psi < -180.0f) psi -= std::copysign(360.0f, psi);
  if (d.irad > 0 && d.psia >= 0.0f && psi < 0.0f) psi += 360.0f;
  return psi;
}

}  // namespace

bool search_events(intensity_data& d, calc_state& cs) {
  const float lam = cs.lam_cur;
  // A search box beyond this many indices per axis would never end.
  const float span[3] = {2.0f * d.a / lam, 2.0f * d.b / lam, 2.0f * d.c / lam};
  for (float v : span)
    if (!(v < 100000.0f)) {
      io::write(*d.out, R"(/,/," The cell is too large for this wavelength: more than 100000 indices per axis")");
      return false;
    }
  cs.hmax = static_cast<int32>(span[0]);
  cs.kmax = static_cast<int32>(span[1]);
  cs.lmax = static_cast<int32>(span[2]);
  cs.n_events = cs.n_stored = cs.n_inrange = 0;
  io::write(*d.out, "/,/");

  const float* g = d.metric;
  const float gp[3] = {d.gh1, d.gh2, d.gh3};
  const float h1len = d.inv_d1;
  const float half = h1len / 2.0f;
  const float inv_lam = 1.0f / lam;
  const float inv_lam2 = inv_lam * inv_lam;
  const float limit2 = 4.0f / (lam * lam);
  const float rho_c = cs.rho_c;
  const float* r = cs.ref_dir;
  // Scale of the component of h2 along c = r x h1: |r* x h1*| = |r| |h1|
  // since r is perpendicular to h1, and the index-space product carries V*.
  const float c_scale = d.rvol / (cs.ref_len * h1len);
  const bool first = cs.pass == 1;

  for (int32 h2 = -cs.hmax; h2 <= cs.hmax; ++h2)
    for (int32 k2 = -cs.kmax; k2 <= cs.kmax; ++k2)
      for (int32 l2 = -cs.lmax; l2 <= cs.lmax; ++l2) {
        if (h2 == 0 && k2 == 0 && l2 == 0) continue;
        const float fh = static_cast<float>(h2), fk = static_cast<float>(k2), fl = static_cast<float>(l2);
        // Height of h2 along h1: it must lie within reach of the sphere.
        const float gdot = gp[0] * fh + gp[1] * fk + gp[2] * fl;
        const float h2_par = gdot * d.d1;
        if (h2_par < half - inv_lam || h2_par > half + inv_lam) continue;
        const float gh2[3] = {g[0] * fh + g[3] * fk + g[4] * fl, g[3] * fh + g[1] * fk + g[5] * fl,
                              g[4] * fh + g[5] * fk + g[2] * fl};
        const float g2 = fh * gh2[0] + fk * gh2[1] + fl * gh2[2];
        if (g2 > limit2) continue;
        const float perp2 = g2 - h2_par * h2_par;
        if (perp2 < 1.0e-6f) continue;  // on the rotation axis

        event_geometry ev;
        ev.h2_perp = std::sqrt(perp2);
        ev.z_off = half - h2_par;
        const float s2 = inv_lam2 - ev.z_off * ev.z_off;
        ev.cos_beta = (rho_c * rho_c + perp2 - s2) / (2.0f * rho_c * ev.h2_perp);
        if (!(std::fabs(ev.cos_beta) <= 1.0f)) continue;  // never touches the sphere
        ev.beta = std::acos(ev.cos_beta);

        // Azimuth of h2 about h1, counted from r toward c = r x h1.  Taken
        // with atan2, it stays exact where h2 lies in line with r.
        const float along_r = (gh2[0] * r[0] + gh2[1] * r[1] + gh2[2] * r[2]) / cs.ref_len;
        const float along_c = (fh * cs.ref_c[0] + fk * cs.ref_c[1] + fl * cs.ref_c[2]) * c_scale;
        const float azim = std::atan2(along_c, along_r);

        ev.psi_io = normalised_psi(d, (azim + ev.beta) * rad_to_deg + d.PsiD);
        ev.psi_oi = normalised_psi(d, (azim - ev.beta) * rad_to_deg + d.PsiD);
        ++cs.n_events;

        const int32 h3 = d.h1 - h2, k3 = d.k1 - k2, l3 = d.l1 - l2;
        const float fh3 = static_cast<float>(h3), fk3 = static_cast<float>(k3), fl3 = static_cast<float>(l3);
        const float g3 = fh3 * fh3 * g[0] + fk3 * fk3 * g[1] + fl3 * fl3 * g[2] + 2.0f * fh3 * fk3 * g[3] +
                         2.0f * fh3 * fl3 * g[4] + 2.0f * fk3 * fl3 * g[5];
        const float stl2 = std::sqrt(g2) / 2.0f;
        const float stl3 = std::sqrt(g3) / 2.0f;
        ev.th2 = std::asin(std::fmin(lam * stl2, 1.0f));
        ev.th3 = std::asin(std::fmin(lam * stl3, 1.0f));
        ev.BETA = ev.beta * rad_to_deg;

        structure_factor(d, h2, k2, l2, stl2, ev.f2, ev.ph2);
        if (d.err_flag == 1) return false;
        structure_factor(d, h3, k3, l3, stl3, ev.f3, ev.ph3);
        if (d.err_flag == 1) return false;
        const float style = ev.f2 < 0.001f ? 2.0f : ev.f3 < 0.001f ? 3.0f : 0.0f;

        event_intensity e;
        event_power(d, cs, ev, e);

        // Store both events when they lie near the scan and are strong enough.
        const float psis[2] = {ev.psi_io, ev.psi_oi};
        for (int side = 0; side < 2; ++side) {
          const float psi = psis[side];
          if (!(psi + 5.0f > d.psia && psi - 5.0f < d.psie)) continue;
          ++cs.n_inrange;
          if (!(d.drumin > 0.0f && std::fabs(e.Ipk) >= d.drumin)) continue;
          if (++cs.n_stored > max_events) {
            io::write(*d.out, R"(" the number of output lines is to large",/," please increase drumin on the seventh input line")");
            return false;
          }
          event_record& rec = cs.ev_tab[cs.n_stored - 1];
          const float pf2 = cs.path_factor * cs.path_factor;
          rec.trphi = e.trphi;
          rec.h2 = fh;
          rec.k2 = fk;
          rec.l2 = fl;
          rec.f2 = ev.f2;
          rec.th2 = ev.th2;
          rec.h3 = fh3;
          rec.k3 = fk3;
          rec.l3 = fl3;
          rec.f3 = ev.f3;
          rec.th3 = ev.th3;
          rec.i_exc = pf2 * e.U;
          rec.i_dec = pf2 * e.S;
          rec.p12 = e.p12;
          rec.abs23 = e.abs23;
          rec.side = static_cast<float>(side + 1);
          rec.fwhm = e.fwhm;
          rec.ev_beta = ev.BETA;
          rec.psi = psi;
          rec.ph2 = ev.ph2;
          rec.ph3 = ev.ph3;
          if (first) {
            rec.ev_azim = azim;
            rec.ev_g2 = g2;
            rec.ev_p2 = d.q1;
            rec.ev_gp = gdot;
            rec.ev_n2 = perp2;
            rec.ev_style = style;
          }
        }
        add_to_profile(d, cs, ev, e);
      }
  return true;
}

bool run_passes(intensity_data& d, calc_state& cs) {
  d.iprim_calc = 0;
  // Reference direction perpendicular to h1 in the reciprocal metric.
  const float gh[3] = {d.gh1, d.gh2, d.gh3};
  float* r = cs.ref_dir;
  if (std::fabs(gh[0]) > 1.0e-5f) {
    r[0] = -gh[1] / gh[0], r[1] = 1.0f, r[2] = 0.0f;
  } else if (std::fabs(gh[1]) > 1.0e-5f) {
    r[0] = 1.0f, r[1] = -gh[0] / gh[1], r[2] = 0.0f;
  } else {
    r[0] = 1.0f, r[1] = 0.0f, r[2] = -gh[0] / gh[2];
  }
  const float* g = d.metric;
  cs.ref_len = std::sqrt(r[0] * r[0] * g[0] + r[1] * r[1] * g[1] + r[2] * r[2] * g[2] + 2.0f * r[0] * r[1] * g[3] +
                         2.0f * r[0] * r[2] * g[4] + 2.0f * r[1] * r[2] * g[5]);
  const float h[3] = {static_cast<float>(d.h1), static_cast<float>(d.k1), static_cast<float>(d.l1)};
  cs.ref_c[0] = h[2] * r[1] - h[1] * r[2];
  cs.ref_c[1] = h[0] * r[2] - h[2] * r[0];
  cs.ref_c[2] = h[1] * r[0] - h[0] * r[1];
  if (d.ub_read == 1) upsi(d, r[0], r[1], r[2], d.ub);

  const int passes = d.irad == 0 ? 2 : 1;
  for (cs.pass = 1; cs.pass <= passes; ++cs.pass) {
    if (cs.pass == 1) {
      cs.lam_cur = d.lambda, cs.dl_cur = d.dl1, cs.rel_cur = d.rel1;
    } else {
      cs.lam_cur = d.lambda2, cs.dl_cur = d.dl2, cs.rel_cur = d.rel2;
    }
    if (!primary_pass(d, cs)) return false;
    if (!search_events(d, cs)) return false;
    list_pass(d, cs);
    zeit(d);
    if (cs.pass == 1) {
      d.n_plot = cs.n_stored;
      d.n_range = cs.n_inrange;
    }
    d.iprim_calc += cs.iprim_pass;
  }
  return true;
}

}  // namespace korva
