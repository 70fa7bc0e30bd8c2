// Event search, event intensity, psi-scan profile and the event listing.
// The event positions are checked against an independent Ewald-sphere
// construction in double precision that turns the crystal step by step.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "calc/pass.h"
#include "crystal/chuk.h"
#include "driver/clock.h"
#include "driver/job.h"
#include "driver/setup.h"
#include "job_runner.h"

using namespace korva;
using namespace korva::testing;

namespace {

// ---------------------------------------------------------------------------
// Independent check: the crystal turns right-handed about h1; at psi = 0 the
// reference direction points from the rotation axis toward the centre of the
// Ewald sphere.  An event is a psi where |k0 + h2(psi)| = |k0|; the i-o event
// is the one where h2 leaves the sphere as psi grows.

using vec = std::array<double, 3>;
vec operator+(vec a, vec b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
vec operator*(double s, vec a) { return {s * a[0], s * a[1], s * a[2]}; }
double dot(vec a, vec b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
vec cross(vec a, vec b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }

struct check_event {
  int h, k, l, side;  // side 1: h2 leaves the sphere (i-o), 2: it enters (o-i)
  double psi;         // degrees, [-180, 180)
};

struct ewald_check {
  vec as, bs, cs;  // reciprocal basis, Cartesian
  vec H1, e1, e3;
  double amax;     // longest direct edge

  ewald_check(double a, double b, double c, double al, double be, double ga, int h1, int k1, int l1) {
    const double d2r = std::acos(-1.0) / 180.0;
    const double ca = std::cos(al * d2r), cb = std::cos(be * d2r), cg = std::cos(ga * d2r), sg = std::sin(ga * d2r);
    const vec av{a, 0, 0}, bv{b * cg, b * sg, 0};
    const double cy = (ca - cb * cg) / sg;
    const vec cv{c * cb, c * cy, c * std::sqrt(1 - cb * cb - cy * cy)};
    const double v = dot(av, cross(bv, cv));
    as = (1 / v) * cross(bv, cv);
    bs = (1 / v) * cross(cv, av);
    cs = (1 / v) * cross(av, bv);
    amax = std::max({a, b, c});
    H1 = at(h1, k1, l1);
    // Reference direction: perpendicular to h1, from the covariant components.
    const double g1 = dot(as, H1), g2 = dot(bs, H1), g3 = dot(cs, H1);
    vec r;
    if (std::fabs(g1) > 1e-5)
      r = {-g2 / g1, 1, 0};
    else if (std::fabs(g2) > 1e-5)
      r = {1, -g1 / g2, 0};
    else
      r = {1, 0, -g1 / g3};
    const vec R = r[0] * as + (r[1] * bs + r[2] * cs);
    e3 = (1 / std::sqrt(dot(H1, H1))) * H1;
    e1 = (1 / std::sqrt(dot(R, R))) * R;
  }

  vec at(int h, int k, int l) const { return double(h) * as + (double(k) * bs + double(l) * cs); }

  // |k0 + h2(psi)|^2 - |k0|^2 with the crystal turned by psi (degrees).
  double f(const vec& h2, const vec& k0, double psi) const {
    const double p = psi * std::acos(-1.0) / 180.0;
    const vec turned = std::cos(p) * h2 + (std::sin(p) * cross(e3, h2) + ((1 - std::cos(p)) * dot(e3, h2)) * e3);
    const vec s = k0 + turned;
    return dot(s, s) - dot(k0, k0);
  }

  std::vector<check_event> events(double lam) const {
    const double h1len = std::sqrt(dot(H1, H1));
    const double rho = std::sqrt(1 / (lam * lam) - h1len * h1len / 4);
    // k0 points from the sphere centre to the origin; the centre lies on the
    // side of the reference direction at psi = 0.
    const vec k0 = -1.0 * (rho * e1 + (h1len / 2) * e3);
    const int n = static_cast<int>(2 * amax / lam) + 1;
    const int steps = 720;
    const double dpsi = 360.0 / steps;
    std::vector<check_event> out;
    std::vector<double> fs(steps);
    for (int h = -n; h <= n; ++h)
      for (int k = -n; k <= n; ++k)
        for (int l = -n; l <= n; ++l) {
          const vec h2 = at(h, k, l);
          if (dot(h2, h2) > 4 / (lam * lam) * (1 + 1e-9)) continue;  // never reaches the sphere
          // A point on the axis does not move; h1 itself stays on the sphere.
          const double along = dot(h2, e3);
          if (dot(h2, h2) - along * along < 1e-9) continue;
          auto fn = [&](double psi) { return f(h2, k0, psi); };
          for (int i = 0; i < steps; ++i) fs[i] = fn(-180 + i * dpsi);
          auto root = [&](double lo, double hi) {
            const bool up = fn(lo) < 0;
            for (int it = 0; it < 60; ++it) {
              const double mid = 0.5 * (lo + hi);
              ((fn(mid) < 0) == up ? lo : hi) = mid;
            }
            const double psi = 0.5 * (lo + hi);
            double x = std::remainder(psi, 360.0);
            if (x >= 180) x -= 360;
            out.push_back({h, k, l, up ? 1 : 2, x});
          };
          for (int i = 0; i < steps; ++i) {
            const double lo = -180 + i * dpsi, hi = lo + dpsi;
            const double flo = fs[i], fhi = fs[(i + 1) % steps];
            if ((flo < 0) != (fhi < 0)) root(lo, hi);
            // A pair of events closer than one step: refine the extremum.
            const double fprev = fs[(i + steps - 1) % steps];
            const bool is_min = flo <= fprev && flo <= fhi && flo >= 0;
            const bool is_max = flo >= fprev && flo >= fhi && flo < 0;
            if (is_min || is_max) {
              double a = lo - dpsi, b = hi;
              for (int it = 0; it < 100; ++it) {
                const double m1 = a + (b - a) / 3, m2 = b - (b - a) / 3;
                if ((fn(m1) < fn(m2)) == is_min) b = m2; else a = m1;
              }
              const double ext = 0.5 * (a + b);
              if ((fn(ext) < 0) == is_min) {
                root(lo - dpsi, ext);
                root(ext, hi);
              }
            }
          }
        }
    return out;
  }
};

double angle_diff(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

using event_key = std::tuple<int, int, int, int>;
std::map<event_key, double> by_key(const std::vector<check_event>& ev) {
  std::map<event_key, double> m;
  for (const auto& e : ev) m[{e.h, e.k, e.l, e.side}] = e.psi;
  return m;
}

// Cu K-alpha lines of the tube table.
constexpr double cu1 = 1.540598, cu2 = 1.544426;

// ---------------------------------------------------------------------------
// Jobs.

std::string si_job(const std::string& radiation, const std::string& scan_line, const std::string& primary = "2 2 2") {
  return "Silicon test job\n"
         "si.ps\n"
         "5.43102 5.43102 5.43102 90. 90. 90.\n" +
         radiation + "\n" +
         "0.05 0.05 150. 10. 0.005\n" + scan_line + "\n" +
         "227 1 1\n"
         "Siv     0.0000    0.00001\n"
         "1 0.0416667 0.125 0.125 0.125 0.00587 0.00587 0.00587 0. 0. 0.\n" +
         primary + " 0. 0. -5. 5.\n";
}

// A small triclinic P1 cell with one carbon atom: no reflection is extinct,
// so every event carries intensity and is stored.
const std::string p1_job =
    "Triclinic P1 test job\n"
    "p1.ps\n"
    "3.3 3.7 4.1 77. 98. 109.\n"
    "Cu\n"
    "0.05 0.05 150. 10. 0.005\n"
    "-180. 180. 2. 0 1e-30 0.\n"
    "1 1 1\n"
    "C       0.0000    0.00000\n"
    "1 1.0 0. 0. 0. 0.005 0.005 0.005 0. 0. 0.\n"
    "1 1 0 0. 0. -5. 5.\n";

// A job read and set up in-process, ready for the calculation routines.
struct prepared {
  std::ostringstream out;
  std::istringstream in;
  std::unique_ptr<intensity_data> d = std::make_unique<intensity_data>();
  std::unique_ptr<calc_state> cs = std::make_unique<calc_state>();
  std::string listing() const { return out.str(); }
};

std::unique_ptr<prepared> prepare(const std::string& job_text) {
  auto p = std::make_unique<prepared>();
  intensity_data& d = *p->d;
  p->in.str(job_text);
  d.out = &p->out;
  d.job.attach(&p->in);
  d.clock = fixed_clock;
  chuk1(d);
  zeit(d);
  std::string plotfile(72, ' '), scanfile(72, ' ');
  const bool ok = read_title_and_plotfile(d, plotfile) && read_crystal_and_beam(d) && allocate_atoms(d) &&
                  read_symmetry(d) && read_species(d) && read_atoms(d) && read_primary(d) &&
                  read_orientation(d, scanfile);
  EXPECT_TRUE(ok) << p->listing();
  d.nstep = static_cast<int32>(std::round((d.psie - d.psia) * d.zsw));
  EXPECT_TRUE(allocate_profiles(d));
  EXPECT_TRUE(crystal_setup(d)) << p->listing();
  p->out.str("");
  return p;
}

// One wavelength pass run by hand after run_passes has fixed the reference
// direction, so that the event table of either pass can be read.
bool search_pass(intensity_data& d, calc_state& cs, int pass) {
  cs.pass = pass;
  cs.lam_cur = pass == 1 ? d.lambda : d.lambda2;
  cs.dl_cur = pass == 1 ? d.dl1 : d.dl2;
  cs.rel_cur = pass == 1 ? d.rel1 : d.rel2;
  return primary_pass(d, cs) && search_events(d, cs);
}

// Event rows of the listing, one vector per pass, and the event counts.
struct listed_event {
  int h, k, l, side;
  double ikorva, iaufhe, psi;
};
struct listed_pass {
  std::vector<listed_event> rows;
  int n_events = -1, n_prager = -1;
};

std::vector<listed_pass> parse_passes(const std::string& listing) {
  std::vector<listed_pass> passes;
  std::istringstream s(listing);
  std::string line;
  while (std::getline(s, line)) {
    if (line.find("*** Multiple diffraction events ***") != std::string::npos) passes.emplace_back();
    if (passes.empty()) continue;
    if (line.size() == 140 && (line.substr(104, 5) == "  i-o" || line.substr(104, 5) == "  o-i")) {
      passes.back().rows.push_back({std::stoi(line.substr(0, 4)), std::stoi(line.substr(4, 4)),
                                    std::stoi(line.substr(8, 4)), line.substr(106, 3) == "i-o" ? 1 : 2,
                                    std::stod(line.substr(68, 12)), std::stod(line.substr(80, 12)),
                                    std::stod(line.substr(117, 9))});
    }
    const int count = line.find(':') == std::string::npos ? 0 : std::atoi(line.substr(line.rfind(':') + 1).c_str());
    if (line.starts_with(" Number of events in a 360 degree scan")) passes.back().n_events = count;
    if (line.starts_with(" Number of operative reflections (Prager formula)")) passes.back().n_prager = count;
  }
  return passes;
}

int count_lines(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// ---------------------------------------------------------------------------

TEST(Events, SiliconListingMatchesTheEwaldConstruction) {
  const auto r = run_job(si_job("Cu", "-180. 180. 10. 0 1e-6 0."), scratch_dir("ev_si"));
  ASSERT_EQ(r.status, 0) << r.listing;
  const auto passes = parse_passes(r.listing);
  ASSERT_EQ(passes.size(), 2u);
  const ewald_check chk(5.43102, 5.43102, 5.43102, 90, 90, 90, 2, 2, 2);
  const double lam[2] = {cu1, cu2};
  double worst = 0;
  for (int p = 0; p < 2; ++p) {
    const auto ev = chk.events(lam[p]);
    const auto ref = by_key(ev);
    EXPECT_EQ(passes[p].n_events, static_cast<int>(ev.size())) << "pass " << p + 1;
    ASSERT_GT(passes[p].rows.size(), 100u);
    bool in_line_seen = false;
    for (const auto& row : passes[p].rows) {
      const auto it = ref.find({row.h, row.k, row.l, row.side});
      ASSERT_NE(it, ref.end()) << row.h << " " << row.k << " " << row.l;
      EXPECT_LT(angle_diff(row.psi, it->second), 0.01) << row.h << " " << row.k << " " << row.l << " side " << row.side;
      worst = std::max(worst, angle_diff(row.psi, it->second));
      // (-1 3 1) and (3 -1 1) lie in the plane of h1 and the reference direction.
      if ((row.h == -1 && row.k == 3 && row.l == 1) || (row.h == 3 && row.k == -1 && row.l == 1)) in_line_seen = true;
    }
    EXPECT_TRUE(in_line_seen);
  }
  std::printf("largest listed psi difference: %.5f deg\n", worst);
}

TEST(Events, EveryEventPsiIsRightToAThousandthDegree) {
  struct job_case {
    std::string name, text;
    double cell[6];
    int h1[3];
    bool all_stored;  // no extinct reflection: every event is in the table
  };
  const job_case cases[] = {
      {"silicon", si_job("Cu", "-180. 180. 2. 0 1e-30 0."), {5.43102, 5.43102, 5.43102, 90, 90, 90}, {2, 2, 2}, false},
      {"triclinic", p1_job, {3.3, 3.7, 4.1, 77, 98, 109}, {1, 1, 0}, true},
  };
  for (const auto& c : cases) {
    auto p = prepare(c.text);
    intensity_data& d = *p->d;
    calc_state& cs = *p->cs;
    ASSERT_TRUE(run_passes(d, cs)) << c.name;
    const ewald_check chk(c.cell[0], c.cell[1], c.cell[2], c.cell[3], c.cell[4], c.cell[5], c.h1[0], c.h1[1],
                          c.h1[2]);
    double worst = 0;
    int in_line = 0;
    for (int pass = 1; pass <= 2; ++pass) {
      ASSERT_TRUE(search_pass(d, cs, pass)) << c.name;
      const auto ev = chk.events(pass == 1 ? cu1 : cu2);
      const auto ref = by_key(ev);
      EXPECT_EQ(2 * cs.n_events, static_cast<int>(ev.size())) << c.name << " pass " << pass;
      if (c.all_stored) {
        EXPECT_EQ(cs.n_stored, static_cast<int>(ev.size())) << c.name << " pass " << pass;
      }
      ASSERT_GT(cs.n_stored, 100) << c.name;
      for (int i = 0; i < cs.n_stored; ++i) {
        const event_record& e = cs.ev_tab[i];
        const event_key key{int(e.h2), int(e.k2), int(e.l2), int(e.side)};
        const auto it = ref.find(key);
        ASSERT_NE(it, ref.end()) << c.name << " " << e.h2 << " " << e.k2 << " " << e.l2;
        const double diff = angle_diff(e.psi, it->second);
        EXPECT_LT(diff, 0.001) << c.name << " pass " << pass << ": " << e.h2 << " " << e.k2 << " " << e.l2
                               << " side " << e.side << " psi " << e.psi << " expected " << it->second;
        worst = std::max(worst, diff);
        EXPECT_GE(e.psi, -180.0f);
        EXPECT_LE(e.psi, 180.0f);
        if (std::fabs(std::sin(e.ev_azim)) < 1e-6 && pass == 1) ++in_line;
      }
    }
    std::printf("%s: largest psi difference %.6f deg, %d events in line with the reference\n", c.name.c_str(), worst,
                in_line);
    if (c.name == "silicon") {
      EXPECT_GE(in_line, 4);
    }
  }
}

TEST(Events, SiliconPhysics) {
  auto p = prepare(si_job("Cu", "-180. 180. 10. 0 1e-6 0."));
  intensity_data& d = *p->d;
  calc_state& cs = *p->cs;
  ASSERT_TRUE(run_passes(d, cs));
  const auto passes = parse_passes(p->listing());
  ASSERT_EQ(passes.size(), 2u);

  // The threefold axis along [1 1 1]: turning the crystal by 120 degrees
  // maps (h k l) onto (l h k), so each event recurs 120 degrees earlier.
  for (const auto& pass : passes) {
    for (const auto& a : pass.rows) {
      const auto b = std::find_if(pass.rows.begin(), pass.rows.end(), [&](const listed_event& e) {
        return e.h == a.l && e.k == a.h && e.l == a.k && e.side == a.side;
      });
      ASSERT_NE(b, pass.rows.end());
      EXPECT_LT(angle_diff(b->psi, a.psi - 120), 0.0021) << a.h << " " << a.k << " " << a.l;
    }
  }

  // The number of events is of the order of the Prager estimate.
  for (const auto& pass : passes) {
    ASSERT_GT(pass.n_prager, 1000);
    EXPECT_GT(pass.n_events, 0.8 * pass.n_prager);
    EXPECT_LT(pass.n_events, 1.25 * pass.n_prager);
  }

  // Silicon 2 2 2 is forbidden: no primary intensity, so the events only
  // raise the profile and nothing is taken away.
  EXPECT_LT(d.fprim, 0.001f);
  EXPECT_EQ(d.iprim_calc, 0.0f);
  EXPECT_EQ(count_lines(p->listing(), " calculated intensity of the primary reflection:        0.00\n"), 2);
  for (const auto& pass : passes)
    for (const auto& e : pass.rows) {
      EXPECT_GT(e.ikorva, 0.0);
      EXPECT_EQ(e.iaufhe, 0.0);
    }
  EXPECT_GE(*std::min_element(d.aint.begin(), d.aint.end()), 0.0f);
  EXPECT_GT(*std::max_element(d.aint.begin(), d.aint.end()), 0.0f);

  // Points on the rotation axis, (1 1 1) and its multiples, give no event,
  // although (1 1 1) would couple through the allowed (1 1 1).
  for (int pass = 1; pass <= 2; ++pass) {
    ASSERT_TRUE(search_pass(d, cs, pass));
    for (int i = 0; i < cs.n_stored; ++i) {
      const event_record& e = cs.ev_tab[i];
      EXPECT_FALSE(e.h2 == e.k2 && e.k2 == e.l2) << e.h2;
      EXPECT_NE(e.f3, 0.0f);
    }
  }
}

TEST(Events, ExtinctReflectionsAndDegenerateWidths) {
  auto p = prepare(si_job("Cu", "-180. 180. 10. 0 1e-6 0.", "1 1 1"));
  intensity_data& d = *p->d;
  calc_state& cs = *p->cs;
  cs.lam_cur = d.lambda, cs.dl_cur = d.dl1, cs.rel_cur = d.rel1;
  ASSERT_TRUE(primary_pass(d, cs));
  ASSERT_GT(d.fprim, 1.0f);

  // A point inside the slab between the origin and h1, with its half-angle.
  event_geometry g;
  g.h2_perp = 0.30f, g.z_off = 0.05f;
  const float s2 = cs.inv_lam2 - g.z_off * g.z_off;
  g.cos_beta = (cs.rho_c * cs.rho_c + g.h2_perp * g.h2_perp - s2) / (2 * cs.rho_c * g.h2_perp);
  g.beta = std::acos(g.cos_beta), g.BETA = g.beta * 57.29578f;
  g.th2 = 0.4f, g.th3 = 0.5f, g.ph2 = 0.3f, g.ph3 = -0.2f;
  g.psi_io = 10, g.psi_oi = -20;
  struct f_case {
    float f2, f3;
    bool U, S;
  };
  const f_case cases[] = {{30, 30, true, true}, {0, 30, false, true}, {30, 0, false, true}, {0, 0, false, false}};
  for (const auto& c : cases) {
    g.f2 = c.f2, g.f3 = c.f3;
    event_intensity e;
    event_power(d, cs, g, e);
    EXPECT_EQ(e.U > 0, c.U) << c.f2 << " " << c.f3;
    EXPECT_EQ(e.S > 0, c.S) << c.f2 << " " << c.f3;
    EXPECT_GT(e.fwhm, 0.0f);
    EXPECT_GT(e.L2, 0.0f);
  }

  // A point far above the sphere's reach: every limit angle is 0, the width
  // sweeps no reciprocal length, and the event carries nothing.
  for (const float hw : {0.05f, 0.0f}) {
    d.mosaic = hw, d.div_norm = hw;
    ASSERT_TRUE(primary_pass(d, cs));
    g.z_off = 10.0f, g.cos_beta = 1.0f, g.beta = 0.0f, g.BETA = 0.0f;
    g.f2 = 30, g.f3 = 30;
    event_intensity e;
    event_power(d, cs, g, e);
    EXPECT_EQ(e.L2, 0.0f);
    EXPECT_EQ(e.Ipk, 0.0f);
    EXPECT_TRUE(std::isfinite(e.U) && std::isfinite(e.S) && std::isfinite(e.fwhm));
    // Even with every event above the threshold it adds nothing.
    d.ithresh = -1.0f, d.zsw_in = 1.0f;
    const int32 strong = d.n_strong;
    add_to_profile(d, cs, g, e);
    EXPECT_EQ(d.n_strong, strong);
    EXPECT_TRUE(std::all_of(d.aint.begin(), d.aint.end(), [](float v) { return v == 0.0f; }));
  }
}

TEST(Events, NoStoredEventsWithoutPositiveDrumin) {
  for (const char* drumin : {"0.", "-1."}) {
    auto p = prepare(si_job("Cu", std::string("-180. 180. 10. 0 ") + drumin + " 0."));
    ASSERT_TRUE(run_passes(*p->d, *p->cs));
    EXPECT_EQ(p->d->n_plot, 0);
    EXPECT_EQ(p->cs->n_stored, 0);
    const std::string lis = p->listing();
    // Header and primary block, then directly the counts.
    EXPECT_EQ(count_lines(lis, "  BETA\n\n\n\n Number of events in a 360 degree scan"), 2) << lis;
  }
}

TEST(Events, EventsNearTheScanRangeAreKeptForThePlotOnly) {
  auto p = prepare(si_job("Cu", "-20. 20. 10. 0 1e-6 0."));
  intensity_data& d = *p->d;
  ASSERT_TRUE(run_passes(d, *p->cs));
  // Stored events of silicon 2 2 2 are those with all-odd h2 (the only
  // ones whose coupling reflection is allowed too).
  const ewald_check chk(5.43102, 5.43102, 5.43102, 90, 90, 90, 2, 2, 2);
  int near = 0, inside = 0, near_all = 0;
  for (const auto& e : chk.events(cu1)) {
    if (e.psi > -25 && e.psi < 25) ++near_all;
    if (!(e.h % 2 && e.k % 2 && e.l % 2)) continue;
    if (e.psi > -25 && e.psi < 25) ++near;
    if (e.psi >= -20 && e.psi <= 20) ++inside;
  }
  const auto passes = parse_passes(p->listing());
  EXPECT_EQ(d.n_plot, near);
  EXPECT_GT(near, inside);
  EXPECT_EQ(static_cast<int>(passes[0].rows.size()), inside);
  for (const auto& r : passes[0].rows) EXPECT_TRUE(r.psi >= -20 && r.psi <= 20);
  // n_range counts every event near the scan, extinct or not.
  EXPECT_EQ(d.n_range, near_all);
  EXPECT_GT(near_all, near);
}

TEST(Events, SortKeepsEqualPsiInStoringOrder) {
  auto p = prepare(si_job("Cu", "-10. 10. 10. 0 1. 0."));
  intensity_data& d = *p->d;
  calc_state& cs = *p->cs;
  cs.lam_cur = d.lambda, cs.dl_cur = d.dl1, cs.rel_cur = d.rel1;
  ASSERT_TRUE(primary_pass(d, cs));
  const float psi[] = {5, 1, 5, 1, 12, -3};
  cs.n_stored = 6;
  for (int i = 0; i < 6; ++i) {
    cs.ev_tab[i] = {};
    cs.ev_tab[i].h2 = float(i + 1), cs.ev_tab[i].f2 = 1, cs.ev_tab[i].f3 = 1, cs.ev_tab[i].abs23 = 1;
    cs.ev_tab[i].fwhm = 0.1f, cs.ev_tab[i].side = 1, cs.ev_tab[i].psi = psi[i];
    cs.ev_tab[i].ev_azim = float(i + 1);
  }
  list_pass(d, cs);
  const int order[] = {6, 2, 4, 1, 3, 5};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(cs.ev_tab[i].h2, float(order[i]));
    EXPECT_EQ(d.events[i].ev_azim, float(order[i]));
  }
  const auto rows = parse_passes(p->listing())[0].rows;
  ASSERT_EQ(rows.size(), 5u);  // psi = 12 lies outside the scan
  for (int i = 0; i < 5; ++i) EXPECT_EQ(rows[i].h, order[i]);
}

TEST(Events, FlatProfileWithoutEventContributions) {
  auto p = prepare(si_job("Cu", "-180. 180. -10. 0 1e-6 0.", "1 1 1"));
  intensity_data& d = *p->d;
  calc_state& cs = *p->cs;
  ASSERT_TRUE(run_passes(d, cs));
  EXPECT_GT(cs.n_stored, 0);  // events are found and listed all the same
  profile_statistics(d, cs);
  const auto cal = scratch_dir("ev_flat") / "flat.cal";
  std::filesystem::create_directories(cal.parent_path());
  list_summary(d, cs, cal.string());
  EXPECT_EQ(d.nstep, 3600);
  EXPECT_GT(d.iprim_calc, 0.0f);
  EXPECT_TRUE(std::all_of(d.aint.begin(), d.aint.end(), [&](float v) { return v == d.iprim_calc; }));
  EXPECT_EQ(d.calc_max, d.iprim_calc);
  EXPECT_EQ(d.calc_min, d.iprim_calc);
  EXPECT_EQ(cs.calc_max_psi, 180.0f);
  EXPECT_EQ(cs.calc_min_psi, 180.0f);
  EXPECT_EQ(d.n_strong, 0);
  const std::string lis = p->listing();
  EXPECT_EQ(lis.find("Maximum calculated intensity"), std::string::npos);
  EXPECT_NE(lis.find("\n\n\n The number of multiple diffraction events with intensities > 0.01 times drumin is zero!\n"
                     " No graphical output is produced.\n Please decrease drumin on the seventh input line\n"),
            std::string::npos);
  const std::string file = read_file(cal);
  EXPECT_EQ(count_lines(file, "\n"), 3601);
  char first[64];
  std::snprintf(first, sizeof first, "  -180.000%20.4f\n", double(d.iprim_calc));
  EXPECT_TRUE(file.starts_with(first)) << file.substr(0, 40);
}

TEST(Events, ProfileStatisticsAndProfileFile) {
  auto p = prepare(si_job("Cu", "-1. 1. 2. 0 100. 0."));
  intensity_data& d = *p->d;
  calc_state& cs = *p->cs;
  ASSERT_EQ(d.nstep, 4);
  // Every point below zero: the maximum stays 0 at the start of the scan.
  d.aint = {-3, -1, -2, -1, -5};
  d.iprim_calc = 0;
  profile_statistics(d, cs);
  EXPECT_EQ(d.calc_max, 0.0f);
  EXPECT_EQ(cs.calc_max_psi, -1.0f);
  EXPECT_EQ(d.calc_min, 0.0f);
  EXPECT_EQ(cs.calc_min_psi, 1.0f);

  // Negative points are written, and kept, as 0; measured points get a column.
  d.aint = {-3, 2.5f, -0.25f, 4, 1};
  d.aintm[1] = 7;
  const auto cal = scratch_dir("ev_stat") / "x.cal";
  std::filesystem::create_directories(cal.parent_path());
  list_summary(d, cs, cal.string());
  EXPECT_EQ(read_file(cal),
            "    -1.000              0.0000\n"
            "    -0.500              2.5000              7.0000\n"
            "     0.000              0.0000\n"
            "     0.500              4.0000\n"
            "     1.000              1.0000\n");
  EXPECT_EQ(d.aint[0], 0.0f);
  EXPECT_EQ(d.aint[2], 0.0f);

  // A profile file that cannot be created: one line, and the job goes on.
  p->out.str("");
  list_summary(d, cs, "/no/such/folder/x.cal");
  const std::string lis = p->listing();
  EXPECT_EQ(count_lines(lis, " The profile file cannot be created: /no/such/folder/x.cal\n"), 1) << lis;
  EXPECT_NE(lis.find("No graphical output is produced."), std::string::npos);
}

TEST(Events, TooManyStoredEventsEndTheJob) {
  const auto dir = scratch_dir("ev_many");
  std::filesystem::remove_all(dir);
  const auto r = run_job(si_job("Mo", "-180. 180. 10. 0 1e-6 0."), dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.listing.ends_with(
      "\n the number of output lines is to large\n please increase drumin on the seventh input line\n"))
      << r.listing.substr(r.listing.size() - 300);
  EXPECT_EQ(r.listing.find("*** Multiple diffraction events ***"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "si.cal"));
}

}  // namespace
