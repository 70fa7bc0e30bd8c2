#include "crystal/abso.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korva {

namespace {
float cell(int r, int c) { return astar_table[r - 1][c - 1]; }  // 1-based
}  // namespace

float absor1(float mur, float theta) {
  if (std::isnan(mur) || std::isnan(theta)) return std::numeric_limits<float>::quiet_NaN();
  // Keep every index inside the table: the last row and column are reached
  // with weight 0, and no neighbour beyond them is read.
  mur = std::clamp(mur, 0.0f, 31.5f);
  theta = std::clamp(theta, 0.0f, 90.0f);

  // Row and weight in mu R; the step changes from 0.1 to 0.5 at mu R = 10.
  int r;
  float w;
  if (mur < 10.0f) {
    int i = static_cast<int>(10.0f * mur);
    r = i + 1;
    w = (mur - 0.1f * static_cast<float>(i)) * 10.0f;
  } else {
    int i = static_cast<int>(2.0f * (mur - 10.0f));
    r = i + 101;
    w = (mur - (10.0f + 0.5f * static_cast<float>(i))) * 2.0f;
  }

  // Column and weight in theta, 5-degree steps.
  int i10 = static_cast<int>(0.1f * theta);
  float theta0 = 10.0f * static_cast<float>(i10) +
                 5.0f * static_cast<float>(static_cast<int>(0.2f * (theta - 10.0f * static_cast<float>(i10))));
  int c = static_cast<int>(theta0 / 5.0f) + 1;
  float u = 0.2f * (theta - theta0);

  r = std::min(r, 144);
  c = std::min(c, 19);
  int r1 = std::min(r + 1, 144), c1 = std::min(c + 1, 19);
  float a_lo = cell(r, c) - (cell(r, c) - cell(r, c1)) * u;
  float a_hi = cell(r1, c) - (cell(r1, c) - cell(r1, c1)) * u;
  return a_lo - (a_lo - a_hi) * w;
}

}  // namespace korva
