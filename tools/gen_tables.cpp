// Computes the two built-in tables of the sphere:
//   crystal/abso_table.cpp  astar_table[144][19]  absorption correction A*
//   crystal/chuk_table.cpp  yp_table[301][19]     primary-extinction factor y
//
// Geometry (both tables): a sphere of radius 1; for a point P inside,
// a(P) is the path from the surface to P along the incident direction s0,
// b(P) the path from P to the surface along the diffracted direction sh,
// the angle between s0 and sh being 2 theta.
//   A*(muR, theta) = 1 / < exp(-muR (a + b)) >
//   y(x, theta)    = < J0^2(2 x sqrt(a b)) >
// with < > the mean over the volume of the sphere.
//
// Method.  s0 and sh span the scattering plane, so a slice of the ball
// parallel to that plane is a disc of radius rho = cos(alpha) (height
// sin(alpha)) in which a and b are rho times their values in the unit disc.
// Hence for any f
//   < f(w) >_ball = < F(w') >_disc,   F(s) = 3/2 Int_0^pi/2 cos^3 t f(s cos t) dt
// where w' is w (= a + b, or 2 sqrt(a b)) in the unit disc.  For f(w) =
// exp(-mu w) and J0^2(x w), F depends on mu w' (x w') alone, so one kernel
// table per table kind serves all rows.  The distribution of w' over the
// unit disc does not depend on mu or x: it is integrated once per theta
// with a tensor Gauss-Legendre rule in polar coordinates, graded
// geometrically towards the rim (where the absorption integrand is sharp)
// and towards the four rim points where s0 or sh is tangent (where a or b
// has a square-root singularity), and collected in fine bins that keep the
// mass, mean and variance of their content.  Every row is then a sum over
// the bins of F and its second derivative (second-order Taylor term).
// theta = 0 and 90 degrees are one-dimensional chord integrals (s0 = +-sh).
//
// Usage:
//   gen_tables ABSO_OUT CHUK_OUT   write both table sources
//   gen_tables --check             compute with every step halved as well
//                                  and compare at the printed digits
// Single-threaded and deterministic: the same build writes the same bytes.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int n_mur = 144, n_x = 301, n_theta = 19;
constexpr double w_max = 4.0;  // a + b <= 4 and 2 sqrt(ab) <= a + b

double mur_of_row(int r) {  // r = 0..143
  return r <= 100 ? 0.1 * r : 10.0 + 0.5 * (r - 100);
}
double x_of_row(int r) { return 0.1 * r; }  // r = 0..300

// Resolution of every quadrature.  refine = 1 halves every step.
struct steps {
  int refine = 0;
  int gauss_n = 16;         // nodes per panel
  double h_panel = 1.0 / 16;  // widest panel in the disc (rad or radius)
  int depth = 40;           // geometric grading down to 2^-depth
  int n_bins = 1 << 16;     // bins over 0 <= w' <= 4
  double ds = 1.0 / 64;     // kernel-table spacing in s
  int kernel_panels = 32;   // panels over 0 <= t <= pi/2 in the kernels
  double chord_panel = 1.0 / 64;  // panels of the chord integrals
};

steps make_steps(int refine) {
  steps s;
  s.refine = refine;
  if (refine) {
    s.n_bins *= 2;
    s.ds /= 2;
    s.kernel_panels *= 2;
    s.chord_panel /= 2;
  }
  return s;
}

// ---- Gauss-Legendre ------------------------------------------------------

struct rule {
  std::vector<double> x, w;  // on [-1, 1]
};

rule gauss_legendre(int n) {
  rule g;
  g.x.resize(n);
  g.w.resize(n);
  for (int i = 0; i < n; ++i) {
    double z = std::cos(pi * (i + 0.75) / (n + 0.5));
    double pp = 1;
    for (int it = 0; it < 100; ++it) {
      double p1 = 1, p2 = 0;
      for (int j = 1; j <= n; ++j) {
        double p3 = p2;
        p2 = p1;
        p1 = ((2.0 * j - 1) * z * p2 - (j - 1.0) * p3) / j;
      }
      pp = n * (z * p1 - p2) / (z * z - 1);
      double z1 = z;
      z = z1 - p1 / pp;
      if (std::fabs(z - z1) < 1e-16) break;
    }
    g.x[n - 1 - i] = z;
    g.w[n - 1 - i] = 2 / ((1 - z * z) * pp * pp);
  }
  return g;
}

struct node {
  double x, w;
};

// Panels on [u0, u1], graded geometrically towards the ends flagged,
// no panel wider than h; with refine every panel is split in two.
std::vector<node> graded_nodes(double u0, double u1, bool grade_lo, bool grade_hi,
                               const steps& st, const rule& g) {
  std::vector<double> cuts;
  double len = u1 - u0;
  if (len <= 0) return {};
  double mid = 0.5 * (u0 + u1);
  cuts.push_back(u0);
  if (grade_lo)
    for (int k = st.depth; k >= 1; --k) cuts.push_back(u0 + 0.5 * len * std::ldexp(1.0, -k));
  cuts.push_back(mid);
  if (grade_hi)
    for (int k = 1; k <= st.depth; ++k) cuts.push_back(u1 - 0.5 * len * std::ldexp(1.0, -k));
  cuts.push_back(u1);
  std::vector<node> out;
  for (size_t i = 0; i + 1 < cuts.size(); ++i) {
    double p0 = cuts[i], p1 = cuts[i + 1];
    int parts = std::max(1, static_cast<int>(std::ceil((p1 - p0) / st.h_panel - 1e-9)));
    if (st.refine) parts *= 2;
    for (int k = 0; k < parts; ++k) {
      double q0 = p0 + (p1 - p0) * k / parts, q1 = p0 + (p1 - p0) * (k + 1) / parts;
      double c = 0.5 * (q0 + q1), hw = 0.5 * (q1 - q0);
      for (size_t j = 0; j < g.x.size(); ++j) out.push_back({c + hw * g.x[j], hw * g.w[j]});
    }
  }
  return out;
}

// Uniform composite rule on [u0, u1] with panels of width about h.
std::vector<node> uniform_nodes(double u0, double u1, double h, const rule& g) {
  int parts = std::max(1, static_cast<int>(std::ceil((u1 - u0) / h - 1e-9)));
  std::vector<node> out;
  for (int k = 0; k < parts; ++k) {
    double q0 = u0 + (u1 - u0) * k / parts, q1 = u0 + (u1 - u0) * (k + 1) / parts;
    double c = 0.5 * (q0 + q1), hw = 0.5 * (q1 - q0);
    for (size_t j = 0; j < g.x.size(); ++j) out.push_back({c + hw * g.x[j], hw * g.w[j]});
  }
  return out;
}

// ---- slice kernels F(s) and F''(s) on a uniform grid -------------------

double j0sq_second(double z, double j0) {  // d^2/dz^2 J0(z)^2
  if (z < 1e-6) return -1 + 0.375 * z * z;
  double j1 = std::cyl_bessel_j(1.0, z);
  return 2 * (j1 * j1 - j0 * j0 + j0 * j1 / z);
}

struct kernel {
  double ds = 0;
  std::vector<double> f, f2;  // F and F'' at s = i ds

  // Six-point Lagrange interpolation on the grid.
  static double interp(const std::vector<double>& v, double ds, double s) {
    static const double inv_den[6] = {-1.0 / 120, 1.0 / 24, -1.0 / 12,
                                      1.0 / 12,   -1.0 / 24, 1.0 / 120};
    double u = s / ds;
    int i = static_cast<int>(u) - 2;
    i = std::clamp(i, 0, static_cast<int>(v.size()) - 6);
    double t = u - i;
    double d[6], pre[7], suf[7];
    for (int k = 0; k < 6; ++k) d[k] = t - k;
    pre[0] = 1;
    for (int k = 0; k < 6; ++k) pre[k + 1] = pre[k] * d[k];
    suf[6] = 1;
    for (int k = 5; k >= 0; --k) suf[k] = suf[k + 1] * d[k];
    double r = 0;
    for (int k = 0; k < 6; ++k) r += pre[k] * suf[k + 1] * inv_den[k] * v[i + k];
    return r;
  }
  double value(double s) const { return interp(f, ds, s); }
  double second(double s) const { return interp(f2, ds, s); }
};

enum class kind { absorption, extinction };

kernel make_kernel(kind k, double s_max, const steps& st, const rule& g) {
  kernel K;
  K.ds = st.ds;
  int n = static_cast<int>(std::ceil(s_max / st.ds)) + 6;
  std::vector<node> t = uniform_nodes(0, pi / 2, (pi / 2) / st.kernel_panels, g);
  std::vector<double> c(t.size());
  for (size_t j = 0; j < t.size(); ++j) c[j] = std::cos(t[j].x);
  K.f.resize(n);
  K.f2.resize(n);
  for (int i = 0; i < n; ++i) {
    double s = i * st.ds, sf = 0, sf2 = 0;
    for (size_t j = 0; j < t.size(); ++j) {
      double c3 = c[j] * c[j] * c[j], z = s * c[j];
      double fv, f2v;
      if (k == kind::absorption) {
        fv = std::exp(-z);
        f2v = fv;
      } else {
        double j0 = std::cyl_bessel_j(0.0, z);
        fv = j0 * j0;
        f2v = j0sq_second(z, j0);
      }
      sf += t[j].w * c3 * fv;
      sf2 += t[j].w * c3 * c[j] * c[j] * f2v;
    }
    K.f[i] = 1.5 * sf;
    K.f2[i] = 1.5 * sf2;
  }
  return K;
}

// ---- distribution of w' over the unit disc ------------------------------

struct bins {
  double h = 0;
  std::vector<double> m0, m1, m2;  // mass, mass*(w-c), mass*(w-c)^2; c = bin centre
  void init(int n) {
    h = w_max / n;
    m0.assign(n, 0);
    m1.assign(n, 0);
    m2.assign(n, 0);
  }
  void add(double w, double mass) {
    int i = std::min(static_cast<int>(w / h), static_cast<int>(m0.size()) - 1);
    double d = w - (i + 0.5) * h;
    m0[i] += mass;
    m1[i] += mass * d;
    m2[i] += mass * d * d;
  }
};

// Half disc x >= 0 (a + b and ab are even in x).  s0 = (cos th, -sin th),
// sh = (cos th, sin th).  The rim points where s0 or sh is tangent lie at
// polar angles pi/2 - th and th - pi/2; the mirror line x = 0 meets the rim
// at +-pi/2.
void disc_bins(double th, const steps& st, const rule& g, bins& sum_b, bins& geo_b) {
  sum_b.init(st.n_bins);
  geo_b.init(st.n_bins);
  std::vector<double> cut = {-pi / 2, th - pi / 2, pi / 2 - th, pi / 2};
  std::sort(cut.begin(), cut.end());
  cut.erase(std::unique(cut.begin(), cut.end(),
                        [](double p, double q) { return std::fabs(p - q) < 1e-14; }),
            cut.end());
  std::vector<node> phi;
  for (size_t i = 0; i + 1 < cut.size(); ++i) {
    std::vector<node> part = graded_nodes(cut[i], cut[i + 1], true, true, st, g);
    phi.insert(phi.end(), part.begin(), part.end());
  }
  // depth below the rim: delta = 1 - r, graded towards 0
  std::vector<node> del = graded_nodes(0, 1, true, false, st, g);
  double c = std::cos(th), s = std::sin(th);
  for (const node& p : phi) {
    double cp = std::cos(p.x), sp = std::sin(p.x);
    double u0 = cp * c - sp * s;  // rim normal . s0
    double uh = cp * c + sp * s;  // rim normal . sh
    for (const node& q : del) {
      double dl = q.x, r = 1 - dl;
      double e = dl * (2 - dl);  // 1 - r^2
      double ps = r * u0, ph = r * uh;
      double rs = std::sqrt(ps * ps + e), rh = std::sqrt(ph * ph + e);
      double a = ps >= 0 ? ps + rs : e / (rs - ps);  // back along s0
      double b = ph <= 0 ? rh - ph : e / (rh + ph);  // forward along sh
      double mass = p.w * q.w * r;
      sum_b.add(a + b, mass);
      geo_b.add(2 * std::sqrt(a * b), mass);
    }
  }
}

// < f(w') > over the disc from the bins: f(s) = F(scale * s).
double bin_mean(const bins& b, const kernel& K, double scale) {
  double tot = 0, acc = 0;
  for (size_t i = 0; i < b.m0.size(); ++i) {
    double m = b.m0[i];
    if (m == 0) continue;
    double mean = (i + 0.5) * b.h + b.m1[i] / m;
    double var = b.m2[i] - b.m1[i] * b.m1[i] / m;  // mass * variance
    double s = scale * mean;
    acc += m * K.value(s) + 0.5 * scale * scale * var * K.second(s);
    tot += m;
  }
  return acc / tot;
}

// ---- theta = 0 and 90: chords parallel to s0 ---------------------------
// A chord of length L at a distance sqrt(1 - L^2/4) from the centre; over
// the volume, the half-length u has density 3 u^2 on [0, 1].

// theta = 0: a + b = L.  T = 3 Int u^2 exp(-2 mu u) du, in closed form
// T = 6/k^3 (1 - exp(-k)(1 + k + k^2/2)), k = 2 mu.  For mu = 1.5, 4.5, ...
// A* lies just above a rounding tie (4 mu^3 / 3 ends in 5), which only a
// closed form resolves with certainty; the bracket is summed as the series
// exp(-k) sum_{j>=3} k^j/j! where it would cancel.
double absorption_t0(double mu) {
  double k = 2 * mu, bracket;
  if (k < 5) {
    double term = k * k * k / 6, sum = 0;
    for (int j = 3; term > 1e-18 * sum; ++j) {
      sum += term;
      term *= k / (j + 1);
    }
    bracket = std::exp(-k) * sum;
  } else {
    bracket = 1 - std::exp(-k) * (1 + k + 0.5 * k * k);
  }
  return 6 / (k * k * k) * bracket;
}
// theta = 90: b = a, uniform on [0, L].  T = 3/4 Int_0^2 exp(-2 mu t)(1 - t^2/4) dt.
double absorption_t90(double mu, const steps& st, const rule& g) {
  double acc = 0;
  for (const node& n : uniform_nodes(0, 2, st.chord_panel, g))
    acc += n.w * 0.75 * std::exp(-2 * mu * n.x) * (1 - 0.25 * n.x * n.x);
  return acc;
}
// theta = 0: along a chord a = t, b = L - t, and the mean of J0^2(2x sqrt(t(L-t)))
// over t is (1/2A) Int_0^2A J0(v) dv with A = xL.  Over the volume this
// gives y = 3/(2z) Int_0^z J0(v) (1 - v^2/z^2) dv with z = 4x.
double extinction_t0(double x, const steps& st, const rule& g) {
  if (x == 0) return 1;
  double z = 4 * x, acc = 0;
  for (const node& n : uniform_nodes(0, z, 64 * st.chord_panel, g))
    acc += n.w * std::cyl_bessel_j(0.0, n.x) * (1 - n.x * n.x / (z * z));
  return 1.5 * acc / z;
}
// theta = 90: y = 3/4 Int_0^2 J0^2(2 x t) (1 - t^2/4) dt.
double extinction_t90(double x, const steps& st, const rule& g) {
  if (x == 0) return 1;
  double acc = 0;
  for (const node& n : uniform_nodes(0, 2, st.chord_panel, g)) {
    double j = std::cyl_bessel_j(0.0, 2 * x * n.x);
    acc += n.w * 0.75 * j * j * (1 - 0.25 * n.x * n.x);
  }
  return acc;
}

// ---- both tables ---------------------------------------------------------

struct tables {
  double astar[n_mur][n_theta];
  double y[n_x][n_theta];      // ascending x
  double t_end_astar = 0, t_end_y = 0;  // largest 2-D vs chord difference
};

// The general method applied at theta = 0 and 90 as well, compared with the
// chord integrals there.
void compute(tables& T, const steps& st, bool cross_check) {
  rule g = gauss_legendre(st.gauss_n);
  kernel KA = make_kernel(kind::absorption, 31.5 * w_max + 1, st, g);
  kernel KY = make_kernel(kind::extinction, 30.0 * w_max + 1, st, g);
  bins sb, gb;
  for (int c = 0; c < n_theta; ++c) {
    double th = 5.0 * c * pi / 180;
    bool chord = (c == 0 || c == n_theta - 1);
    if (!chord || cross_check) disc_bins(th, st, g, sb, gb);
    for (int r = 0; r < n_mur; ++r) {
      double mu = mur_of_row(r), t;
      if (chord) {
        t = c == 0 ? absorption_t0(mu) : absorption_t90(mu, st, g);
        if (cross_check)
          T.t_end_astar = std::max(T.t_end_astar, std::fabs(bin_mean(sb, KA, mu) / t - 1));
      } else {
        t = bin_mean(sb, KA, mu);
      }
      T.astar[r][c] = r == 0 ? 1.0 : 1 / t;
    }
    for (int r = 0; r < n_x; ++r) {
      double x = x_of_row(r), y;
      if (chord) {
        y = c == 0 ? extinction_t0(x, st, g) : extinction_t90(x, st, g);
        if (cross_check) T.t_end_y = std::max(T.t_end_y, std::fabs(bin_mean(gb, KY, x) - y));
      } else {
        y = bin_mean(gb, KY, x);
      }
      T.y[r][c] = r == 0 ? 1.0 : y;
    }
  }
}

// ---- rounding and printing ----------------------------------------------

// Four significant digits: digits r (1000..9999) times 10^e.
void round4(double v, long long& r, int& e) {
  e = static_cast<int>(std::floor(std::log10(v))) - 3;
  for (int pass = 0; pass < 3; ++pass) {
    r = e >= 0 ? std::llround(v / std::pow(10.0, e)) : std::llround(v * std::pow(10.0, -e));
    if (r >= 10000) ++e;
    else if (r < 1000) --e;
    else break;
  }
}

std::string digits_literal(long long r, int e) {  // value r * 10^e as a float literal
  std::string s = std::to_string(r);
  if (e >= 0) return s + std::string(e, '0') + ".f";
  int d = -e;
  if (static_cast<int>(s.size()) <= d) s = std::string(d + 1 - s.size(), '0') + s;
  return s.substr(0, s.size() - d) + "." + s.substr(s.size() - d) + "f";
}

std::string sig4(double v) {
  long long r;
  int e;
  round4(v, r, e);
  return digits_literal(r, e);
}
std::string dec3(double v) { return digits_literal(std::llround(v * 1000), -3); }

double sig4_value(double v) {
  long long r;
  int e;
  round4(v, r, e);
  return r * std::pow(10.0, e);
}
double dec3_value(double v) { return std::llround(v * 1000) / 1000.0; }

void write_row(std::FILE* f, const std::string* v, const char* label) {
  std::fprintf(f, "  {");
  for (int c = 0; c < n_theta; ++c) {
    if (c > 0) std::fprintf(f, c == 10 ? ",\n   " : ", ");
    std::fprintf(f, "%s", v[c].c_str());
  }
  std::fprintf(f, "},  // %s\n", label);
}

bool write_abso(const tables& T, const char* path) {
  std::FILE* f = std::fopen(path, "w");
  if (!f) return false;
  std::fprintf(f,
               "// Generated by tools/gen_tables.sh (tools/gen_tables.cpp); do not edit.\n"
               "// A* = 1 / <exp(-muR (a + b))>, the mean over the volume of a sphere of\n"
               "// radius 1; a, b the paths in along s0 and out along sh, 2 theta apart.\n"
               "// Rows muR = 0, 0.1, ..., 10 and 10.5, 11, ..., 31.5; columns theta = 0,\n"
               "// 5, ..., 90 degrees.  Four significant digits.\n"
               "#include \"crystal/abso.h\"\n\n"
               "namespace korva {\n\n"
               "// clang-format off\n"
               "const float astar_table[144][19] = {\n");
  for (int r = 0; r < n_mur; ++r) {
    std::string v[n_theta];
    for (int c = 0; c < n_theta; ++c) v[c] = sig4(T.astar[r][c]);
    char label[32];
    std::snprintf(label, sizeof label, "muR %.1f", mur_of_row(r));
    write_row(f, v, label);
  }
  std::fprintf(f, "};\n// clang-format on\n\n}  // namespace korva\n");
  return std::fclose(f) == 0;
}

bool write_chuk(const tables& T, const char* path) {
  std::FILE* f = std::fopen(path, "w");
  if (!f) return false;
  std::fprintf(f,
               "// Generated by tools/gen_tables.sh (tools/gen_tables.cpp); do not edit.\n"
               "// y = <J0^2(2 x sqrt(a b))>, the mean over the volume of a sphere of\n"
               "// radius 1; a, b the paths in along s0 and out along sh, 2 theta apart.\n"
               "// Rows in descending x = 30.0, 29.9, ..., 0; columns theta = 0, 5, ...,\n"
               "// 90 degrees.  Three decimals.\n"
               "#include \"crystal/chuk.h\"\n\n"
               "namespace korva {\n\n"
               "// clang-format off\n"
               "const float yp_table[301][19] = {\n");
  for (int r = n_x - 1; r >= 0; --r) {
    std::string v[n_theta];
    for (int c = 0; c < n_theta; ++c) v[c] = dec3(T.y[r][c]);
    char label[32];
    std::snprintf(label, sizeof label, "x %.1f", x_of_row(r));
    write_row(f, v, label);
  }
  std::fprintf(f, "};\n// clang-format on\n\n}  // namespace korva\n");
  return std::fclose(f) == 0;
}

// Distance of v from the nearest rounding boundary, in units of the last digit.
double margin4(double v) {
  long long r;
  int e;
  round4(v, r, e);
  double u = v / std::pow(10.0, e);
  return 0.5 - std::fabs(u - std::round(u));
}
double margin3(double v) {
  double u = v * 1000;
  return 0.5 - std::fabs(u - std::round(u));
}

int check() {
  auto t0 = std::chrono::steady_clock::now();
  static tables a, b;
  compute(a, make_steps(0), true);
  auto t1 = std::chrono::steady_clock::now();
  compute(b, make_steps(1), true);
  auto t2 = std::chrono::steady_clock::now();
  int diff_a = 0, diff_y = 0;
  double rel_a = 0, abs_y = 0, min_ma = 1, min_my = 1;
  for (int c = 0; c < n_theta; ++c) {
    for (int r = 1; r < n_mur; ++r) {
      if (sig4_value(a.astar[r][c]) != sig4_value(b.astar[r][c])) ++diff_a;
      rel_a = std::max(rel_a, std::fabs(a.astar[r][c] / b.astar[r][c] - 1));
      min_ma = std::min(min_ma, margin4(b.astar[r][c]));
    }
    for (int r = 1; r < n_x; ++r) {
      if (dec3_value(a.y[r][c]) != dec3_value(b.y[r][c])) ++diff_y;
      abs_y = std::max(abs_y, std::fabs(a.y[r][c] - b.y[r][c]));
      min_my = std::min(min_my, margin3(b.y[r][c]));
    }
  }
  std::printf("steps halved: A* printed values changed %d of %d, largest relative change %.2e\n",
              diff_a, (n_mur - 1) * n_theta, rel_a);
  std::printf("steps halved: y  printed values changed %d of %d, largest absolute change %.2e\n",
              diff_y, (n_x - 1) * n_theta, abs_y);
  std::printf("closest value to a rounding boundary: A* %.2e, y %.2e (units of the last digit)\n",
              min_ma, min_my);
  std::printf("disc method at theta = 0, 90 against chord integrals: A* rel %.2e / %.2e, y abs %.2e / %.2e\n",
              a.t_end_astar, b.t_end_astar, a.t_end_y, b.t_end_y);
  std::printf("time: base %.1f s, halved %.1f s\n",
              std::chrono::duration<double>(t1 - t0).count(),
              std::chrono::duration<double>(t2 - t1).count());
  return diff_a + diff_y == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--check") return check();
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_tables ABSO_OUT CHUK_OUT | gen_tables --check\n");
    return 2;
  }
  static tables t;
  compute(t, make_steps(0), false);
  if (!write_abso(t, argv[1]) || !write_chuk(t, argv[2])) {
    std::fprintf(stderr, "gen_tables: cannot write the output files\n");
    return 1;
  }
  return 0;
}
