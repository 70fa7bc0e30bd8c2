// Primary reflection of one wavelength pass: Bragg angle, absorption,
// angular acceptance and Lorentz factor, primary extinction in a mosaic
// block, and the calculated integrated intensity.
#include <algorithm>
#include <cmath>

#include "calc/pass.h"
#include "crystal/abso.h"
#include "crystal/chuk.h"
#include "io/format.h"

namespace korva {

namespace {

float clamped_acos(float c) { return std::acos(std::clamp(c, -1.0f, 1.0f)); }
}  // namespace

bool primary_pass(intensity_data& d, calc_state& cs) {
  const float lam = cs.lam_cur;
  const float sin_th = lam * d.stl1;
  if (!(sin_th <= 1.0f)) {
    // Only the first line is checked at setup; a longer second line may
    // leave the primary without a Bragg angle.
    io::write(*d.out, R"(/,/,/," The wavelength of the second line is too large",/,)"
                      R"(" the primary reflection is outside of the Ewald-sphere !!")");
    return false;
  }
  cs.th1 = std::asin(sin_th);
  const float th1_deg = cs.th1 * rad_to_deg;
  cs.astar1 = (d.irad < 3 && d.mur < 31.5f) ? absor1(d.mur, th1_deg) : 1.0f;

  cs.k_lmin = 1.0f / (lam - lam * cs.dl_cur * 0.5f);
  cs.k_lmax = 1.0f / (lam + lam * cs.dl_cur * 0.5f);
  cs.inv_lam = 1.0f / lam;
  cs.inv_lam2 = 1.0f / (lam * lam);
  const float cos2 = std::cos(2.0f * cs.th1);
  const float cos2sq = cos2 * cos2;
  cs.pol1 = (d.irad == 0 || d.irad == 2) ? (1.0f + cos2sq) / 2.0f : 1.0f;

  // Broadening of the reflection by the finite block size.
  const float L = d.ext_path;
  const float h = d.inv_d1, hsq = d.q1;
  cs.x1 = d.fprim * d.relv;
  const float lx = L * (cs.x1 + d.mu);
  cs.delta1 = 0.5f * std::sqrt(1.0f + lx * lx) / (L * 1.0e8f);

  // Angular acceptance of the primary within the band of the line.
  const float m = (d.mosaic + d.div_par) * pi_float / 360.0f;
  const float kl = cs.k_lmin, kh = cs.k_lmax;
  cs.a1 = clamped_acos((kl * kl + hsq - (kl + cs.delta1) * (kl + cs.delta1)) / (2.0f * kl * h)) + m;
  cs.a2 = clamped_acos((kh * kh + hsq - (kh - cs.delta1) * (kh - cs.delta1)) / (2.0f * kh * h)) - m;
  const float q1 = std::sqrt(cs.inv_lam2 + hsq - 2.0f * cs.inv_lam * h * std::cos(cs.a1));
  const float q2 = std::sqrt(cs.inv_lam2 + hsq - 2.0f * cs.inv_lam * h * std::cos(cs.a2));
  cs.lor1 = (cs.a1 - cs.a2) * cs.inv_lam / (q1 - q2);

  cs.lam_c = lam * 1.0e-8f;
  const float lc = cs.lam_c / L;
  cs.path_factor = std::max(1.0f, lc * ((2.0f / 3.0f) * d.radius / (d.block_r * 1.0e-4f)) / (d.mosaic * 0.0174533f + lc));
  cs.I_scale = cs.rel_cur * d.i0 * d.cross_sec * 3282.8064f;

  const bool weak = d.irad == 3 ? d.fprim <= 1.0e-4f : d.fprim <= 0.001f;
  cs.y_path1 = 0;
  if (weak) {
    cs.iprim_pass = 0;
    cs.R1 = 0;
  } else {
    // Primary extinction, averaged over the polarisation components.
    const int ncomp = d.irad == 3 ? 1 : 2;
    const float amp[2] = {1.0f, std::fabs(cos2)};
    const float w[2] = {d.irad == 0 ? d.cos2tm : (1.0f + d.pol) / 2.0f,
                        d.irad == 0 ? cos2sq : (1.0f - d.pol) * cos2sq / 2.0f};
    float sum = 0;
    for (int c = 0; c < ncomp; ++c) {
      const float t = 1.0f / (amp[c] * cs.x1);
      const float x = (d.block_r * 1.0e-4f) / t;
      float y = chuk(d, x, th1_deg);
      if (y > 0.9f * t / L) y = 0.9f * t / L;
      sum += w[c] * y;
    }
    const float ybar = d.irad == 0 ? sum / (cos2sq + d.cos2tm)
                                   : 2.0f * sum / ((1.0f - d.pol) * cos2sq + (1.0f + d.pol));
    cs.y_path1 = ybar * L;
    cs.R1 = cs.lam_c * cs.lor1 * cs.x1 * cs.x1;
    cs.iprim_pass = cs.path_factor * cs.y_path1 * cs.pol1 * cs.R1 * cs.I_scale / (cs.astar1 * rad_to_deg);
  }

  cs.psi_hw = std::asin(std::clamp(std::sin((d.mosaic + d.div_norm) * pi_float / 360.0f) / std::cos(cs.th1), -1.0f, 1.0f)) * rad_to_deg;
  cs.rho_c = std::cos(cs.th1) / lam;
  // Radius of the Ewald cut at height |h1|/2 for each end of the band; a
  // band end beyond back-reflection no longer reaches that height.
  cs.rho_lmin = std::sqrt(std::max(0.0f, cs.k_lmin * cs.k_lmin - hsq / 4.0f));
  cs.rho_lmax = std::sqrt(std::max(0.0f, cs.k_lmax * cs.k_lmax - hsq / 4.0f));
  d.theta_prim += th1_deg;
  return true;
}

}  // namespace korva
