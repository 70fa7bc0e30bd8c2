// Linear absorption coefficient and density.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "crystal/mue.h"
#include "driver/job_state.h"

namespace korva {
namespace {

constexpr double avogadro_e23 = 6.0225701;

struct fixture {
  std::ostringstream out;
  intensity_data d;
  fixture(std::vector<int32> nor, std::vector<float> anz) {
    d.out = &out;
    d.nor = std::move(nor);
    d.anz = std::move(anz);
  }
  int32 n() const { return static_cast<int32>(d.nor.size()); }
};

// Klein-Nishina cross-section per electron times Avogadro's number (cm^2),
// in double precision as an independent reference.
double sigma_kn(double lambda) {
  const double k = 0.024262113 / lambda, t = 1 + 2 * k, L = std::log(t);
  return 0.30044827 * (L / (2 * k) - (1 + 3 * k) / (t * t) +
                       (1 + k) / (k * k) * (2 * (1 + k) / t - L / k));
}

// mu (cm^-1) of one element: n atoms of weight a per cell of volume vol,
// with the absorption pair (c, dd).
double mu_one(double lambda, double c, double dd, int z, double a, double n,
              double vol) {
  const double m = c * std::pow(lambda, 3) - dd * std::pow(lambda, 4) +
                   sigma_kn(lambda) * z / a;
  return 10.0 * a * m * n / avogadro_e23 / vol;
}

const float fe_a = 2.8665f;  // bcc iron, 2 atoms per cell
const float fe_vol = fe_a * fe_a * fe_a;

TEST(MueTable, CarriesThePrintedRowsAndWeights) {
  const float fe[16] = {126, 27.2f, 1.743f, 9.95f, 0.433f, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                        55.847f};
  const float au[16] = {0,   0,    0,      492,  240,  0.8633f, 425, 194, 0.90254f,
                        247, 83,   1.0399f, 82.3f, 16.6f, 3.75f,  196.96654f};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(vic_table[25][i], fe[i]) << "Fe column " << i;
    EXPECT_EQ(vic_table[78][i], au[i]) << "Au column " << i;
  }
  EXPECT_EQ(vic_table[0][1], 4.66e-6f);
  EXPECT_EQ(atom_weight[0], 1.00794f);
  EXPECT_EQ(atom_weight[5], 12.0107f);
  EXPECT_EQ(atom_weight[91], 238.0289f);
}

// Iron below its K edge (Cu, Mo K-alpha) takes the first pair, above it the
// second one; the two differ by a factor of about eight.
TEST(Mue, IronTakesThePairOfItsWavelengthRange) {
  struct row { float lambda; double c, dd; };
  const row rows[] = {{1.540598f, 126, 27.2}, {0.7093f, 126, 27.2}, {2.0f, 9.95, 0.433}};
  for (const row& r : rows) {
    fixture f({26}, {2});
    float mu = 0, density = 0;
    mue(f.d, r.lambda, fe_vol, mu, f.n(), density);
    const double want = mu_one(r.lambda, r.c, r.dd, 26, 55.847, 2, fe_vol);
    EXPECT_NEAR(mu, want, 2e-5 * want) << "lambda " << r.lambda;
    EXPECT_NEAR(density, 7.874, 0.002);
    EXPECT_EQ(f.out.str(), "");
  }
  // Cu K-alpha: mu/rho is about 308 cm^2/g, mu about 2420 cm^-1.
  fixture f({26}, {2});
  float mu = 0, density = 0;
  mue(f.d, 1.540598f, fe_vol, mu, f.n(), density);
  EXPECT_NEAR(mu / density, 307.7, 0.5);
}

// Silicon, diamond structure, a = 5.4309 A, 8 atoms per cell, Cu K-alpha.
//   V = 5.4309^3 = 160.18263 A^3
//   density = 10 * 8 * 28.0855 / (6.0225701 * 160.18263)
//           = 2246.84 / 964.7112 = 2.32903 g/cm^3
//   lambda^3 = 3.6565203, lambda^4 = 5.6332279
//   k = 0.024262113 / 1.540598 = 0.0157485, L = ln(1.0314970) = 0.0310112
//   sigma = 0.30044827 * 1.2929902 = 0.3884767 cm^2
//   mu/rho = 18.7 * 3.6565203 - 1.06 * 5.6332279 + 0.3884767 * 14 / 28.0855
//          = 68.37693 - 5.97122 + 0.19365 = 62.59936 cm^2/g
//   mu = 10 * 28.0855 * 62.59936 * 8 * 0.16604207 / 160.18263
//      = 23353.94 / 160.18263 = 145.7957 cm^-1
TEST(Mue, SiliconWithCopperRadiation) {
  fixture f({14}, {8});
  const float a = 5.4309f;
  float mu = 0, density = 0;
  mue(f.d, 1.540598f, a * a * a, mu, f.n(), density);
  EXPECT_NEAR(density, 2.32903, 2e-4);
  EXPECT_NEAR(mu, 145.7957, 0.01);
  EXPECT_EQ(f.out.str(), "");
}

// A wavelength right on an edge belongs to the short-wavelength (absorbing)
// side: the value there continues the range below the edge.
TEST(Mue, EdgeWavelengthBelongsToTheShortSide) {
  struct row { int32 z; float edge; };
  const row rows[] = {{26, 1.743f}, {79, 0.8633f}, {79, 0.90254f}, {56, 2.3628f}};
  for (const row& r : rows) {
    fixture f({r.z}, {1});
    float on = 0, below = 0, above = 0, density = 0;
    mue(f.d, r.edge, 100.0f, on, f.n(), density);
    mue(f.d, std::nextafter(r.edge, 0.0f), 100.0f, below, f.n(), density);
    mue(f.d, std::nextafter(r.edge, 100.0f), 100.0f, above, f.n(), density);
    EXPECT_NEAR(on, below, 1e-5 * below) << "Z " << r.z << " edge " << r.edge;
    EXPECT_GT(on, 1.05f * above) << "Z " << r.z << " edge " << r.edge;
    EXPECT_EQ(f.out.str(), "");
  }
}

// Past the last tabulated edge the last pair is carried on with a note; the
// photoabsorption term is never allowed to go negative.
TEST(Mue, BeyondTheLastEdgeTheLastRangeIsExtrapolated) {
  {
    fixture f({26}, {2});
    float mu = 0, density = 0;
    mue(f.d, 10.0f, fe_vol, mu, f.n(), density);  // on the last edge: no note
    EXPECT_EQ(f.out.str(), "");
    mue(f.d, 12.0f, fe_vol, mu, f.n(), density);
    EXPECT_EQ(f.out.str(),
              " The absorption table of the atomic number  26 ends at 10.0000 A;"
              " its last range is extrapolated\n");
    const double want = mu_one(12.0, 9.95, 0.433, 26, 55.847, 2, fe_vol);
    EXPECT_NEAR(mu, want, 2e-5 * want);
  }
  {
    // Gold at 6 A: 82.3 * 6^3 - 16.6 * 6^4 < 0, only scattering is left;
    // this also checks the Compton term where k = lambda_C / lambda is small.
    fixture f({79}, {4});
    float mu = 0, density = 0;
    mue(f.d, 6.0f, 67.8f, mu, f.n(), density);
    EXPECT_NE(f.out.str().find("atomic number  79 ends at  3.7500 A"), std::string::npos);
    const double want = mu_one(6.0, 0, 0, 79, 196.96654, 4, 67.8);
    EXPECT_GT(mu, 0.0f);
    EXPECT_NEAR(mu, want, 1e-4 * want);
  }
}

// Without absorption data mu is 1.0; the density comes from the standard
// weights while they exist and is 0 (unknown) otherwise.
TEST(Mue, AtomicNumbersOutsideTheTable) {
  const std::string no_mu =
      " The linear absorption coefficient cannot be calculated for the atomic number ";
  const std::string no_w = " The atomic weight is not known for the atomic number ";
  const float vol = 100.0f;
  struct row {
    std::vector<int32> nor;
    std::vector<float> anz;
    double weight_sum;  // sum of A n, negative: density unknown
    std::string out;
  };
  const row rows[] = {
      {{84}, {1}, 209.0, no_mu + " 84\n"},
      {{84, 8}, {2, 3}, 2 * 209.0 + 3 * 15.9994, no_mu + " 84\n"},
      {{8, 92}, {3, 1}, 3 * 15.9994 + 238.0289, no_mu + " 92\n"},
      {{93, 8}, {1, 1}, -1, no_mu + " 93\n" + no_w + " 93\n"},
      {{0, 90}, {1, 1}, -1, no_mu + "  0\n" + no_w + "  0\n" + no_mu + " 90\n"},
  };
  for (const row& r : rows) {
    fixture f(r.nor, r.anz);
    float mu = 0, density = -1;
    mue(f.d, 1.540598f, vol, mu, f.n(), density);
    EXPECT_EQ(mu, 1.0f);
    EXPECT_EQ(f.out.str(), r.out);
    const double want = r.weight_sum < 0 ? 0.0 : 10 * r.weight_sum / (avogadro_e23 * vol);
    EXPECT_NEAR(density, want, 1e-5 * want + 1e-7);
  }
}

TEST(Mue, NonPositiveWavelengthGivesNoCoefficient) {
  fixture f({14}, {8});
  float mu = 0, density = 0;
  mue(f.d, 0.0f, 160.18263f, mu, f.n(), density);
  EXPECT_EQ(mu, 1.0f);
  EXPECT_EQ(f.out.str(),
            " The linear absorption coefficient cannot be calculated for the wavelength"
            "    0.00000\n");
  EXPECT_NEAR(density, 2.32903, 2e-4);
}

TEST(MueN, DensityFromStandardWeights) {
  // rock salt, a = 5.6402 A, 4 Na and 4 Cl per cell: 2.165 g/cm^3
  fixture f({11, 17}, {4, 4});
  const float a = 5.6402f;
  float density = 0;
  mue_n(f.d, a * a * a, f.n(), density);
  EXPECT_NEAR(density, 10 * 4 * (22.989770 + 35.4527) / (avogadro_e23 * a * a * a), 1e-4);
  EXPECT_NEAR(density, 2.165, 0.002);
  EXPECT_EQ(f.out.str(), "");

  fixture u({92}, {2});
  mue_n(u.d, 100.0f, u.n(), density);
  EXPECT_NEAR(density, 10 * 2 * 238.0289 / (avogadro_e23 * 100), 1e-4);
}

// An unknown weight stops at once: one message, density 0, later species
// not looked at.
TEST(MueN, UnknownWeightGivesDensityZero) {
  const std::string no_w = " The atomic weight is not known for the atomic number ";
  struct row { std::vector<int32> nor; std::string out; };
  const row rows[] = {{{8, 93}, no_w + " 93\n"},
                      {{93, 0}, no_w + " 93\n"},
                      {{0, 8}, no_w + "  0\n"}};
  for (const row& r : rows) {
    fixture f(r.nor, std::vector<float>(r.nor.size(), 2.0f));
    float density = -1;
    mue_n(f.d, 100.0f, f.n(), density);
    EXPECT_EQ(density, 0.0f);
    EXPECT_EQ(f.out.str(), r.out);
  }
}

}  // namespace
}  // namespace korva
