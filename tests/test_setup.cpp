// Crystal setup and the setup report: metrics, displacement parameters, the
// primary reflection, form-factor tables, F000, atom table, density and
// absorption, and the orderly stops of the setup.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "driver/job.h"
#include "driver/setup.h"
#include "job_runner.h"

using namespace korva;
using namespace korva::testing;

namespace {

const std::filesystem::path source_dir = KORVA_SOURCE_DIR;

// A job file assembled from its lines; the defaults are silicon 2 2 2 with Cu.
struct job {
  std::string cell = "5.43102 5.43102 5.43102 90. 90. 90.";
  std::string radiation = "Cu";
  std::string beam = "0.05 0.05 150. 10. 0.005";
  std::string group = "227";
  std::vector<std::string> species = {"Siv     0.0000    0.00001"};
  std::vector<std::string> atoms = {"1 0.0416667 0.125 0.125 0.125 0.00587 0.00587 0.00587 0. 0. 0."};
  std::string primary = "2 2 2 0. 0. -5. 5.";

  std::string text() const {
    std::ostringstream s;
    s << "setup test\nsetup.ps\n" << cell << '\n' << radiation << '\n' << beam << '\n'
      << "-180. 180. 10. 0 100. 0.\n"
      << group << ' ' << atoms.size() << ' ' << species.size() << '\n';
    for (const auto& l : species) s << l << '\n';
    for (const auto& l : atoms) s << l << '\n';
    s << primary << '\n';
    return s.str();
  }
};

// Chemical-type line: symbol in columns 1-4, two F10.4 fields, flag in 25.
std::string species_line(const char* sym, float f1, float f2, int flag) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%-4s%10.4f%10.4f%d", sym, f1, f2, flag);
  return buf;
}

// The job read as the run sequence reads it, then the crystal setup alone.
struct setup_run {
  std::unique_ptr<intensity_data> d = std::make_unique<intensity_data>();
  std::string listing;
  bool ok = false;
};

setup_run set_up(const job& j) {
  const auto dir = scratch_dir("setup");
  std::filesystem::create_directories(dir);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  setup_run r;
  intensity_data& d = *r.d;
  std::istringstream in(j.text());
  std::ostringstream out;
  d.out = &out;
  d.job.attach(&in);
  std::string scanfile(72, ' '), plotfile(72, ' ');
  const bool read = read_title_and_plotfile(d, plotfile) && open_plotfile(d, plotfile) &&
                    read_crystal_and_beam(d) && allocate_atoms(d) && read_symmetry(d) && read_species(d) &&
                    read_atoms(d) && read_primary(d) && read_orientation(d, scanfile);
  EXPECT_TRUE(read) << out.str();
  r.ok = read && crystal_setup(d);
  if (d.plot) std::fclose(d.plot);
  d.plot = nullptr;
  d.out = &std::cout;
  r.listing = out.str();
  std::filesystem::current_path(cwd);
  return r;
}

// The number printed after a label on the listing (NaN when absent).
float value_after(const std::string& listing, const std::string& label) {
  const auto p = listing.find(label);
  if (p == std::string::npos) return std::nanf("");
  return std::stof(listing.substr(p + label.size()));
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

const std::string mu_label = " Linear absorption coefficient (I.T., 1962, III, 157ff):";
const std::string mu_disp_label = " Linear absorption coefficient (dispersion correction) :";

// Mass absorption from the table row: C l^3 - D l^4 + sigma Z / A, with the
// Klein-Nishina scattering per electron times Avogadro's number; mu for n
// atoms in the cell volume v (A^3), in cm^-1.
double hand_mu(double l, double c, double dd, int z, double a, double n, double v) {
  const double k = 0.024262113 / l, L = std::log(1 + 2 * k);
  const double sigma = 0.30044827 * (L / (2 * k) - (1 + 3 * k) / ((1 + 2 * k) * (1 + 2 * k)) +
                                     ((1 + k) / (k * k)) * (2 * (1 + k) / (1 + 2 * k) - L / k));
  return 10 * a * (c * l * l * l - dd * l * l * l * l + sigma * z / a) * n * 0.16604207 / v;
}

}  // namespace

// The listing from the banner to the end of the setup report, exactly.
TEST(SetupReport, GoldenListings) {
  for (const char* name : {"si222_cu", "si_neutron"}) {
    const std::string text = read_file(source_dir / "examples" / (std::string(name) + ".job"));
    ASSERT_FALSE(text.empty()) << name;
    const auto r = run_job(text, scratch_dir(std::string("golden_") + name));
    EXPECT_EQ(r.status, 0) << name;
    const auto end = r.listing.find("\n Scale factor estimated from the incident intensity I0:");
    ASSERT_NE(end, std::string::npos) << r.listing;
    const std::string actual = r.listing.substr(0, end + 1);
    const std::string expected = read_file(source_dir / "tests" / "golden" / (std::string(name) + ".setup.lis"));
    EXPECT_EQ(actual, expected) << name;
    if (actual != expected) std::ofstream(std::string(name) + ".setup.actual", std::ios::binary) << actual;
  }
}

// Silicon with Cu K-alpha: density from A = 28.0855 and the Z = 14 row
// (C = 18.7, D = 1.06, edge 6.7423) for 8 atoms in a = 5.43102.
TEST(SetupReport, SiliconDensityAndTabulatedAbsorption) {
  const auto r = set_up(job{});
  ASSERT_TRUE(r.ok) << r.listing;
  const double v = std::pow(5.43102, 3);
  const double mu = hand_mu(1.540598, 18.7, 1.06, 14, 28.0855, 8, v);  // 145.786
  EXPECT_NEAR(value_after(r.listing, " Density                                               :"), 2.329, 1e-6);
  EXPECT_NEAR(value_after(r.listing, mu_label), mu, 0.002);
  EXPECT_GT(mu, 140);
  EXPECT_LT(mu, 155);
  // Every f'' is non-zero: mu from the dispersion terms, 2 r_e lambda 8 f'' / V.
  const double relv = 2.817938e3 * 1.540598 / v;
  EXPECT_NEAR(r.d->relv, relv, 1e-4 * relv);
  EXPECT_NEAR(r.d->mu, 2 * relv * 8 * 0.3302, 0.01);
  EXPECT_NEAR(value_after(r.listing, mu_disp_label), r.d->mu, 0.001);
  EXPECT_NEAR(r.d->mur, 0.015f * r.d->mu, 1e-4);
}

TEST(CrystalSetup, EwaldSphereCheckWithCopper) {
  // lambda / (2 d) = 1.0004 for d = 0.77, 0.9876 for d = 0.78.
  for (const char* a : {"0.77", "0.78"}) {
    job j;
    j.cell = std::string(a) + " " + a + " " + a + " 90. 90. 90.";
    j.group = "1";
    j.atoms = {"1 1. 0. 0. 0. 0.001 0.001 0.001 0. 0. 0."};
    j.primary = "1 0 0 1. 0. -5. 5.";
    const auto r = run_job(j.text(), scratch_dir("ewald"));
    if (std::string(a) == "0.77") {
      EXPECT_EQ(r.status, 1);
      // Three empty lines after the operator list, and nothing after the message.
      EXPECT_TRUE(r.listing.ends_with("       +z\n\n\n\n The wavelength is to large\n"
                                      " the primary reflection is outside of the Ewald-sphere !!\n"))
          << r.listing;
    } else {
      EXPECT_EQ(r.status, 0) << r.listing;
      EXPECT_EQ(r.listing.find("Ewald"), std::string::npos);
      EXPECT_NE(r.listing.find(" Lattice constants input by the user:"), std::string::npos);
    }
  }
}

TEST(CrystalSetup, PrimaryStructureFactorGivenOrCalculated) {
  const std::string warning =
      "\n\n"
      "****************************************************************************\n"
      "****************************************************************************\n"
      "**                                                                        **\n"
      "**    The structure factor of the primary reflection is larger than 2!    **\n"
      "**    This part of KORVA-xx is in work!                                   **\n"
      "**    Only provisional results are obtained!                              **\n"
      "**    Calculation without interference term, (nnn = 0) is recommended!    **\n"
      "**                                                                        **\n"
      "**                                                                        **\n"
      "****************************************************************************\n"
      "****************************************************************************\n"
      "\n\n";
  const std::string provisional = "       P r o v i s i o n a l    output  of  KORVA-xx  for  F-prim > 2  !!!      ";
  ASSERT_EQ(provisional.size(), 80u);
  struct row {
    const char* primary;
    float fprim, tol;  // tol < 0: fprim must be below 0.001
    float phase;
    bool warned;
  };
  // Si 1 1 1 by hand: s = 0.159459, f = f0 + f' + i f'' = 10.417 + 0.2541 + 0.3302 i,
  // T = exp(-8 pi^2 U s^2); F = -4 sqrt(2) T f: |F| = 60.351, phase 181.75 deg.
  const row rows[] = {
      {"2 2 2 1.5 30. -5. 5.", 1.5f, 0, 30, false},   {"2 2 2 2.5 30. -5. 5.", 2.5f, 0, 30, true},
      {"2 2 2 0.0005 30. -5. 5.", 0.0005f, 0, 0, false}, {"2 2 2 0. 0. -5. 5.", 0, -1, 0, false},
      {"1 1 1 0. 0. -5. 5.", 60.351f, 0.1f, 181.753f, true},
  };
  for (const row& w : rows) {
    job j;
    j.primary = w.primary;
    const auto r = set_up(j);
    ASSERT_TRUE(r.ok) << r.listing;
    const intensity_data& d = *r.d;
    if (w.tol < 0) {
      EXPECT_LT(d.fprim, 0.001f) << w.primary;
    } else {
      EXPECT_NEAR(d.fprim, w.fprim, w.tol) << w.primary;
    }
    EXPECT_NEAR(d.phprim, w.phase, 0.01) << w.primary;
    if (w.phase == 0) {
      EXPECT_EQ(d.phprim_rad, 0.0f) << w.primary;
    }
    if (w.warned) {
      // After the operator list, before the lattice constants.
      EXPECT_NE(r.listing.find("-x    \n" + warning + "\n\n Lattice constants input by the user:"), std::string::npos)
          << r.listing;
      EXPECT_EQ(d.title, provisional);
    } else {
      EXPECT_EQ(r.listing.find("****"), std::string::npos) << w.primary;
      EXPECT_EQ(d.title, pad("setup test", 80));
    }
  }
}

// Relative scale of the scattering: r_e lambda / V for X-rays; a neutron F
// is already a length in fm, so lambda / V alone.
TEST(CrystalSetup, ScaleFactorsForXrayAndNeutrons) {
  const double v = std::pow(5.43102, 3);
  job x;
  job n;
  n.radiation = "3 1.0 0.001";
  const auto rx = set_up(x);
  const auto rn = set_up(n);
  ASSERT_TRUE(rx.ok && rn.ok) << rx.listing << rn.listing;
  EXPECT_NEAR(rx.d->relv, 2.817938e3 * 1.540598 / v, 1e-3);
  EXPECT_NEAR(rn.d->relv, 1e3 * 1.0 / v, 1e-4);
  EXPECT_NEAR(rn.d->cross_sec, 3.14159265 * 0.015 * 0.015, 1e-9);
  EXPECT_NEAR(rn.d->vol_sample, 4.1887903 * 0.015 * 0.015 * 0.015, 1e-10);
  EXPECT_EQ(rn.d->mu, 0.0f);
  EXPECT_EQ(rn.d->mur, 0.0f);
}

TEST(CrystalSetup, DisplacementParametersInBothConventions) {
  // Orthogonal cell 5 x 4 x 2: m = a*^2, b*^2, c*^2, a*b*, a*c*, b*c*.
  const double m[6] = {0.04, 0.0625, 0.25, 0.05, 0.1, 0.125};
  const double given[6] = {0.01, 0.02, 0.03, 0.004, 0.005, 0.006};
  for (int flag : {1, 0}) {
    job j;
    j.cell = "5. 4. 2. 90. 90. 90.";
    j.group = "1";
    j.species = {species_line("Siv", 0, 0, flag)};
    j.atoms = {"1 1. 0. 0. 0. 0.01 0.02 0.03 0.004 0.005 0.006"};
    j.primary = "1 0 0 1. 0. -5. 5.";
    const auto r = set_up(j);
    ASSERT_TRUE(r.ok) << r.listing;
    for (int k = 0; k < 6; ++k) {
      const double beta = flag ? 19.739208 * m[k] * given[k] : given[k];
      const double u = flag ? given[k] : 0.05066059 * given[k] / m[k];
      EXPECT_NEAR(r.d->bt[0][k], beta, 1e-6 * beta) << flag << " " << k;
      EXPECT_NEAR(r.d->u[0][k], u, 1e-6 * u) << flag << " " << k;
    }
    const char* header = flag ? "u-ij are input by the user" : "beta-ij are input by the user";
    EXPECT_NE(r.listing.find("\n\n Atomic position and temperature parameters (" + std::string(header) + "):\n"),
              std::string::npos);
  }
  // Cubic a = 5, U11 = 0.01: beta11 = 2 pi^2 a*^2 U11 = 19.739208 * 0.04 * 0.01.
  job j;
  j.cell = "5. 5. 5. 90. 90. 90.";
  j.group = "1";
  j.species = {species_line("Siv", 0, 0, 1)};
  j.atoms = {"1 1. 0.1 0.2 0.3 0.01 0.01 0.01 0. 0. 0."};
  j.primary = "1 0 0 1. 0. -5. 5.";
  const auto r = set_up(j);
  ASSERT_TRUE(r.ok) << r.listing;
  EXPECT_NEAR(r.d->bt[0][0], 19.739208 * 0.04 * 0.01, 1e-9);
  EXPECT_NE(r.listing.find("\n\n Siv  1.000000    0.100000  0.200000  0.300000\n"
                           " beta:  0.007896  0.007896  0.007896  0.000000  0.000000  0.000000\n"
                           " u   :  0.010000  0.010000  0.010000  0.000000  0.000000  0.000000\n"),
            std::string::npos)
      << r.listing;
}

// Rock salt in F m -3 m with two atoms read: the atom table lists the eight
// atoms of the centred list, in the order of the centring vectors.
TEST(SetupReport, FCentredAtomTable) {
  job j;
  j.cell = "5. 5. 5. 90. 90. 90.";
  j.group = "225";
  j.species = {"Na  ", "Cl  "};
  j.atoms = {"1 0.0208333 0. 0. 0. 0.002 0.002 0.002 0. 0. 0.",
             "2 0.0208333 0.5 0.5 0.5 0.002 0.002 0.002 0. 0. 0."};
  j.primary = "2 0 0 1. 0. -5. 5.";
  const auto r = set_up(j);
  ASSERT_TRUE(r.ok) << r.listing;
  EXPECT_EQ(r.d->n_atoms, 8);
  EXPECT_NEAR(r.d->anz[0], 4.0f, 1e-4);
  struct atom {
    const char* sym;
    const char* xyz;
  };
  const atom atoms[] = {{"Na  ", "  0.000000  0.000000  0.000000"}, {"Cl  ", "  0.500000  0.500000  0.500000"},
                        {"Na  ", "  0.500000  0.500000  0.000000"}, {"Cl  ", "  1.000000  1.000000  0.500000"},
                        {"Na  ", "  0.500000  0.000000  0.500000"}, {"Cl  ", "  1.000000  0.500000  1.000000"},
                        {"Na  ", "  0.000000  0.500000  0.500000"}, {"Cl  ", "  0.500000  1.000000  1.000000"}};
  // u = beta / (2 pi^2 a*^2) = 0.05066059 * 0.002 / 0.04 = 0.002533
  std::string table = "\n\n Atomic position and temperature parameters (beta-ij are input by the user):\n";
  for (const atom& a : atoms)
    table += std::string("\n ") + a.sym + " 0.020833  " + a.xyz +
             "\n beta:  0.002000  0.002000  0.002000  0.000000  0.000000  0.000000"
             "\n u   :  0.002533  0.002533  0.002533  0.000000  0.000000  0.000000\n";
  table += "\n\n Density";
  EXPECT_NE(r.listing.find(table), std::string::npos) << r.listing;
}

// P 1 with 3.5 Fe and 2.5 O per cell: the X-ray table rounds the counts
// (halves away from zero), the neutron line shows them as they are.
TEST(SetupReport, ScatteringFactorsAndF000) {
  job x;
  x.cell = "4. 4. 4. 90. 90. 90.";
  x.radiation = "1.0 0.0003 1. 1.0 0.0003 0.5";
  x.group = "1";
  x.species = {species_line("Fe", -1.0f, 3.0f, 0), species_line("O", 0, 0, 0)};
  x.atoms = {"1 3.5 0. 0. 0. 0.002 0.002 0.002 0. 0. 0.", "2 2.5 0.5 0.5 0.5 0.002 0.002 0.002 0. 0. 0."};
  x.primary = "1 0 0 1. 0. -5. 5.";
  const auto rx = set_up(x);
  ASSERT_TRUE(rx.ok) << rx.listing;
  const std::string& lx = rx.listing;
  EXPECT_NE(lx.find("\n\n Scattering factor tables: Int. Tables for Crystallography, Vol. C, 219 - 222, 500 - 503\n"
                    "\n Fe  :  4 atoms with atomic number 26\n\n f': -1.0000     f'':  3.0000\n\n"
                    " f : (sin(theta)/lambda = 0., 0.1, 0.2, ... 5.9)\n\n"),
            std::string::npos)
      << lx;
  EXPECT_NE(lx.find("\n O   :  3 atoms with atomic number  8\n\n f':  0.0000     f'':  0.0000\n"), std::string::npos);

  // Fe: six lines of ten values for s = 0, 0.1, ..., 5.9.  By hand: the
  // Gaussian fit gives 25.990 at 0, 23.683 at 0.1, 3.190 at 2.0; the
  // high-angle fit 2.913 at 2.1 and 0.834 at 5.9.
  const auto p = lx.find(" f : (sin(theta)/lambda", lx.find(" Fe  :"));
  std::istringstream rows(lx.substr(p));
  std::string line;
  std::getline(rows, line);
  std::getline(rows, line);
  std::vector<std::string> lines;
  for (int i = 0; i < 7; ++i) {
    std::getline(rows, line);
    lines.push_back(line);
  }
  for (int i = 0; i < 6; ++i) EXPECT_EQ(lines[i].size(), 70u) << lines[i];
  EXPECT_EQ(lines[6], "");
  const auto value = [&](int n) { return lines[n / 10].substr(7 * (n % 10), 7); };
  EXPECT_EQ(value(0), " 25.990");
  EXPECT_EQ(value(1), " 23.683");
  EXPECT_EQ(value(20), "  3.190");
  EXPECT_EQ(value(21), "  2.913");
  EXPECT_EQ(value(59), "  0.834");

  // F000 = 3.5 * 25.9904 + 2.5 * 7.9994, without dispersion.
  EXPECT_NE(lx.find("\n\n F000:  110.96\n"), std::string::npos);
  // One f'' is zero: only the tabulated absorption coefficient.
  EXPECT_EQ(count(lx, mu_label), 1u);
  EXPECT_EQ(count(lx, mu_disp_label), 0u);
  EXPECT_EQ(rx.d->f2zero, 1);
  EXPECT_NEAR(value_after(lx, mu_label), rx.d->mu, 0.001);

  job n = x;
  n.radiation = "3 1.0 0.001";
  n.species = {species_line("Fe", 0, 0, 0), species_line("O", 0, 0, 0)};
  const auto rn = set_up(n);
  ASSERT_TRUE(rn.ok) << rn.listing;
  const std::string& ln = rn.listing;
  // F000 = 3.5 * 9.54 + 2.5 * 5.803 = 47.8975.
  EXPECT_NE(ln.find("\n\n Fe  : 3.50 atoms with atomic number 26, coherent scattering length:  9.5400\n"
                    "\n O   : 2.50 atoms with atomic number  8, coherent scattering length:  5.8030\n"
                    "\n F000:   47.90\n"),
            std::string::npos)
      << ln;
  EXPECT_EQ(ln.find("Scattering factor tables"), std::string::npos);
  // Density from 3.5 * 55.845 + 2.5 * 15.9994 in 64 A^3; no absorption line.
  const double rho = 10 * (3.5 * 55.845 + 2.5 * 15.9994) / (6.0225701 * 64);
  EXPECT_NEAR(value_after(ln, "\n\n Density   :"), rho, 0.0006);
  EXPECT_TRUE(ln.ends_with(" g/cm -3\n\n")) << ln;
  EXPECT_EQ(ln.find("absorption"), std::string::npos);
}

// Iron (two atoms in a = 2.8665) with the Fe row of the absorption table:
// (126, 27.2) up to the K edge 1.743 A, (9.95, 0.433) beyond it.
TEST(SetupReport, AbsorptionOfIronPicksTheRangeOfTheWavelength) {
  const double v = std::pow(2.8665, 3);
  struct row {
    const char* radiation;
    std::string species;
    double lambda, c, dd;
    bool dispersion;
  };
  const row rows[] = {
      {"Cu", "Fe  ", 1.540598, 126, 27.2, true},  // 2422.64, mu R > 31.5
      {"Mo", "Fe  ", 0.7093, 126, 27.2, true},    // 301.21
      {"2.0 0.0003 1. 2.0 0.0003 0.5", species_line("Fe", -1.0f, 0, 0), 2.0, 9.95, 0.433, false},  // 573.65
  };
  for (const row& w : rows) {
    job j;
    j.cell = "2.8665 2.8665 2.8665 90. 90. 90.";
    j.radiation = w.radiation;
    j.group = "1";
    j.species = {w.species};
    j.atoms = {"1 1. 0. 0. 0. 0.002 0.002 0.002 0. 0. 0.", "1 1. 0.5 0.5 0.5 0.002 0.002 0.002 0. 0. 0."};
    j.primary = "1 1 0 1. 0. -5. 5.";
    const auto r = set_up(j);
    ASSERT_TRUE(r.ok) << r.listing;
    const std::string& l = r.listing;
    const double mu = hand_mu(w.lambda, w.c, w.dd, 26, 55.847, 2, v);
    EXPECT_NEAR(value_after(l, mu_label), mu, 2e-5 * mu) << w.radiation;
    EXPECT_EQ(count(l, mu_disp_label), w.dispersion ? 1u : 0u) << w.radiation;
    const bool warned = 0.015 * mu > 31.5;
    EXPECT_EQ(l.find("mue*radius") != std::string::npos, warned) << w.radiation;
    if (warned) {
      // The warning follows the tabulated value; the dispersion value, also
      // above the limit here, follows without a second warning.
      char tab[16];
      std::snprintf(tab, sizeof tab, "%10.3f", value_after(l, mu_label));
      EXPECT_NE(l.find(mu_label + tab + " cm -1\n\n\n mue*radius is greater than 31.5,\n"
                       " the absorption factor cannot be calculated\n"
                       " the absorption factor is set to 1.\n\n\n" + mu_disp_label),
                std::string::npos)
          << l;
      EXPECT_EQ(count(l, "mue*radius"), 1u);
    }
    if (w.dispersion) {
      // 2 r_e lambda (2 f'') / V with f''(Cu) = 3.1974, f''(Mo) = 0.8444.
      const double f2 = w.lambda > 1 ? 3.1974 : 0.8444;
      EXPECT_NEAR(r.d->mu, 2 * 2.817938e3 * w.lambda / v * 2 * f2, 1e-4 * r.d->mu);
      EXPECT_TRUE(l.ends_with(" cm -1\n\n\n"));
    } else {
      EXPECT_NEAR(r.d->mu, mu, 2e-5 * mu);
      EXPECT_TRUE(l.ends_with(mu_label + "   573.649 cm -1\n")) << l;
    }
    EXPECT_NEAR(r.d->mur, 0.015 * r.d->mu, 1e-4 * r.d->mur);
  }
}

// Polonium lies beyond the absorption table: a message and mu = 1; its
// density comes from the atomic weight 209.
TEST(SetupReport, AtomicNumberBeyondTheAbsorptionTable) {
  job j;
  j.cell = "3.359 3.359 3.359 90. 90. 90.";
  j.radiation = "1.5 0.0003 1. 1.5 0.0003 0.5";
  j.group = "1";
  j.species = {species_line("Po", -4.0f, 0, 0)};
  j.atoms = {"1 1. 0. 0. 0. 0.002 0.002 0.002 0. 0. 0."};
  j.primary = "1 0 0 1. 0. -5. 5.";
  const auto r = set_up(j);
  ASSERT_TRUE(r.ok) << r.listing;
  EXPECT_NE(r.listing.find("\n The linear absorption coefficient cannot be calculated for the atomic number  84\n"),
            std::string::npos)
      << r.listing;
  EXPECT_EQ(r.d->mu, 1.0f);
  EXPECT_TRUE(r.listing.ends_with(mu_label + "     1.000 cm -1\n")) << r.listing;
  EXPECT_NEAR(value_after(r.listing, " Density                                               :"),
              10 * 209 / (6.0225701 * std::pow(3.359, 3)), 0.0006);  // 9.157
}

// A cell without volume and the reflection 0 0 0 end the job in order.
TEST(CrystalSetup, UnusableCellOrReflectionStops) {
  struct row {
    const char* cell;
    const char* primary;
    const char* message;
  };
  const row rows[] = {
      {"5. 5. 5. 130. 130. 130.", "1 1 1 1. 0. -5. 5.",
       "\n\n\n The lattice constants do not describe a cell: its volume is not above 0\n"},
      {"0. 5. 5. 90. 90. 90.", "1 1 1 1. 0. -5. 5.",
       "\n\n\n The lattice constants do not describe a cell: its volume is not above 0\n"},
      {"5. 5. 5. 90. 90. 90.", "0 0 0 0. 0. -5. 5.",
       "\n\n\n The primary reflection 0 0 0 has no Bragg angle: choose another one\n"},
  };
  for (const row& w : rows) {
    job j;
    j.cell = w.cell;
    j.group = "1";
    j.atoms = {"1 1. 0. 0. 0. 0.002 0.002 0.002 0. 0. 0."};
    j.primary = w.primary;
    const auto r = run_job(j.text(), scratch_dir("stops"));
    EXPECT_EQ(r.status, 1) << w.cell;
    EXPECT_TRUE(r.listing.ends_with(std::string("       +z") + w.message)) << r.listing;
  }
}
