// Primary reflection of a wavelength pass: Bragg angle, absorption, band
// constants, acceptance and Lorentz factor, extinction-limited path and the
// calculated integrated intensity, checked against a double-precision
// evaluation of the same model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>

#include "calc/pass.h"
#include "crystal/abso.h"
#include "crystal/chuk.h"
#include "driver/job_state.h"
#include "job_runner.h"

namespace korva {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double deg = 180.0 / pi;

// One primary reflection and one line of the radiation.
struct beam_case {
  const char* name;
  int irad;
  float pol, cos2tm;
  float lam, dl, rel;
  float stl1, fprim, relv, mu;
  float radius_um, block_um, mosaic, div_par, div_norm, i0;
};

struct fixture {
  std::unique_ptr<intensity_data> d = std::make_unique<intensity_data>();
  std::unique_ptr<calc_state> cs = std::make_unique<calc_state>();
  std::ostringstream out;
};

std::unique_ptr<fixture> make(const beam_case& b) {
  auto f = std::make_unique<fixture>();
  intensity_data& d = *f->d;
  chuk1(d);
  d.out = &f->out;
  d.irad = b.irad;
  d.pol = b.pol;
  d.cos2tm = b.cos2tm;
  d.stl1 = b.stl1;
  d.inv_d1 = 2.0f * b.stl1;
  d.q1 = d.inv_d1 * d.inv_d1;
  d.fprim = b.fprim;
  d.relv = b.relv;
  d.mu = b.mu;
  d.radius = b.radius_um * 1.0e-4f;
  d.mur = d.mu * d.radius;
  d.cross_sec = 3.1415927f * d.radius * d.radius;
  d.block_r = b.block_um;
  d.ext_path = 4.0f / 3.0f * b.block_um * 1.0e-4f;
  d.mosaic = b.mosaic;
  d.div_par = b.div_par;
  d.div_norm = b.div_norm;
  d.i0 = b.i0;
  f->cs->lam_cur = b.lam;
  f->cs->dl_cur = b.dl;
  f->cs->rel_cur = b.rel;
  return f;
}

// The pass values, in double precision from the same inputs.
struct pass_values {
  double th1, astar1, k_lmin, k_lmax, pol1, delta1, a1, a2, lor1;
  double path_factor, x1, y_path1, R1, I_scale, iprim, psi_hw, rho_c, rho_lmin, rho_lmax;
  int capped;  // components whose y was limited by 0.9 t/L
};

double acos_c(double c) { return std::acos(std::clamp(c, -1.0, 1.0)); }

pass_values reference(const intensity_data& d, const calc_state& cs) {
  pass_values v{};
  const double lam = cs.lam_cur, h = 2.0 * d.stl1, hsq = h * h, L = d.ext_path;
  v.th1 = std::asin(lam * d.stl1);
  const double thd = v.th1 * deg;
  v.astar1 = (d.irad < 3 && d.mur < 31.5f) ? absor1(d.mur, static_cast<float>(thd)) : 1.0;
  v.k_lmin = 1.0 / (lam * (1.0 - 0.5 * cs.dl_cur));
  v.k_lmax = 1.0 / (lam * (1.0 + 0.5 * cs.dl_cur));
  const double c2 = std::cos(2.0 * v.th1), c2sq = c2 * c2;
  v.pol1 = (d.irad == 0 || d.irad == 2) ? 0.5 * (1.0 + c2sq) : 1.0;
  v.x1 = double(d.fprim) * d.relv;
  v.delta1 = 0.5 * std::hypot(1.0, L * (v.x1 + d.mu)) / (L * 1.0e8);

  const double m = (double(d.mosaic) + d.div_par) * pi / 360.0;
  const double kl = v.k_lmin, kh = v.k_lmax, dd = v.delta1;
  // Law of cosines with the band edge widened (narrowed) by delta1.
  v.a1 = acos_c((hsq - 2.0 * kl * dd - dd * dd) / (2.0 * kl * h)) + m;
  v.a2 = acos_c((hsq + 2.0 * kh * dd - dd * dd) / (2.0 * kh * h)) - m;
  // q(a) = |k - h| for |k| = 1/lam; difference without cancellation.
  const double q1 = std::sqrt(1.0 / (lam * lam) + hsq - 2.0 * h / lam * std::cos(v.a1));
  const double q2 = std::sqrt(1.0 / (lam * lam) + hsq - 2.0 * h / lam * std::cos(v.a2));
  const double dq = (2.0 * h / lam) * 2.0 * std::sin(0.5 * (v.a1 + v.a2)) * std::sin(0.5 * (v.a1 - v.a2)) / (q1 + q2);
  v.lor1 = (v.a1 - v.a2) / lam / dq;

  const double lc = lam * 1.0e-8 / L;
  v.path_factor = std::max(1.0, lc * (2.0 / 3.0 * d.radius / (d.block_r * 1.0e-4)) / (d.mosaic * pi / 180.0 + lc));
  v.I_scale = double(cs.rel_cur) * d.i0 * d.cross_sec * (180.0 / pi) * (180.0 / pi);

  const bool neutron = d.irad == 3;
  if (d.fprim > (neutron ? 1.0e-4 : 1.0e-3)) {
    const double K[2] = {1.0, std::fabs(c2)};
    double w[2];
    if (d.irad == 0) {
      w[0] = d.cos2tm, w[1] = c2sq;
    } else {
      w[0] = 0.5 * (1.0 + d.pol), w[1] = 0.5 * (1.0 - d.pol) * c2sq;
    }
    double sum = 0;
    for (int c = 0; c < (neutron ? 1 : 2); ++c) {
      const double t = 1.0 / (K[c] * v.x1);
      double y = chuk(d, static_cast<float>(d.block_r * 1.0e-4 / t), static_cast<float>(thd));
      if (y > 0.9 * t / L) y = 0.9 * t / L, ++v.capped;
      sum += w[c] * y;
    }
    const double ybar = d.irad == 0 ? sum / (c2sq + d.cos2tm) : 2.0 * sum / ((1.0 - d.pol) * c2sq + 1.0 + d.pol);
    v.y_path1 = ybar * L;
    v.R1 = lam * 1.0e-8 * v.lor1 * v.x1 * v.x1;
    v.iprim = v.path_factor * v.y_path1 * v.pol1 * v.R1 * v.I_scale / (v.astar1 * deg);
  }
  v.psi_hw = std::asin(std::sin((double(d.mosaic) + d.div_norm) * pi / 360.0) / std::cos(v.th1)) * deg;
  v.rho_c = std::cos(v.th1) / lam;
  v.rho_lmin = std::sqrt(kl * kl - hsq / 4.0);
  v.rho_lmax = std::sqrt(kh * kh - hsq / 4.0);
  return v;
}

// Si 220 and 222 with Cu, synchrotron lines of either polarisation, a
// neutron line, and high-angle reflections where the 0.9 t/L limit of the
// extinction factor takes over.
const beam_case cases[] = {
    // name        irad pol cos2tm   lam       dl        rel  stl1     fprim  relv   mu     R    blk  mosaic div_p div_n i0
    {"Cu Ka1 220", 0, 0, 0.89423f, 1.540598f, 0.000306f, 1.0f, 0.26039f, 67.0f, 27.1f, 148.f, 150, 10, 0.005f, 0.05f, 0.05f, 2.0e9f},
    {"Cu Ka2 220", 0, 0, 0.89423f, 1.544426f, 0.000413f, 0.5f, 0.26039f, 67.0f, 27.1f, 148.f, 150, 10, 0.005f, 0.05f, 0.05f, 2.0e9f},
    {"Cu Ka1 222", 0, 0, 0.89423f, 1.540598f, 0.000306f, 1.0f, 0.31892f, 1.4f, 27.1f, 148.f, 150, 10, 0.005f, 0.05f, 0.05f, 2.0e9f},
    {"sync pol+1", 1, 1, 1.0f, 1.2f, 1.0e-4f, 1.0f, 0.45f, 20.0f, 21.1f, 80.f, 100, 5, 0.01f, 0.003f, 0.003f, 1.0e10f},
    {"sync pol-1", 2, -1, 1.0f, 1.0f, 2.0e-4f, 1.0f, 0.48f, 40.0f, 17.6f, 50.f, 60, 20, 0.02f, 0.003f, 0.01f, 1.0e10f},
    {"neutron", 3, 1, 1.0f, 1.0f, 0.01f, 1.0f, 0.30f, 5.0f, 17.6f, 0.f, 2000, 50, 0.2f, 0.3f, 0.5f, 1.0e12f},
    {"tube 77 deg", 0, 0, 0.89423f, 1.5f, 0.0004f, 1.0f, 0.65f, 100.0f, 26.4f, 30.f, 50, 80, 0.01f, 0.05f, 0.05f, 2.0e9f},
    {"sync 77 deg", 1, 1, 1.0f, 1.5f, 0.0004f, 1.0f, 0.65f, 100.0f, 26.4f, 30.f, 50, 80, 0.01f, 0.05f, 0.05f, 1.0e10f},
};

TEST(PrimaryPass, MatchesDoublePrecisionModel) {
  int capped = 0;
  for (const beam_case& b : cases) {
    SCOPED_TRACE(b.name);
    auto f = make(b);
    intensity_data& d = *f->d;
    calc_state& cs = *f->cs;
    ASSERT_TRUE(primary_pass(d, cs));
    const pass_values v = reference(d, cs);
    capped += v.capped;

    auto rel = [](double got, double want, double tol) { EXPECT_NEAR(got, want, tol * std::fabs(want)); };
    rel(cs.th1, v.th1, 1e-6);
    rel(cs.astar1, v.astar1, 1e-5);
    rel(cs.k_lmin, v.k_lmin, 1e-6);
    rel(cs.k_lmax, v.k_lmax, 1e-6);
    rel(cs.inv_lam, 1.0 / b.lam, 1e-6);
    rel(cs.inv_lam2, 1.0 / (double(b.lam) * b.lam), 1e-6);
    rel(cs.pol1, v.pol1, 1e-6);
    rel(cs.delta1, v.delta1, 1e-5);
    rel(cs.x1, v.x1, 1e-6);
    // The acceptance limits are arccos of single-precision ratios, good to
    // ~1e-7 rad; the width a1 - a2 (a few 1e-4 rad) and the difference
    // q1 - q2 behind lor1 lose digits to cancellation, so lor1, R1 and the
    // intensity are held to 5e-4 rather than 1e-5.
    EXPECT_NEAR(cs.a1, v.a1, 1e-6);
    EXPECT_NEAR(cs.a2, v.a2, 1e-6);
    rel(cs.a1 - cs.a2, v.a1 - v.a2, 2e-3);
    rel(cs.lor1, v.lor1, 5e-4);
    // Lorentz factor of a narrow window: 1/sin 2theta.
    rel(cs.lor1, 1.0 / std::sin(2.0 * v.th1), 1e-3);
    rel(cs.path_factor, v.path_factor, 1e-5);
    rel(cs.I_scale, v.I_scale, 1e-5);
    rel(cs.y_path1, v.y_path1, 1e-5);
    rel(cs.R1, v.R1, 5e-4);
    rel(cs.iprim_pass, v.iprim, 5e-4);
    EXPECT_GT(cs.iprim_pass, 0.0f);
    // Intensity from the single-precision path: the pass's own factors.
    rel(cs.iprim_pass, cs.path_factor * v.y_path1 * v.pol1 * (cs.lam_c * double(cs.lor1) * v.x1 * v.x1) * v.I_scale /
                           (v.astar1 * 57.29578), 1e-5);
    rel(cs.psi_hw, v.psi_hw, 1e-5);
    rel(cs.rho_c, v.rho_c, 1e-6);
    rel(cs.rho_lmin, v.rho_lmin, 1e-5);
    rel(cs.rho_lmax, v.rho_lmax, 1e-5);
    EXPECT_NEAR(d.theta_prim, v.th1 * deg, 1e-4);
    EXPECT_EQ(f->out.str(), "");
  }
  EXPECT_GT(capped, 0) << "no case exercises the 0.9 t/L limit";
}

// A primary with fprim at or below 0.001 (X-rays) or 1e-4 (neutrons) has no
// intensity of its own; a neutron primary between the two still does.
TEST(PrimaryPass, WeakPrimaryThresholds) {
  struct row { int irad; float fprim; bool reflects; };
  const row rows[] = {
      {3, 5.0e-4f, true}, {3, 1.0e-4f, false}, {3, 2.0e-4f, true},
      {0, 5.0e-4f, false}, {1, 5.0e-4f, false}, {0, 0.001f, false}, {0, 0.0011f, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "irad " << r.irad << " fprim " << r.fprim);
    beam_case b = cases[r.irad == 3 ? 5 : 0];
    b.irad = r.irad;
    b.pol = r.irad == 0 ? 0.0f : 1.0f;
    b.fprim = r.fprim;
    auto f = make(b);
    ASSERT_TRUE(primary_pass(*f->d, *f->cs));
    const calc_state& cs = *f->cs;
    if (r.reflects) {
      EXPECT_GT(cs.iprim_pass, 0.0f);
      EXPECT_GT(cs.R1, 0.0f);
      EXPECT_NEAR(cs.iprim_pass, reference(*f->d, cs).iprim, 5e-4 * cs.iprim_pass);
    } else {
      EXPECT_EQ(cs.iprim_pass, 0.0f);
      EXPECT_EQ(cs.R1, 0.0f);
    }
    // The geometry of the pass is fixed either way.
    EXPECT_GT(cs.lor1, 0.0f);
    EXPECT_GT(cs.rho_c, 0.0f);
  }
}

// Without mosaic spread the path factor is the ratio of crystal to block
// size, (2/3) R / r, but never below 1.
TEST(PrimaryPass, PathFactorWithoutMosaic) {
  struct row { float radius_um, block_um, want; };
  const row rows[] = {{150, 10, 10.0f}, {300, 1, 200.0f}, {10, 30, 1.0f}, {15, 10, 1.0f}};
  for (const row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "R " << r.radius_um << " block " << r.block_um);
    beam_case b = cases[0];
    b.mosaic = 0;
    b.radius_um = r.radius_um;
    b.block_um = r.block_um;
    auto f = make(b);
    ASSERT_TRUE(primary_pass(*f->d, *f->cs));
    EXPECT_NEAR(f->cs->path_factor, r.want, 1e-5 * r.want);
  }
}

// Polarisation +1 (synchrotron, neutrons): only the component with K = 1
// counts, so the mean extinction factor is the one of x = r / t1.
TEST(PrimaryPass, FullyPolarisedBeamUsesFirstComponentOnly) {
  for (int irad : {1, 3}) {
    for (float fprim : {2.0f, 20.0f, 60.0f}) {
      SCOPED_TRACE(::testing::Message() << "irad " << irad << " fprim " << fprim);
      beam_case b = cases[3];
      b.irad = irad;
      b.fprim = fprim;
      auto f = make(b);
      const intensity_data& d = *f->d;
      ASSERT_TRUE(primary_pass(*f->d, *f->cs));
      const calc_state& cs = *f->cs;
      const float x = d.block_r * 1.0e-4f * d.fprim * d.relv;
      const float y = std::min(chuk(d, x, cs.th1 * 57.29578f), 0.9f / (cs.x1 * d.ext_path));
      EXPECT_NEAR(cs.y_path1, y * d.ext_path, 1e-5 * y * d.ext_path);
      EXPECT_EQ(cs.pol1, 1.0f);
    }
  }
}

// Large blocks at a high Bragg angle: the extinction factor is held at
// 0.9 t/L, so the path in the block is 0.9 t whatever the polarisation mix.
TEST(PrimaryPass, ExtinctionPathLimitedToExtinctionLength) {
  for (int irad : {1, 3}) {
    beam_case b = cases[7];
    b.irad = irad;
    b.block_um = 200;
    auto f = make(b);
    ASSERT_TRUE(primary_pass(*f->d, *f->cs));
    EXPECT_NEAR(f->cs->y_path1, 0.9 / f->cs->x1, 1e-5 * f->cs->y_path1) << "irad " << irad;
  }
}

// The absorption factor is looked up only for X-rays below mu R = 31.5.
TEST(PrimaryPass, AbsorptionFactor) {
  struct row { int irad; float mu; bool table; };
  const row rows[] = {
      {0, 148.0f, true}, {1, 600.0f, true}, {0, 2100.0f, false}, {2, 3000.0f, false}, {3, 0.0f, false}, {3, 148.0f, false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "irad " << r.irad << " mu " << r.mu);
    beam_case b = cases[0];
    b.irad = r.irad;
    b.pol = r.irad == 0 ? 0.0f : r.irad == 2 ? -1.0f : 1.0f;
    b.mu = r.mu;
    auto f = make(b);
    ASSERT_TRUE(primary_pass(*f->d, *f->cs));
    const float thd = f->cs->th1 * 57.29578f;
    if (r.table) {
      EXPECT_GT(f->cs->astar1, 1.0f);
      EXPECT_FLOAT_EQ(f->cs->astar1, absor1(f->d->mur, thd));
    } else {
      EXPECT_EQ(f->cs->astar1, 1.0f);
    }
  }
}

// The diagram's Bragg angle sums the passes (the listing halves it for tubes).
TEST(PrimaryPass, ThetaPrimAccumulatesDegrees) {
  auto f = make(cases[0]);
  intensity_data& d = *f->d;
  calc_state& cs = *f->cs;
  d.theta_prim = 0;
  ASSERT_TRUE(primary_pass(d, cs));
  const double t1 = std::asin(double(cases[0].lam) * cases[0].stl1) * deg;
  cs.lam_cur = cases[1].lam, cs.dl_cur = cases[1].dl, cs.rel_cur = cases[1].rel;
  ASSERT_TRUE(primary_pass(d, cs));
  const double t2 = std::asin(double(cases[1].lam) * cases[1].stl1) * deg;
  EXPECT_NEAR(d.theta_prim, t1 + t2, 1e-4);
  EXPECT_NEAR(cs.th1 * deg, t2, 1e-4);
}

// A band reaching past back-reflection: the arccos arguments leave [-1, 1]
// and lambda_max |h1| / 2 exceeds 1.  Everything stays finite; the Ewald
// cut at the band's long end shrinks to a point.
TEST(PrimaryPass, BandBeyondBackReflectionStaysFinite) {
  beam_case b = cases[3];
  b.stl1 = 0.999f / b.lam;
  b.dl = 0.01f;
  auto f = make(b);
  ASSERT_TRUE(primary_pass(*f->d, *f->cs));
  const calc_state& cs = *f->cs;
  for (float v : {cs.a1, cs.a2, cs.lor1, cs.rho_c, cs.rho_lmin, cs.rho_lmax, cs.psi_hw, cs.iprim_pass})
    EXPECT_TRUE(std::isfinite(v)) << v;
  EXPECT_EQ(cs.rho_lmax, 0.0f);
  EXPECT_GT(cs.rho_lmin, 0.0f);
  EXPECT_NEAR(cs.a2, -(b.mosaic + b.div_par) * pi / 360.0, 1e-6);  // arccos(1) - m
  EXPECT_GT(cs.iprim_pass, 0.0f);
}

// A line without a Bragg angle for the primary stops the pass.
TEST(PrimaryPass, LineTooLongForPrimary) {
  beam_case b = cases[0];
  b.lam = 1.01f / b.stl1;
  auto f = make(b);
  EXPECT_FALSE(primary_pass(*f->d, *f->cs));
  EXPECT_EQ(f->out.str(),
            "\n\n\n The wavelength of the second line is too large\n"
            " the primary reflection is outside of the Ewald-sphere !!\n");
}

// The same from a job: a user pair of lines whose first line passes the
// Ewald check at setup while the second cannot reflect the primary.  The
// first pass is listed, then the job stops in order with status 1.
TEST(PrimaryPass, JobWithSecondLineTooLongStops) {
  const std::string job =
      "Silicon 2 2 2 with a second line too long for the primary\n"
      "long2.ps\n"
      "5.43102 5.43102 5.43102 90. 90. 90.\n"
      "1.5 0.0003 1. 3.2 0.0004 0.5\n"
      "0.05 0.05 150. 10. 0.005\n"
      "-180. 180. 10. 0 100. 0.\n"
      "227 1 1\n"
      "Siv     0.0000    0.00001\n"
      "1 0.0416667 0.125 0.125 0.125 0.00587 0.00587 0.00587 0. 0. 0.\n"
      "2 2 2 0. 0. -5. 5.\n";
  const auto r = testing::run_job(job, testing::scratch_dir("primary_long2"));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.listing.ends_with("\n\n\n The wavelength of the second line is too large\n"
                                  " the primary reflection is outside of the Ewald-sphere !!\n"))
      << r.listing;
  // The first line was calculated and listed before the stop.
  EXPECT_NE(r.listing.find(" calculated intensity of the primary reflection:"), std::string::npos);
}

}  // namespace
}  // namespace korva
