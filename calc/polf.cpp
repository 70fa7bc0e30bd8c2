// Polarisation factors in the fixed frame of the three Bragg angles:
// k0 = x, k1 in the xy-plane, k2 at the angle Phi between the scattering
// planes (k0, k1) and (k0, k2).
#include "calc/polf.h"

#include <cmath>

namespace korva {

namespace {

float dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// v - (v.k) k: the part of v transverse to the beam direction k.
void transverse(const float v[3], const float k[3], float out[3]) {
  const float p = dot(v, k);
  for (int i = 0; i < 3; ++i) out[i] = v[i] - p * k[i];
}

// A polarisation vector shorter than this fraction of the incident one is
// rounding noise: its direction carries no information.
constexpr float vanish = 1.0e-6f;

}  // namespace

void polfa(float th1, float th2, float th3, float e1, float e2, float e3, float& o1, float& o2, float& o3, float& o4,
           float& o5) {
  const float c1 = std::cos(2.0f * th1), s1 = std::sin(2.0f * th1);
  const float c2 = std::cos(2.0f * th2), s2 = std::sin(2.0f * th2);
  const float c3 = std::cos(2.0f * th3);

  // Angle between the two scattering planes; a beam along k0 (or against
  // it) leaves the plane undefined, any Phi serves then.
  const float num = c3 - c1 * c2, den = s1 * s2;
  float cphi = den != 0.0f ? num / den : (num < 0.0f ? -1.0f : 1.0f);
  if (std::fabs(cphi) > 1.0f) cphi = std::copysign(1.0f, cphi);
  const float phi = std::acos(cphi);

  const float k1[3] = {c1, s1, 0.0f};
  const float k2[3] = {c2, s2 * std::cos(phi), s2 * std::sin(phi)};
  const float e[3] = {e1, e2, e3};
  const float elen = std::sqrt(dot(e, e));

  float D1[3], D2[3];
  transverse(e, k1, D1);
  transverse(e, k2, D2);
  const float l1 = std::sqrt(dot(D1, D1)), l2 = std::sqrt(dot(D2, D2));
  const bool has1 = l1 > vanish * elen, has2 = l2 > vanish * elen;

  o1 = has1 ? l1 * l1 : 0.0f;
  o2 = has2 ? l2 * l2 : 0.0f;
  o3 = o4 = o5 = 0.0f;

  if (has1) {
    const float n1[3] = {D1[0] / l1, D1[1] / l1, D1[2] / l1};
    float D12[3];
    transverse(n1, k2, D12);
    o3 = dot(D12, D12);
  }
  if (has2) {
    const float n2[3] = {D2[0] / l2, D2[1] / l2, D2[2] / l2};
    float D21[3];
    transverse(n2, k1, D21);
    o4 = dot(D21, D21);
    const float l21 = std::sqrt(o4);
    if (has1 && l21 > vanish) o5 = dot(D21, D1) / (l21 * l1);
  }
}

}  // namespace korva
