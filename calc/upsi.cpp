// Psi of the reference direction about the primary scattering vector, with
// the diffractometer's zero fixed by the phi and chi of that vector.
#include "calc/upsi.h"

#include <cmath>

namespace korva {

namespace {

// Cartesian vector ub * (h, k, l), normalised; false for length 0.
bool cart_unit(const float ub[3][3], float h, float k, float l, float out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = ub[i][0] * h + ub[i][1] * k + ub[i][2] * l;
  const float len = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
  if (!(len > 0.0f)) return false;
  for (int i = 0; i < 3; ++i) out[i] /= len;
  return true;
}

}  // namespace

void upsi(intensity_data& d, float x, float y, float z, const float ub[3][3]) {
  constexpr float two_pi = 6.28318f;
  d.PsiD = 0.0f;

  float u[3], e[3];
  if (!cart_unit(ub, static_cast<float>(d.h1), static_cast<float>(d.k1), static_cast<float>(d.l1), u)) return;
  if (!cart_unit(ub, x, y, z, e)) return;

  // Diffractometer angles of the primary.
  float phi = 0.0f;
  if (u[0] != 0.0f || u[1] != 0.0f) {
    const float a = two_pi - std::atan2(u[0], u[1]);
    phi = a - std::trunc(a / two_pi) * two_pi;
  }
  const float chi = std::atan2(u[2], std::sqrt(u[0] * u[0] + u[1] * u[1]));

  // The reference direction in the frame whose second axis is u.
  const float cp = std::cos(phi), sp = std::sin(phi);
  const float cc = std::cos(chi), sc = std::sin(chi);
  const float A1 = e[0] * cp + e[1] * sp;
  const float A2 = (e[1] * cp - e[0] * sp) * cc + e[2] * sc;
  const float A3 = e[2] * cc + (e[0] * sp - e[1] * cp) * sc;

  const float len = std::sqrt(A1 * A1 + A2 * A2 + A3 * A3);
  if (!(len > 0.0f)) return;
  float c = A1 / len;
  if (c > 1.0f) c = 1.0f;
  if (c < -1.0f) c = -1.0f;
  d.PsiD = std::acos(c) * 57.2958f;
  if (A3 < 0.0f) d.PsiD = -d.PsiD;
}

}  // namespace korva
