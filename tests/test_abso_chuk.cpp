// Sphere absorption factor A* and primary-extinction factor y: the built-in
// tables and their bilinear lookups.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "crystal/abso.h"
#include "crystal/chuk.h"
#include "driver/job_state.h"

namespace korva {
namespace {

// 1-based row r, column for theta in degrees (a multiple of 5).
float astar(int r, int theta) { return astar_table[r - 1][theta / 5]; }

std::unique_ptr<intensity_data> loaded() {
  auto d = std::make_unique<intensity_data>();
  chuk1(*d);
  return d;
}
float ytab(const intensity_data& d, int r, int theta) { return d.yp[r - 1][theta / 5]; }

// One unit of the fourth significant digit of v.
double unit4(double v) { return std::pow(10.0, std::floor(std::log10(v)) - 3); }

TEST(Absorption, KnownRows) {
  struct row { int r; float mur; double t0, t45, t90; };
  const row rows[] = {
      {1, 0.0f, 1, 1, 1},
      {2, 0.1f, 1.161, 1.159, 1.156},
      {11, 1.0f, 4.124, 3.505, 3.008},
      {51, 5.0f, 167.1, 26.36, 13.4},
      {101, 10.0f, 1333, 60.44, 26.7},
      {102, 10.5f, 1544, 63.91, 28.03},
      {144, 31.5f, 41670, 211.4, 84.01},
  };
  for (const row& k : rows) {
    const double want[3] = {k.t0, k.t45, k.t90};
    const int theta[3] = {0, 45, 90};
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(testing::Message() << "mu R " << k.mur << " theta " << theta[i]);
      const double tol = unit4(want[i]) * 1.0001;
      EXPECT_NEAR(astar(k.r, theta[i]), want[i], tol);
      // On a grid point the lookup returns the entry (up to float rounding
      // of the weights).
      EXPECT_NEAR(absor1(k.mur, static_cast<float>(theta[i])), want[i], tol);
    }
  }
}

TEST(Absorption, TableShape) {
  for (int c = 0; c < 19; ++c) EXPECT_EQ(astar_table[0][c], 1.0f);
  for (int r = 0; r < 144; ++r)
    for (int c = 0; c < 19; ++c) {
      SCOPED_TRACE(testing::Message() << "row " << r + 1 << " column " << c + 1);
      if (c > 0) {
        EXPECT_LE(astar_table[r][c], astar_table[r][c - 1]);  // not rising with theta
      }
      if (r > 0) {
        EXPECT_GE(astar_table[r][c], astar_table[r - 1][c]);  // not falling with mu R
      }
    }
}

TEST(Absorption, Interpolation) {
  for (float theta : {0.0f, 12.5f, 45.0f, 90.0f}) EXPECT_FLOAT_EQ(absor1(0.0f, theta), 1.0f);
  EXPECT_FLOAT_EQ(absor1(1.0f, 45.0f), 3.505f);
  EXPECT_NEAR(absor1(1.0f, 47.5f), 0.5f * (astar(11, 45) + astar(11, 50)), 1e-4);
  // Both steps in mu R: w = 0.7 between 9.9 and 10.0, w = 0.4 between 10.0 and 10.5.
  for (int theta : {0, 45, 90}) {
    const float t = static_cast<float>(theta);
    EXPECT_NEAR(absor1(9.97f, t), 0.3f * astar(100, theta) + 0.7f * astar(101, theta),
                2e-4 * astar(101, theta));
    EXPECT_NEAR(absor1(10.2f, t), 0.6f * astar(101, theta) + 0.4f * astar(102, theta),
                2e-4 * astar(102, theta));
  }
  // theta = 90 uses the last column alone; the last row is reached with w = 0.
  EXPECT_NEAR(absor1(2.05f, 90.0f), 0.5f * (astar(21, 90) + astar(22, 90)), 1e-4);
  EXPECT_FLOAT_EQ(absor1(31.5f, 90.0f), astar(144, 90));
  EXPECT_FLOAT_EQ(absor1(31.5f, 0.0f), astar(144, 0));
}

TEST(Absorption, ContinuousAcrossCells) {
  // Across every 5-degree column boundary and the change of step at mu R = 10.
  for (float mur : {0.35f, 4.0f, 17.25f})
    for (int b = 5; b < 90; b += 5) {
      const float t = static_cast<float>(b);
      const float at = absor1(mur, t);
      EXPECT_NEAR(absor1(mur, t - 1e-3f), at, 1e-3f * at) << mur << " " << b;
    }
  for (float theta : {0.0f, 30.0f, 90.0f})
    EXPECT_NEAR(absor1(9.9999f, theta), absor1(10.0f, theta), 1e-3f * absor1(10.0f, theta));
}

TEST(Absorption, ArgumentsOutsideTheTable) {
  EXPECT_FLOAT_EQ(absor1(-2.0f, 30.0f), 1.0f);
  EXPECT_FLOAT_EQ(absor1(40.0f, 30.0f), absor1(31.5f, 30.0f));
  EXPECT_FLOAT_EQ(absor1(3.0f, -10.0f), absor1(3.0f, 0.0f));
  EXPECT_FLOAT_EQ(absor1(3.0f, 135.0f), absor1(3.0f, 90.0f));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(std::isnan(absor1(nan, 30.0f)));
  EXPECT_TRUE(std::isnan(absor1(3.0f, nan)));
}

TEST(Extinction, LoadedInAscendingOrder) {
  auto d = loaded();
  for (int c = 0; c < 19; ++c) {
    EXPECT_EQ(d->yp[0][c], 1.0f);
    EXPECT_EQ(d->yp[300][c], yp_table[0][c]);
    EXPECT_EQ(d->yp[0][c], yp_table[300][c]);
  }
}

TEST(Extinction, KnownRows) {
  auto d = loaded();
  struct row { int r; float x; double t0, t45, t90; };
  const row rows[] = {
      {1, 0.0f, 1, 1, 1},
      {2, 0.1f, 0.992, 0.989, 0.984},  // the sphere model gives 0.984 at 90 degrees
      {6, 0.5f, 0.82, 0.763, 0.706},
      {11, 1.0f, 0.47, 0.424, 0.421},
      {21, 2.0f, 0.183, 0.23, 0.253},
      {51, 5.0f, 0.074, 0.101, 0.123},
      {101, 10.0f, 0.038, 0.054, 0.07},
      {201, 20.0f, 0.019, 0.029, 0.039},
      {301, 30.0f, 0.012, 0.02, 0.028},
  };
  for (const row& k : rows) {
    const double want[3] = {k.t0, k.t45, k.t90};
    const int theta[3] = {0, 45, 90};
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(testing::Message() << "x " << k.x << " theta " << theta[i]);
      EXPECT_NEAR(ytab(*d, k.r, theta[i]), want[i], 0.002);
      EXPECT_NEAR(chuk(*d, k.x, static_cast<float>(theta[i])), want[i], 0.002);
    }
  }
}

TEST(Extinction, TableShape) {
  auto d = loaded();
  const float tol = 0.001f + 1e-6f;
  for (int c = 0; c < 19; ++c) EXPECT_EQ(d->yp[0][c], 1.0f);
  for (int r = 1; r < 301; ++r)
    for (int c = 0; c < 19; ++c) {
      SCOPED_TRACE(testing::Message() << "x " << 0.1 * r << " theta " << 5 * c);
      EXPECT_LE(d->yp[r][c], d->yp[r - 1][c] + tol);  // never rising with x
      if (c == 0) continue;
      if (r <= 10) {
        EXPECT_LE(d->yp[r][c], d->yp[r][c - 1] + tol);  // x <= 1.0
      }
      if (r >= 14) {
        EXPECT_GE(d->yp[r][c], d->yp[r][c - 1] - tol);  // x >= 1.4
      }
    }
}

TEST(Extinction, Interpolation) {
  auto d = loaded();
  for (float theta : {0.0f, 22.5f, 90.0f}) EXPECT_FLOAT_EQ(chuk(*d, 0.0f, theta), 1.0f);
  EXPECT_FLOAT_EQ(chuk(*d, 1.0f, 45.0f), 0.424f);
  EXPECT_NEAR(chuk(*d, 1.0f, 47.5f), 0.5f * (ytab(*d, 11, 45) + ytab(*d, 11, 50)), 1e-6);
  EXPECT_NEAR(chuk(*d, 2.35f, 90.0f), 0.5f * (ytab(*d, 24, 90) + ytab(*d, 25, 90)), 1e-5);
  // Continuous across the column boundaries.
  for (float x : {0.3f, 1.25f, 7.0f, 29.95f})
    for (int b = 5; b < 90; b += 5) {
      const float t = static_cast<float>(b);
      EXPECT_NEAR(chuk(*d, x, t - 1e-3f), chuk(*d, x, t), 1e-5) << x << " " << b;
    }
}

TEST(Extinction, BeyondTheTableFallsAsOneOverX) {
  auto d = loaded();
  for (int theta : {0, 45, 90}) {
    const float t = static_cast<float>(theta);
    const float last = ytab(*d, 301, theta);
    EXPECT_FLOAT_EQ(chuk(*d, 30.0f, t), last);
    EXPECT_NEAR(chuk(*d, 29.9999f, t), last, 1e-5);
    EXPECT_FLOAT_EQ(chuk(*d, 60.0f, t), 0.5f * last);
    EXPECT_FLOAT_EQ(chuk(*d, 300.0f, t), 0.1f * last);
  }
  EXPECT_NEAR(chuk(*d, 45.0f, 47.5f),
              (30.0f / 45.0f) * 0.5f * (ytab(*d, 301, 45) + ytab(*d, 301, 50)), 1e-6);
  EXPECT_EQ(chuk(*d, std::numeric_limits<float>::infinity(), 30.0f), 0.0f);
}

TEST(Extinction, ArgumentsOutsideTheTable) {
  auto d = loaded();
  EXPECT_FLOAT_EQ(chuk(*d, -1.0f, 30.0f), 1.0f);
  EXPECT_FLOAT_EQ(chuk(*d, 2.0f, -5.0f), chuk(*d, 2.0f, 0.0f));
  EXPECT_FLOAT_EQ(chuk(*d, 2.0f, 100.0f), chuk(*d, 2.0f, 90.0f));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(std::isnan(chuk(*d, nan, 30.0f)));
  EXPECT_TRUE(std::isnan(chuk(*d, 2.0f, nan)));
}

}  // namespace
}  // namespace korva
