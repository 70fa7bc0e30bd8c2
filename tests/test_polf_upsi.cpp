// Polarisation factors of the event paths, and the psi offset from the
// orientation matrix.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "calc/polf.h"
#include "calc/upsi.h"
#include "driver/job_state.h"

namespace korva {
namespace {

using vec = std::array<double, 3>;
constexpr double deg = M_PI / 180.0;

double dot(const vec& a, const vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
vec cross(const vec& a, const vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
vec add(const vec& a, const vec& b, double f = 1) { return {a[0] + f * b[0], a[1] + f * b[1], a[2] + f * b[2]}; }
vec scale(const vec& a, double f) { return {a[0] * f, a[1] * f, a[2] * f}; }
double norm(const vec& a) { return std::sqrt(dot(a, a)); }
vec unit(const vec& a) { return scale(a, 1 / norm(a)); }

// Rotation of v by angle t about the unit axis n (Rodrigues).
vec rotate(const vec& v, const vec& axis, double t) {
  const vec n = unit(axis);
  return add(add(scale(v, std::cos(t)), cross(n, v), std::sin(t)), n, dot(n, v) * (1 - std::cos(t)));
}

using factors = std::array<float, 5>;

factors call_polfa(double th1, double th2, double th3, const vec& e) {
  factors o;
  polfa(float(th1), float(th2), float(th3), float(e[0]), float(e[1]), float(e[2]), o[0], o[1], o[2], o[3], o[4]);
  return o;
}

// The five factors straight from the beam directions and the polarisation.
std::array<double, 5> direct(const vec& k1, const vec& k2, const vec& e) {
  const vec D1 = add(e, k1, -dot(e, k1)), D2 = add(e, k2, -dot(e, k2));
  const vec n1 = unit(D1), n2 = unit(D2);
  const vec D12 = add(n1, k2, -dot(n1, k2)), D21 = add(n2, k1, -dot(n2, k1));
  return {dot(D1, D1), dot(D2, D2), dot(D12, D12), dot(D21, D21), dot(D21, D1) / (norm(D21) * norm(D1))};
}

void expect_factors(const factors& o, const std::array<double, 5>& want, double tol = 2e-5) {
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(o[i], want[i], tol) << "o" << i + 1;
}

TEST(Polfa, PerpendicularAndInPlanePolarisation) {
  const double cases[][3] = {{0.20, 0.35, 0.30}, {0.55, 0.25, 0.62}, {1.10, 0.80, 0.40}, {0.70, 1.30, 1.00}};
  for (const auto& th : cases) {
    const factors s = call_polfa(th[0], th[1], th[2], {0, 0, 1});
    EXPECT_NEAR(s[0], 1.0, 1e-6);
    EXPECT_NEAR(s[2], s[1], 1e-6);
    const factors p = call_polfa(th[0], th[1], th[2], {0, 1, 0});
    const double c = std::cos(2 * th[0]);
    EXPECT_NEAR(p[0], c * c, 1e-6);
  }
}

// k1 and k2 from rotations of the incident beam about arbitrary axes; the
// Bragg angles follow from h = k_out - k_in on an Ewald sphere of radius 1.
TEST(Polfa, MatchesVectorGeometry) {
  struct geo {
    vec a1;
    double t1;
    vec a2;
    double t2;
  };
  const geo geos[] = {{{0.3, -0.2, 1.0}, 0.9, {0.1, -1.0, 0.4}, 1.4},
                      {{-0.5, 0.4, 1.0}, 2.1, {0.7, -0.3, -0.6}, -0.6},
                      {{0.0, 0.2, 1.0}, 0.4, {0.2, -1.0, -0.1}, 2.6}};
  const vec es[] = {{0, 0, 1}, {0, 1, 0}, {0, 0.6, 0.8}, {0, -0.8, 0.6}};
  const vec k0 = {1, 0, 0};
  for (const geo& g : geos) {
    const vec k1 = rotate(k0, g.a1, g.t1), k2 = rotate(k0, g.a2, g.t2);
    const vec h1 = add(k1, k0, -1), h2 = add(k2, k0, -1), h3 = add(h1, h2, -1);
    const double th1 = std::asin(norm(h1) / 2), th2 = std::asin(norm(h2) / 2), th3 = std::asin(norm(h3) / 2);
    // Frame of the factors: x along k0, z normal to the primary plane.
    const vec z = unit(cross(k0, k1)), y = cross(z, k0);
    ASSERT_GT(dot(k2, z), 0.05);  // k2 on the side of positive Phi
    for (const vec& ef : es) {
      const vec e = add(scale(y, ef[1]), z, ef[2]);
      expect_factors(call_polfa(th1, th2, th3, ef), direct(k1, k2, e));
    }
  }
}

// Coupling angles at or beyond the limits of the two planes: k2 falls into
// the primary plane, on the side of k1 (Phi = 0) or opposite (Phi = pi).
TEST(Polfa, SecondaryInPrimaryPlane) {
  const double th1 = 30 * deg, th2 = 20 * deg;
  const vec k1 = {std::cos(2 * th1), std::sin(2 * th1), 0};
  const vec same = {std::cos(2 * th2), std::sin(2 * th2), 0}, opposite = {same[0], -same[1], 0};
  // Exactly at the limit the single-precision cosine lands a few units of
  // rounding inside 1, so Phi comes out near 1e-3 rather than 0.
  const struct {
    double th3;
    vec k2;
    double tol;
  } cases[] = {{10 * deg, same, 1e-3}, {5 * deg, same, 2e-5}, {50 * deg, opposite, 1e-3}, {60 * deg, opposite, 2e-5}};
  const vec es[] = {{0, 0, 1}, {0, 1, 0}, {0, 0.6, 0.8}};
  for (const auto& c : cases)
    for (const vec& e : es) expect_factors(call_polfa(th1, th2, c.th3, e), direct(k1, c.k2, e), c.tol);
}

TEST(Polfa, VanishingPolarisationGivesZeroFactors) {
  // In-plane polarisation along the primary beam at 2 theta1 = 90 degrees.
  factors o = call_polfa(M_PI / 4, 0.3, 0.5, {0, 1, 0});
  EXPECT_EQ(o[0], 0.0f);
  EXPECT_EQ(o[2], 0.0f);
  EXPECT_EQ(o[4], 0.0f);
  EXPECT_GT(o[1], 0.1f);
  EXPECT_GT(o[3], 0.1f);
  // Secondary beam along the polarisation (2 theta2 = 2 theta3 = 90 degrees).
  o = call_polfa(0.35, M_PI / 4, M_PI / 4, {0, 0, 1});
  EXPECT_EQ(o[1], 0.0f);
  EXPECT_EQ(o[3], 0.0f);
  EXPECT_EQ(o[4], 0.0f);
  EXPECT_NEAR(o[0], 1.0f, 1e-6);
  // Degenerate beams and a zero polarisation stay finite.
  const double ths[] = {0.0, M_PI / 4, M_PI / 2, 0.4};
  const vec es[] = {{0, 0, 1}, {0, 1, 0}, {0, 0, 0}, {0, 0.6, 0.8}};
  for (double a : ths)
    for (double b : ths)
      for (double c : ths)
        for (const vec& e : es)
          for (float v : call_polfa(a, b, c, e)) EXPECT_TRUE(std::isfinite(v)) << a << ' ' << b << ' ' << c;
}

// ---- upsi -------------------------------------------------------------------

struct ub_case {
  double m[3][3];
  vec cart(const vec& h) const {
    return {dot({m[0][0], m[0][1], m[0][2]}, h), dot({m[1][0], m[1][1], m[1][2]}, h),
            dot({m[2][0], m[2][1], m[2][2]}, h)};
  }
  // Reciprocal-lattice coordinates of a Cartesian vector.
  vec index(const vec& w) const {
    const vec c0 = {m[0][0], m[1][0], m[2][0]}, c1 = {m[0][1], m[1][1], m[2][1]}, c2 = {m[0][2], m[1][2], m[2][2]};
    const double det = dot(c0, cross(c1, c2));
    return {dot(w, cross(c1, c2)) / det, dot(w, cross(c2, c0)) / det, dot(w, cross(c0, c1)) / det};
  }
};

float run_upsi(const ub_case& u, int h, int k, int l, const vec& r) {
  intensity_data d;
  d.h1 = h, d.k1 = k, d.l1 = l;
  d.PsiD = 55;
  float m[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i][j] = float(u.m[i][j]);
  upsi(d, float(r[0]), float(r[1]), float(r[2]), m);
  return d.PsiD;
}

const ub_case skew = {{{0.12, 0.03, -0.02}, {-0.05, 0.10, 0.04}, {0.01, -0.02, 0.09}}};

// Reference directions perpendicular to the primary: psi is the azimuth
// about u from the horizontal direction u x z, positive toward (u x z) x u.
TEST(Upsi, AzimuthOfPerpendicularReference) {
  const vec u = unit(skew.cart({1, -2, 3}));
  const vec a1 = unit(cross(u, {0, 0, 1})), a3 = cross(a1, u);
  for (double psi : {0.0, 30.0, 90.0, 135.0, 179.0, -45.0, -90.0, -170.0}) {
    const vec w = add(scale(a1, std::cos(psi * deg)), a3, std::sin(psi * deg));
    EXPECT_NEAR(run_upsi(skew, 1, -2, 3, scale(skew.index(w), 2.5)), psi, 0.02) << psi;
  }
  EXPECT_NEAR(std::fabs(run_upsi(skew, 1, -2, 3, skew.index(scale(a1, -1)))), 180.0, 0.02);
}

// Any reference direction: the angle to the horizontal axis, signed by the
// side of the plane (u, a1) it lies on; always within [-180, 180].
TEST(Upsi, RangeAndSignRule) {
  const vec u = unit(skew.cart({2, 1, -1}));
  const vec a1 = unit(cross(u, {0, 0, 1})), a3 = cross(a1, u);
  for (int i = 0; i < 36; ++i)
    for (double tilt : {0.0, 0.7, -1.5}) {
      const double t = (10 * i + 3) * deg;
      const vec w = add(add(scale(a1, std::cos(t)), a3, std::sin(t)), u, tilt);
      const double want = std::copysign(std::acos(dot(w, a1) / norm(w)) / deg, dot(w, a3));
      const float got = run_upsi(skew, 2, 1, -1, skew.index(w));
      EXPECT_NEAR(got, want, 0.02) << i << ' ' << tilt;
      EXPECT_GE(got, -180.0f);
      EXPECT_LE(got, 180.0f);
    }
}

TEST(Upsi, PrimaryAlongZAndDegenerateVectors) {
  const ub_case cubic = {{{0.2, 0, 0}, {0, 0.2, 0}, {0, 0, 0.2}}};
  const struct {
    int l;
    vec r;
    double psi;
  } cases[] = {{1, {1, 0, 0}, 0},   {1, {0, 1, 0}, -90}, {1, {0, -1, 0}, 90},
               {1, {-1, 0, 0}, 180}, {1, {1, 1, 0}, -45}, {-1, {0, 1, 0}, 90}};
  for (const auto& c : cases) EXPECT_NEAR(run_upsi(cubic, 0, 0, c.l, c.r), c.psi, 0.01) << c.l;
  // Reference along the horizontal axis itself: exactly 0, never NaN.
  EXPECT_NEAR(run_upsi(cubic, 1, 1, 0, {1, -1, 0}), 0.0, 0.05);
  // A zero primary or reference vector gives 0.
  EXPECT_EQ(run_upsi(cubic, 0, 0, 0, {1, 0, 0}), 0.0f);
  EXPECT_EQ(run_upsi(cubic, 1, 2, 3, {0, 0, 0}), 0.0f);
}

}  // namespace
}  // namespace korva
