#include "crystal/chuk.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korva {

void chuk1(intensity_data& d) {
  for (int k = 0; k < yp_rows; ++k)
    for (int c = 0; c < yp_cols; ++c) d.yp[k][c] = yp_table[yp_rows - 1 - k][c];
}

float chuk(const intensity_data& d, float x, float theta) {
  if (std::isnan(x) || std::isnan(theta)) return std::numeric_limits<float>::quiet_NaN();
  x = std::max(x, 0.0f);
  theta = std::clamp(theta, 0.0f, 90.0f);

  // Column and weight in theta (1-based j); column 19 is reached with u = 0.
  int j = std::min(static_cast<int>(0.2f * theta + 1.0f), yp_cols);
  float u = 0.2f * (theta - 5.0f * static_cast<float>(j - 1));
  int j1 = std::min(j + 1, yp_cols);
  auto row = [&](int i) {  // 1-based row, interpolated in theta
    float t0 = d.yp[i - 1][j - 1], t1 = d.yp[i - 1][j1 - 1];
    return t0 + (t1 - t0) * u;
  };

  // Row and weight in x (1-based i).  Beyond the table y falls as 1/x,
  // the large-x behaviour of the mean of J0^2, joined to the last row.
  float fi = 10.0f * x + 1.0f;
  if (!(fi < static_cast<float>(yp_rows))) return row(yp_rows) * (30.0f / x);
  int i = static_cast<int>(fi);
  float w = 10.0f * (x - 0.1f * static_cast<float>(i - 1));
  float y_lo = row(i), y_hi = row(i + 1);
  return y_lo + (y_hi - y_lo) * w;
}

}  // namespace korva
