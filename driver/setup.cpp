// Crystal setup: lattice metrics, displacement parameters, the primary
// reflection, scale factors, form factors and absorption, interleaved with
// the setup report in the order the listing shows them.
#include "driver/setup.h"

#include <cmath>

#include "calc/scale.h"
#include "crystal/fcal.h"
#include "crystal/fcal_n.h"
#include "crystal/mue.h"
#include "driver/job.h"
#include "io/format.h"
#include "plot/diagram.h"

namespace korva {

namespace {


void report_lattice(intensity_data& d, const float recip_deg[3]) {
  io::write(*d.out,
            R"(/,/," Lattice constants input by the user:",/,3*F10.4,2X,3*F10.2,/," Volume:",F12.4,/,/,)"
            R"(" Reciprocal lattice constants:",/,3*F10.4,2X,3*F10.2,/," Reciprocal volume:",F12.6)",
            {d.a, d.b, d.c, d.alpha, d.beta, d.gamma, d.vol, d.astar, d.bstar, d.cstar, recip_deg[0], recip_deg[1],
             recip_deg[2], d.rvol});
}

void report_scattering_factors(intensity_data& d) {
  if (d.irad == 3) {
    for (int32 j = 0; j < d.n_species; ++j)
      io::write(*d.out, R"(/,1X,A4,":",F5.2," atoms with atomic number",I3,", coherent scattering length:",F8.4)",
                {d.atn[j], d.anz[j], d.nor[j], d.fjs[j]});
    return;
  }
  io::write(*d.out, R"(/,/," Scattering factor tables: Int."," Tables for Crystallography, Vol. C, 219 - 222, 500 - 503")");
  for (int32 j = 0; j < d.n_species; ++j) {
    // Atoms per cell, rounded; an absurd count shows as asterisks.
    const float n = std::round(d.anz[j]);
    const int count = std::fabs(n) < 1.0e9f ? static_cast<int>(n) : 1000000000;
    std::vector<io::fitem> items{d.atn[j], count, d.nor[j], d.fjs[j], d.fj2s[j]};
    for (int k = 0; k < 120; k += 2) items.emplace_back(d.ff[j][k]);
    io::write(*d.out,
              R"L(/,1X,A4,":",I3," atoms with atomic number",I3,/,/," f':",F8.4,5X,"f'':",F8.4,/,/,)L"
              R"L(" f : (sin(theta)/lambda = 0., 0.1, 0.2, ... 5.9)",/,/,(10*F7.3))L",
              items);
  }
}

void report_atoms(intensity_data& d) {
  io::write(*d.out, d.uflag == 0
                        ? R"(/," Atomic position and temperature parameters (beta-ij are input by the user):")"
                        : R"(/," Atomic position and temperature parameters (u-ij are input by the user):")");
  for (int32 i = 0; i < d.n_atoms; ++i) {
    const auto& b = d.bt[i];
    const auto& u = d.u[i];
    const int32 t = static_cast<int32>(d.fnr[i]);
    io::write(*d.out, R"(/,1X,A4,F9.6,2X,3*F10.6,/," beta:",6*F10.6,/," u   :",6*F10.6)",
              {d.atn[t - 1], d.afact[i], d.xa[i][0], d.xa[i][1], d.xa[i][2], b[0], b[1], b[2], b[3], b[4], b[5], u[0],
               u[1], u[2], u[3], u[4], u[5]});
  }
}

const char* const warning_block =
    R"(/,/,"****************************************************************************",/,)"
    R"("****************************************************************************",/,)"
    R"("**                                                                        **",/,)"
    R"("**    The structure factor of the primary reflection is larger than 2!    **",/,)"
    R"("**    This part of KORVA-xx is in work!                                   **",/,)"
    R"("**    Only provisional results are obtained!                              **",/,)"
    R"("**    Calculation without interference term, (nnn = 0) is recommended!    **",/,)"
    R"("**                                                                        **",/,)"
    R"("**                                                                        **",/,)"
    R"("****************************************************************************",/,)"
    R"("****************************************************************************",/,/)";

}  // namespace

bool crystal_setup(intensity_data& d) {
  // Wavelength band covered by the radiation.
  d.hw1 = 0.5f * d.lambda * d.dl1;
  d.lam_lo = d.lambda - d.hw1;
  if (d.irad == 0) {
    d.hw2 = 0.5f * d.lambda2 * d.dl2;
    d.lam_hi = d.lambda2 + d.hw2;
  } else {
    d.lam_hi = d.lambda + d.hw1;
    d.hw1 = 0;
    d.hw2 = 0;
  }

  // Direct and reciprocal cell.
  const float al = d.alpha * deg_to_rad, be = d.beta * deg_to_rad, ga = d.gamma * deg_to_rad;
  const float ca = std::cos(al), cb = std::cos(be), cg = std::cos(ga);
  const float sa = std::sin(al), sb = std::sin(be), sg = std::sin(ga);
  const float s2 = 1.0f - ca * ca - cb * cb - cg * cg + 2.0f * ca * cb * cg;
  d.vol = d.a * d.b * d.c * std::sqrt(s2);
  if (!(s2 > 0.0f) || !(d.vol > 0.0f) || !std::isfinite(d.vol)) {
    io::write(*d.out, R"(/,/," The lattice constants do not describe a cell: its volume is not above 0")");
    return false;
  }
  d.rvol = 1.0f / d.vol;
  d.astar = d.b * d.c * sa * d.rvol;
  d.bstar = d.a * d.c * sb * d.rvol;
  d.cstar = d.a * d.b * sg * d.rvol;
  d.cos_alphas = (cb * cg - ca) / (sb * sg);
  d.cos_betas = (ca * cg - cb) / (sa * sg);
  d.cos_gammas = (ca * cb - cg) / (sa * sb);
  const float recip_deg[3] = {std::acos(d.cos_alphas) * rad_to_deg, std::acos(d.cos_betas) * rad_to_deg,
                              std::acos(d.cos_gammas) * rad_to_deg};
  float* g = d.metric;
  g[0] = d.astar * d.astar;
  g[1] = d.bstar * d.bstar;
  g[2] = d.cstar * d.cstar;
  g[3] = d.astar * d.bstar * d.cos_gammas;
  g[4] = d.astar * d.cstar * d.cos_betas;
  g[5] = d.bstar * d.cstar * d.cos_alphas;

  // Displacement parameters in both conventions: beta-ij = 2 pi_float^2 m U-ij.
  const float m[6] = {g[0], g[1], g[2], d.astar * d.bstar, d.astar * d.cstar, d.bstar * d.cstar};
  for (int32 i = 0; i < d.n_atoms; ++i)
    for (int k = 0; k < 6; ++k) {
      if (d.uflag == 0) {
        d.u[i][k] = 0.05066059f * d.bt[i][k] / m[k];
      } else {
        d.u[i][k] = d.bt[i][k];
        d.bt[i][k] = 19.739208f * m[k] * d.u[i][k];
      }
    }

  // Spacing of the primary reflection.
  const float h = static_cast<float>(d.h1), k = static_cast<float>(d.k1), l = static_cast<float>(d.l1);
  const float q = h * h * g[0] + k * k * g[1] + l * l * g[2] + 2.0f * h * k * g[3] + 2.0f * h * l * g[4] +
                  2.0f * k * l * g[5];
  if (d.h1 == 0 && d.k1 == 0 && d.l1 == 0) {
    io::write(*d.out, R"(/,/," The primary reflection 0 0 0 has no Bragg angle: choose another one")");
    return false;
  }
  d.q1 = q;
  d.inv_d1 = std::sqrt(q);
  d.stl1 = 0.5f * d.inv_d1;
  d.d1 = 1.0f / d.inv_d1;
  d.gh1 = g[0] * h + g[3] * k + g[4] * l;
  d.gh2 = g[3] * h + g[1] * k + g[5] * l;
  d.gh3 = g[4] * h + g[5] * k + g[2] * l;
  if (d.lambda * d.stl1 > 1.0f) {
    io::write(*d.out, R"(/,/,/," The wavelength is to large",/," the primary reflection is outside of the Ewald-sphere !!")");
    return false;
  }

  // Structure factor of the primary reflection, unless the job gives it.
  if (d.fprim == 0.0f) {
    if (d.irad == 3)
      fcalc1_n(d, d.h1, d.k1, d.l1, d.fprim, d.phprim_rad);
    else
      fcalc1(d, d.h1, d.k1, d.l1, d.stl1, d.fprim, d.phprim_rad);
    if (d.err_flag == 1) return false;
  }
  if (d.fprim < 0.001f) {
    d.phprim_rad = 0;
    d.phprim = 0;
  } else {
    d.phprim = d.phprim_rad * rad_to_deg;
  }
  if (d.fprim > 2.0f) {
    io::write(*d.out, warning_block);
    d.title = pad("       P r o v i s i o n a l    output  of  KORVA-xx  for  F-prim > 2  !!!      ", 80);
  }

  // Scale factors.  An X-ray F counts electrons and needs r_e; a neutron F
  // is already a length in fm (1e-13 cm).
  d.relv = (d.irad == 3 ? 1.0f : 2.817938f) * 1000.0f * d.lambda * d.rvol;
  d.cross_sec = pi_float * d.radius * d.radius;
  d.vol_sample = 4.1887903f * d.radius * d.radius * d.radius;

  // Form factors on the 0.05 grid of sin(theta)/lambda.
  d.f2zero = 0;
  for (int32 j = 0; j < d.n_species; ++j) {
    if (d.irad == 3) {
      d.ff[j][0] = d.fjs[j];
      continue;
    }
    for (int kk = 0; kk < 121; ++kk) d.ff[j][kk] = f0_of(d.formfa[j], 0.05f * static_cast<float>(kk));
    if (d.fj2s[j] == 0.0f) d.f2zero = 1;
  }
  d.f000 = 0;
  for (int32 j = 0; j < d.n_species; ++j) d.f000 += d.anz[j] * d.ff[j][0];

  report_lattice(d, recip_deg);
  report_scattering_factors(d);
  io::write(*d.out, R"(/," F000:",F8.2)", {d.f000});
  report_atoms(d);

  if (d.irad == 3) {
    mue_n(d, d.vol, d.n_species, d.density);
    d.mu = 0;
    d.mur = 0;
    io::write(*d.out, R"(/,/," Density   :",F10.3," g/cm -3",/)", {d.density});
    return true;
  }
  mue(d, d.lambda, d.vol, d.mu, d.n_species, d.density);
  d.mur = d.radius * d.mu;
  io::write(*d.out,
            R"(/,/," Density                                               :",F10.3," g/cm -3",/,)"
            R"(" Linear absorption coefficient (I.T., 1962, III, 157ff):",F10.3," cm -1")",
            {d.density, d.mu});
  if (d.mur > 31.5f) {
    io::write(*d.out, R"(/,/," mue*radius is greater than 31.5,")");
    io::write(*d.out, R"(" the absorption factor cannot be calculated")");
    io::write(*d.out, R"(" the absorption factor is set to 1.",/,/)");
  }
  if (d.f2zero == 0) {
    // Absorption from the dispersion terms: mu = 2 r_e lambda Im F(000) / V.
    float f = 0, phase = 0;
    fcalc1(d, 0, 0, 0, 0.0f, f, phase);
    if (d.err_flag == 1) return false;
    d.mu = 2.0f * d.relv * d.f_im;
    d.mur = d.radius * d.mu;
    io::write(*d.out, R"(" Linear absorption coefficient (dispersion correction) :",F10.3," cm -1",/,/)", {d.mu});
  }
  return true;
}

bool run_calculation(intensity_data& d, calc_state& cs, std::string& scanfile) {
  if (!scan_setup(d, scanfile)) return false;
  return run_passes(d, cs);
}

bool finish_job(intensity_data& d, calc_state& cs, const std::string& calfile) {
  profile_statistics(d, cs);
  if (list_summary(d, cs, calfile)) uplot(d);
  d.PsiD = 0;
  return true;
}

}  // namespace korva
