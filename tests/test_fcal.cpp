// X-ray form factors, neutron scattering lengths and both structure factors.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "crystal/fcal.h"
#include "crystal/fcal_n.h"
#include "driver/job_state.h"

using namespace korva;

namespace {

constexpr float pi_f = 3.1415927f;

struct job {
  std::ostringstream out;
  std::unique_ptr<intensity_data> d = std::make_unique<intensity_data>();
  job() { d->out = &out; }
};

using beta6 = std::array<float, 6>;
using mat3 = std::array<std::array<float, 3>, 3>;
constexpr mat3 unit = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// Chemical types with the job file's f' and f'' (or b for neutrons).
void set_types(intensity_data& d, const std::vector<std::string>& syms, std::vector<float> fp = {},
               std::vector<float> fpp = {}) {
  const auto n = syms.size();
  d.n_species = static_cast<int32>(n);
  d.atn = syms;
  d.formfa.assign(n, {});
  d.fjs = fp.empty() ? std::vector<float>(n, 0.0f) : fp;
  d.fj2s = fpp.empty() ? std::vector<float>(n, 0.0f) : fpp;
  d.nor.assign(n, 0);
  d.anz.assign(n, 0.0f);
}

void add_atom(intensity_data& d, int32 type, float occ, std::array<float, 3> x, beta6 b = {}) {
  d.fnr.push_back(static_cast<float>(type));
  d.afact.push_back(occ);
  d.xa.push_back(x);
  d.bt.push_back(b);
  d.n_atoms = static_cast<int32>(d.xa.size());
}

void set_ops(intensity_data& d, const std::vector<std::pair<mat3, std::array<float, 3>>>& ops,
             int32 centro) {
  d.ns = static_cast<int32>(ops.size());
  d.centro = centro;
  for (std::size_t j = 0; j < ops.size(); ++j) {
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) d.sym_r[j][r][c] = ops[j].first[r][c];
      d.sym_t[j][r] = ops[j].second[r];
    }
  }
}

// Rock salt in P1 (centro 2) or P-1 (centro 1, atoms on inversion centres at
// half occupancy), the F-centring written out as atoms.
void rock_salt(intensity_data& d, int32 centro, float biso) {
  const float w = centro == 1 ? 0.5f : 1.0f;
  const beta6 b = {biso, biso, biso, 0, 0, 0};
  const std::array<std::array<float, 3>, 4> fcc = {{{0, 0, 0}, {0, .5f, .5f}, {.5f, 0, .5f}, {.5f, .5f, 0}}};
  for (auto p : fcc) add_atom(d, 1, w, p, b);
  for (auto p : fcc) add_atom(d, 2, w, {p[0] + .5f, p[1] + .5f, p[2] + .5f}, b);
  set_ops(d, {{unit, {0, 0, 0}}}, centro);
}

// Gaussian and high-angle forms of f0, written out for a row of the table.
double gauss(const std::array<float, 14>& c, double s) {
  double f = c[8];
  for (int i = 0; i < 4; ++i) f += c[2 * i] * std::exp(-c[2 * i + 1] * s * s);
  return f;
}
double high(const std::array<float, 14>& c, double s) {
  return std::exp(c[9] + c[10] * s + 0.1 * c[11] * s * s + 0.01 * c[12] * s * s * s);
}

}  // namespace

// ---------------------------------------------------------------- upform

TEST(Upform, FindsSymbolsWithTheirRows) {
  struct row {
    const char* sym;
    int32 z;
    std::array<float, 14> formfa;
  };
  const row rows[] = {
      {"H", 1, {0.489918f, 20.6593f, 0.262003f, 7.74039f, 0.196767f, 49.5519f, 0.049879f, 2.20159f,
                0.001305f, -100, 0, 0, 0, 2.0f}},
      {"O1-", 8, {4.1916f, 12.8573f, 1.63969f, 4.17236f, 1.52673f, 47.0179f, -20.307f, -0.01404f,
                  21.9412f, 1.3053f, -0.83742f, -0.16738f, 0.475f, 1.5f}},
      {"Fe  ", 26, {11.7695f, 4.7611f, 7.3573f, 0.3072f, 3.5222f, 15.3535f, 2.3045f, 76.8805f,
                    1.0369f, 3.9979f, -2.1108f, 3.9817f, -2.7199f, 2.0f}},
      {"U", 92, {36.0228f, 0.5293f, 23.4128f, 3.3253f, 14.9491f, 16.0927f, 4.188f, 100.613f,
                 13.3966f, 3.7665f, -0.47542f, 0.1685f, 0.0506f, 2.0f}},
  };
  for (const auto& r : rows) {
    job j;
    set_types(*j.d, {r.sym});
    int32 z = 0;
    upform(*j.d, r.sym, 1, z);
    EXPECT_EQ(z, r.z) << r.sym;
    EXPECT_EQ(j.d->formfa[0], r.formfa) << r.sym;
    EXPECT_EQ(j.d->err_flag, 0);
    EXPECT_EQ(j.out.str(), "");
  }
  // other spellings of the table: silicon, the valence entries, the last row
  const std::pair<const char*, int32> more[] = {{"Siv", 14}, {"Siva", 14}, {"Si4+", 14},
                                                {"Cval", 6}, {"Fe3+", 26}, {"Cf", 98}};
  for (auto [sym, zz] : more) {
    job j;
    set_types(*j.d, {sym});
    int32 z = 0;
    upform(*j.d, sym, 1, z);
    EXPECT_EQ(z, zz) << sym;
    EXPECT_EQ(j.d->err_flag, 0) << sym;
  }
  EXPECT_EQ(ff_table.size(), 211u);
}

TEST(Upform, RefusesUnknownSymbolWithMessage) {
  for (const char* sym : {"Si", "fe", "FE", "Fe+3", "Fe 3"}) {
    job j;
    set_types(*j.d, {"x", sym}, {1.5f, 1.5f}, {2.5f, 2.5f});
    j.d->anode = "Cu";
    int32 z = -7;
    upform(*j.d, sym, 2, z);
    std::string padded = std::string(sym) + "    ";
    EXPECT_EQ(j.out.str(),
              " The chemical symbol: " + padded.substr(0, 4) +
                  " does not correspond to an atom/ion name\n"
                  " given in the Table 6.1.1.4 of the International Tables for Crystallography,\n"
                  " Vol. C, p. 500 - 502\n")
        << sym;
    EXPECT_EQ(j.d->err_flag, 1);
    EXPECT_EQ(z, -7);
    EXPECT_EQ(j.d->fjs[1], 1.5f);
    EXPECT_EQ(j.d->fj2s[1], 2.5f);
    EXPECT_EQ(j.d->formfa[1], (std::array<float, 14>{}));
  }
}

TEST(Upform, AnodeChoosesDispersionTerms) {
  struct row {
    const char* anode;
    float fp, fpp;
  };
  // the job file gave f' = 1.5, f'' = 2.5
  const row rows[] = {{"Cu", -1.1336f, 3.1974f},
                      {"Mo", 0.3463f, 0.8444f},
                      {"Ag", 0.2886f, 0.5448f},
                      {"dl", 1.5f, 2.5f},
                      {"cu", 1.5f, 2.5f}};
  for (const auto& r : rows) {
    job j;
    set_types(*j.d, {"Fe"}, {1.5f}, {2.5f});
    j.d->anode = r.anode;
    int32 z = 0;
    upform(*j.d, "Fe", 1, z);
    EXPECT_EQ(j.d->fjs[0], r.fp) << r.anode;
    EXPECT_EQ(j.d->fj2s[0], r.fpp) << r.anode;
  }
}

// ---------------------------------------------------------------- f0

TEST(FormFactor, GaussianUpToLimitThenHighAngle) {
  for (auto [sym, smax] : {std::pair{"Fe", 2.0f}, std::pair{"O1-", 1.5f}, std::pair{"Siv", 2.0f}}) {
    job j;
    set_types(*j.d, {sym});
    int32 z = 0;
    upform(*j.d, sym, 1, z);
    const auto& c = j.d->formfa[0];
    ASSERT_EQ(c[13], smax);
    EXPECT_FLOAT_EQ(f0_of(c, 0.0f), c[0] + c[2] + c[4] + c[6] + c[8]) << sym;
    for (float s : {0.3f, 1.0f, smax}) EXPECT_NEAR(f0_of(c, s), gauss(c, s), 1e-4 * gauss(c, s)) << sym << s;
    for (float s : {std::nextafter(smax, 7.0f), 2.5f, 4.0f, 6.0f})
      EXPECT_NEAR(f0_of(c, s), high(c, s), 1e-4 * high(c, s)) << sym << s;
    // the two forms differ at the limit, so the side taken is visible
    EXPECT_GT(std::abs(gauss(c, smax) - high(c, smax)), 1e-3) << sym;
  }
  job j;
  set_types(*j.d, {"Fe"});
  int32 z = 0;
  upform(*j.d, "Fe", 1, z);
  EXPECT_NEAR(f0_of(j.d->formfa[0], 0.0f), 26.0f, 0.01f);
  // hydrogen has no high-angle form: practically nothing beyond the limit
  upform(*j.d, "H", 1, z);
  EXPECT_LT(f0_of(j.d->formfa[0], 2.5f), 1e-30f);
}

// ---------------------------------------------------------------- fcalc1

TEST(Fcalc1, RockSaltClosedForms) {
  // a = 5.64, isotropic beta; Na1+ and Cl1- with f' only (no f'')
  const float a = 5.64f, biso = 0.004f;
  for (int32 centro : {1, 2}) {
    job j;
    auto& d = *j.d;
    set_types(d, {"Na1+", "Cl1-"}, {0.1f, 0.3f});
    d.anode = "dl";
    int32 z = 0;
    upform(d, "Na1+", 1, z);
    upform(d, "Cl1-", 2, z);
    rock_salt(d, centro, biso);
    struct row {
      int32 h, k, l, sign;
      float phase;
    };
    for (const row& r : {row{2, 0, 0, +1, 0}, row{1, 1, 1, -1, pi_f}, row{0, 0, 4, +1, 0},
                         row{-1, 3, 1, -1, pi_f}}) {
      const int32 q = r.h * r.h + r.k * r.k + r.l * r.l;
      const float s = std::sqrt(float(q)) / (2 * a);
      const double fna = f0_of(d.formfa[0], s) + 0.1, fcl = f0_of(d.formfa[1], s) + 0.3;
      const double expect = 4 * std::abs(fcl * r.sign + fna) * std::exp(-biso * q);
      float F = -1, ph = -1;
      fcalc1(d, r.h, r.k, r.l, s, F, ph);
      EXPECT_NEAR(F, expect, 1e-4 * expect) << centro << " " << r.h << r.k << r.l;
      // exact 0 / pi when the inversion pairs cancel the sines; in P1 the
      // float sines of multiples of pi leave a tiny imaginary part
      if (centro == 1) {
        EXPECT_EQ(ph, r.phase) << r.h << r.k << r.l;
        EXPECT_EQ(d.f_im, 0.0f);
      } else {
        EXPECT_NEAR(ph, r.phase, 1e-5) << r.h << r.k << r.l;
        EXPECT_NEAR(d.f_im, 0.0f, 1e-4);
      }
    }
    float F = -1, ph = -1;
    fcalc1(d, 1, 0, 0, 0.0887f, F, ph);  // extinct by the centring
    EXPECT_LT(F, 1e-4f);
    EXPECT_EQ(d.err_flag, 0);
    EXPECT_EQ(j.out.str(), "");
  }
}

TEST(Fcalc1, DiamondSilicon) {
  job j;
  auto& d = *j.d;
  set_types(d, {"Siv"});
  d.anode = "dl";
  int32 z = 0;
  upform(d, "Siv", 1, z);
  const std::array<std::array<float, 3>, 4> fcc = {{{0, 0, 0}, {0, .5f, .5f}, {.5f, 0, .5f}, {.5f, .5f, 0}}};
  for (auto p : fcc) add_atom(d, 1, 1, p, {0.002f, 0.002f, 0.002f, 0, 0, 0});
  for (auto p : fcc) add_atom(d, 1, 1, {p[0] + .25f, p[1] + .25f, p[2] + .25f}, {0.002f, 0.002f, 0.002f, 0, 0, 0});
  set_ops(d, {{unit, {0, 0, 0}}}, 2);
  const float a = 5.431f;
  float F = -1, ph = -1;
  fcalc1(d, 2, 2, 2, std::sqrt(12.0f) / (2 * a), F, ph);
  EXPECT_LT(F, 1e-4f);
  // F(111) = 4 f (1 - i) T: modulus 4 sqrt(2) f T, phase 7 pi / 4 (not -pi / 4)
  const float s = std::sqrt(3.0f) / (2 * a);
  fcalc1(d, 1, 1, 1, s, F, ph);
  const double expect = 4 * std::sqrt(2.0) * f0_of(d.formfa[0], s) * std::exp(-0.006);
  EXPECT_NEAR(F, expect, 1e-4 * expect);
  EXPECT_NEAR(ph, 7 * M_PI / 4, 1e-5);
}

TEST(Fcalc1, OperatorsActOnIndicesAndTensor) {
  // One atom under the operator (-y + 1/4, x, z + 1/2) against the same two
  // atoms written out in P1 with the rotated displacement tensor.
  const std::array<float, 3> x = {0.11f, 0.23f, 0.37f};
  const beta6 b = {0.010f, 0.004f, 0.006f, 0.002f, -0.001f, 0.003f};
  const mat3 four = {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
  job sym, p1;
  for (job* j : {&sym, &p1}) {
    set_types(*j->d, {"Fe"}, {0.5f}, {1.2f});
    j->d->anode = "dl";
    int32 z = 0;
    upform(*j->d, "Fe", 1, z);
  }
  add_atom(*sym.d, 1, 0.8f, x, b);
  set_ops(*sym.d, {{unit, {0, 0, 0}}, {four, {0.25f, 0, 0.5f}}}, 2);
  add_atom(*p1.d, 1, 0.8f, x, b);
  add_atom(*p1.d, 1, 0.8f, {0.25f - x[1], x[0], x[2] + 0.5f}, {b[1], b[0], b[2], -b[3], -b[5], b[4]});
  set_ops(*p1.d, {{unit, {0, 0, 0}}}, 2);
  for (auto [h, k, l] : {std::array{1, 2, 3}, std::array{-2, 1, 1}, std::array{3, 0, -2}}) {
    float F1, ph1, F2, ph2;
    fcalc1(*sym.d, h, k, l, 0.3f, F1, ph1);
    fcalc1(*p1.d, h, k, l, 0.3f, F2, ph2);
    EXPECT_NEAR(F1, F2, 1e-4 * F2) << h << k << l;
    EXPECT_NEAR(ph1, ph2, 1e-4) << h << k << l;
    EXPECT_NEAR(sym.d->f_im, p1.d->f_im, 1e-4 * F2);
  }
  // the anisotropic factor itself, for an atom at the origin
  job one;
  set_types(*one.d, {"Fe"});
  one.d->anode = "dl";
  int32 z = 0;
  upform(*one.d, "Fe", 1, z);
  add_atom(*one.d, 1, 1.0f, {0, 0, 0}, b);
  set_ops(*one.d, {{unit, {0, 0, 0}}}, 2);
  for (auto [h, k, l] : {std::array{1, 2, 3}, std::array{-2, 1, 1}, std::array{3, 0, -2}}) {
    const double q = b[0] * h * h + b[1] * k * k + b[2] * l * l + 2 * b[3] * h * k +
                     2 * b[4] * h * l + 2 * b[5] * k * l;
    const double expect = f0_of(one.d->formfa[0], 0.3f) * std::exp(-q);
    float F, ph;
    fcalc1(*one.d, h, k, l, 0.3f, F, ph);
    EXPECT_NEAR(F, expect, 1e-5 * expect) << h << k << l;
    EXPECT_EQ(ph, 0.0f);
  }
}

TEST(Fcalc1, ZeroReflectionAndLimitOfS) {
  // F(000) = (f0(0) + f') w * ns * 2 (centrosymmetric), f_im = f'' w * ns * 2
  job j;
  auto& d = *j.d;
  set_types(d, {"Fe", "O1-"}, {0.5f, 0.2f}, {1.0f, 0.1f});
  d.anode = "dl";
  int32 z = 0;
  upform(d, "Fe", 1, z);
  upform(d, "O1-", 2, z);
  add_atom(d, 1, 1.0f, {0.1f, 0.2f, 0.3f}, {0.01f, 0.01f, 0.01f, 0, 0, 0});
  add_atom(d, 2, 0.5f, {0.4f, 0.1f, 0.2f}, {0.01f, 0.01f, 0.01f, 0, 0, 0});
  const mat3 m = {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}};
  set_ops(d, {{unit, {0, 0, 0}}, {m, {0.5f, 0, 0.5f}}}, 1);
  const double fe0 = f0_of(d.formfa[0], 0), o0 = f0_of(d.formfa[1], 0);
  float F = -1, ph = -1;
  fcalc1(d, 0, 0, 0, 0.0f, F, ph);
  const double re = 4 * ((fe0 + 0.5) + 0.5 * (o0 + 0.2)), im = 4 * (1.0 + 0.5 * 0.1);
  EXPECT_NEAR(d.f_im, im, 1e-5);
  EXPECT_NEAR(F, std::hypot(re, im), 1e-4);
  EXPECT_NEAR(ph, std::atan2(im, re), 1e-6);
  // without f'' the phase is exactly 0
  d.fj2s = {0, 0};
  fcalc1(d, 0, 0, 0, 0.0f, F, ph);
  EXPECT_EQ(ph, 0.0f);
  EXPECT_EQ(d.f_im, 0.0f);

  // s = 6.0 is computed, anything above gives 0 at once
  fcalc1(d, 20, 10, 30, 6.0f, F, ph);
  EXPECT_GT(F, 0.0f);
  F = ph = -1;
  d.f_im = 42;
  fcalc1(d, 20, 10, 30, 6.01f, F, ph);
  EXPECT_EQ(F, 0.0f);
  EXPECT_EQ(ph, 0.0f);
  EXPECT_EQ(d.f_im, 42.0f);
  EXPECT_EQ(j.out.str(), "");
}

TEST(Fcalc1, CentrosymmetricPhasesAreZeroOrPi) {
  job j;
  auto& d = *j.d;
  set_types(d, {"Fe", "O1-"}, {-1.1f, 0.05f});
  d.anode = "dl";
  int32 z = 0;
  upform(d, "Fe", 1, z);
  upform(d, "O1-", 2, z);
  add_atom(d, 1, 1.0f, {0.13f, 0.27f, 0.41f}, {0.004f, 0.005f, 0.006f, 0.001f, 0, 0});
  add_atom(d, 2, 1.0f, {0.31f, 0.07f, 0.19f}, {0.008f, 0.008f, 0.008f, 0, 0, 0});
  set_ops(d, {{unit, {0, 0, 0}}, {{{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}}, {0, 0.5f, 0}}}, 1);
  int seen_pi = 0, seen_zero = 0;
  for (int32 h = -2; h <= 2; ++h)
    for (int32 k = 0; k <= 3; ++k)
      for (int32 l = 0; l <= 2; ++l) {
        float F, ph;
        fcalc1(d, h, k, l, 0.1f * (std::abs(h) + k + l), F, ph);
        EXPECT_TRUE(ph == 0.0f || ph == pi_f) << h << k << l << " " << ph;
        (ph == 0.0f ? seen_zero : seen_pi)++;
      }
  EXPECT_GT(seen_pi, 0);
  EXPECT_GT(seen_zero, 0);
}

TEST(Fcalc1, PhaseRules) {
  struct row {
    float re, im, phase;
  };
  const row rows[] = {
      {2, 0, 0},           {-2, 0, 3.1415927f}, {0, 3, 1.5707963f}, {0, -3, -1.5707963f},
      {0, 0, 0},           {1, 1, std::atan2(1.0f, 1.0f)},
      {1, -0.0005f, std::atan2(-0.0005f, 1.0f)},  // just below 0 stays negative
      {1, -0.002f, std::atan2(-0.002f, 1.0f) + 6.2831855f},
      {-1, -1, std::atan2(-1.0f, -1.0f) + 6.2831855f},
  };
  for (const auto& r : rows) EXPECT_EQ(sf_phase(r.re, r.im), r.phase) << r.re << " " << r.im;

  // through fcalc1: f clamped at 0 by a large negative f', only f'' < 0
  // scatters, F(000) is purely imaginary with a negative part
  job j;
  auto& d = *j.d;
  set_types(d, {"Fe"}, {-40.0f}, {-2.0f});
  d.anode = "dl";
  int32 z = 0;
  upform(d, "Fe", 1, z);
  add_atom(d, 1, 1.0f, {0.2f, 0.3f, 0.1f});
  set_ops(d, {{unit, {0, 0, 0}}}, 2);
  float F, ph;
  fcalc1(d, 0, 0, 0, 0.0f, F, ph);
  EXPECT_EQ(ph, -1.5707963f);
  EXPECT_EQ(F, 2.0f);
  EXPECT_EQ(d.f_im, -2.0f);
}

TEST(Fcalc1, SlightlyNegativeFormWarnsOnly) {
  job j;
  auto& d = *j.d;
  set_types(d, {"Fe"});
  d.anode = "dl";
  int32 z = 0;
  upform(d, "Fe", 1, z);
  add_atom(d, 1, 1.0f, {0, 0, 0}, {-1e-9f, 0, 0, 0, 0, 0});
  set_ops(d, {{unit, {0, 0, 0}}}, 2);
  float F = -1, ph = -1;
  fcalc1(d, 1, 0, 0, 0.1f, F, ph);
  EXPECT_EQ(d.err_flag, 0);
  EXPECT_FLOAT_EQ(F, f0_of(d.formfa[0], 0.1f));
  const std::string out = j.out.str();
  EXPECT_EQ(out.rfind("\n\nThe quadratic form for hkl =     1    0    0\n\n", 0), 0u) << out;
  EXPECT_NE(out.find(" of the atom   1 is not positive definite\n"), std::string::npos);
  EXPECT_EQ(out.find("Temperature factor"), std::string::npos);
}

// b1 = -0.01 under an operator that moves k into h': both records, with the
// transformed indices of that operator and the atom's number, then a stop.
TEST(Fcalc1, NegativeDisplacementStops) {
  const std::string tensor =
      "please check the corresponding temperature parameters:\n"
      "  -0.01000   0.00000   0.00000   0.00000   0.00000   0.00000\n";
  for (bool neutron : {false, true}) {
    job j;
    auto& d = *j.d;
    set_types(d, {"Fe"}, {1.0f});
    d.anode = "dl";
    int32 z = 0;
    if (!neutron) upform(d, "Fe", 1, z);
    add_atom(d, 1, 1.0f, {0.1f, 0.2f, 0.3f});
    add_atom(d, 1, 1.0f, {0.3f, 0.2f, 0.1f}, {-0.01f, 0, 0, 0, 0, 0});
    const mat3 swap = {{{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}};
    set_ops(d, {{unit, {0, 0, 0}}, {swap, {0, 0, 0}}}, 2);
    float F = -5, ph = -5;
    if (neutron)
      fcalc1_n(d, 0, 2, 1, F, ph);
    else
      fcalc1(d, 0, 2, 1, 0.2f, F, ph);
    EXPECT_EQ(d.err_flag, 1);
    EXPECT_EQ(F, -5.0f);
    EXPECT_EQ(ph, -5.0f);
    const std::string q = neutron ? "" : " =     -0.04";
    const std::string t = neutron ? "" : " =     1.041";
    EXPECT_EQ(j.out.str(),
              "\n\nThe quadratic form for hkl =     2    0   -1\n\n"
              "   b1*h*h+b2*k*k+b3*l*l+2*b4*h*k+2*b5*h*l+2*b6*k*l" + q + "\n\n"
              " of the atom   2 is not positive definite\n\n" + tensor +
              "\n\nTemperature factor for hkl =     2    0   -1\n\n"
              " T=exp(-(b1*h*h+b2*k*k+b3*l*l+2*b4*h*k+2*b5*h*l+2*b6*k*l)" + t + "\n\n"
              " of the atom   2 is greater than 1!\n\n" + tensor)
        << (neutron ? "neutron" : "x-ray");
  }
}

// ---------------------------------------------------------------- neutrons

TEST(UpformN, LengthsAndMessages) {
  struct row {
    const char* sym;
    float b_in;
    int32 z;
    float b_out;
    int32 err;
    const char* msg;
  };
  const row rows[] = {
      {"Siv", 0, 14, 4.149f, 0, ""},
      {"Fe", 5.0f, 26, 5.0f, 0, ""},
      {"Fe", 0, 26, 9.54f, 0, ""},
      {"H", 0, 1, -3.739f, 0, ""},
      {"U", 0, 92, 8.417f, 0, ""},
      {"Po", 0, 84, 0, 0, " The scattering length is not known for the atomic number  84\n"},
      {"Po", 2.0f, 84, 2.0f, 0, ""},
      {"Si", 0, -7, 0, 1, " The chemical symbol: Si   does not correspond to an atom name\n"},
      {"Si", 4.0f, -7, 4.0f, 1, " The chemical symbol: Si   does not correspond to an atom name\n"},
      {"Fe3+", 0, -7, 0, 1, " The chemical symbol: Fe3+ does not correspond to an atom name\n"},
  };
  for (const auto& r : rows) {
    job j;
    int32 z = -7;
    float b = r.b_in;
    upform_n(*j.d, r.sym, z, b);
    EXPECT_EQ(z, r.z) << r.sym;
    EXPECT_EQ(b, r.b_out) << r.sym;
    EXPECT_EQ(j.d->err_flag, r.err) << r.sym;
    EXPECT_EQ(j.out.str(), r.msg) << r.sym;
  }
}

TEST(Fcalc1N, RockSalt) {
  const float biso = 0.004f, bna = 3.63f, bcl = 9.577f;
  for (int32 centro : {1, 2}) {
    job j;
    auto& d = *j.d;
    set_types(d, {"Na", "Cl"}, {bna, bcl});
    rock_salt(d, centro, biso);
    struct row {
      int32 h, k, l;
      float sum, phase;
    };
    // (70 0 0) lies far beyond sin(theta)/lambda = 6 and is still computed
    for (const row& r : {row{2, 0, 0, bna + bcl, 0}, row{1, 1, 1, bcl - bna, pi_f},
                         row{3, 3, 1, bcl - bna, pi_f}, row{70, 0, 0, bna + bcl, 0}}) {
      const int32 q = r.h * r.h + r.k * r.k + r.l * r.l;
      const double expect = 4 * r.sum * std::exp(-biso * q);
      float F = -1, ph = -1;
      fcalc1_n(d, r.h, r.k, r.l, F, ph);
      EXPECT_NEAR(F, expect, 1e-4 * expect) << centro << " " << r.h << r.k << r.l;
      if (centro == 1)
        EXPECT_EQ(ph, r.phase) << r.h << r.k << r.l;
      else
        EXPECT_NEAR(ph, r.phase, 1e-4) << r.h << r.k << r.l;
    }
    // a negative length scatters with phase pi
    d.fjs = {-3.739f, 0.0f};
    float F, ph;
    fcalc1_n(d, 0, 0, 0, F, ph);
    EXPECT_NEAR(F, 4 * 3.739f, 1e-5);
    EXPECT_EQ(ph, pi_f);
    EXPECT_EQ(d.err_flag, 0);
  }
}

TEST(Fcalc1N, CentrosymmetricPhasesAreZeroOrPi) {
  job j;
  auto& d = *j.d;
  set_types(d, {"H", "O"}, {-3.739f, 5.803f});
  add_atom(d, 1, 1.0f, {0.13f, 0.27f, 0.41f}, {0.004f, 0.005f, 0.006f, 0.001f, 0, 0});
  add_atom(d, 2, 1.0f, {0.31f, 0.07f, 0.19f}, {0.008f, 0.008f, 0.008f, 0, 0, 0});
  set_ops(d, {{unit, {0, 0, 0}}, {{{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}}, {0, 0.5f, 0}}}, 1);
  int seen_pi = 0;
  for (int32 h = -2; h <= 2; ++h)
    for (int32 k = 0; k <= 3; ++k)
      for (int32 l = 0; l <= 2; ++l) {
        float F, ph;
        fcalc1_n(d, h, k, l, F, ph);
        EXPECT_TRUE(ph == 0.0f || ph == pi_f) << h << k << l << " " << ph;
        EXPECT_EQ(d.f_im, 0.0f);
        seen_pi += ph == pi_f;
      }
  EXPECT_GT(seen_pi, 0);
}
