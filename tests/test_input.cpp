// Job-file reader: radiation choices, psi range, symmetry lines, chemical
// types, atoms, the optional tail, read errors, stops on unusable values,
// and that no input can crash or hang it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "job_runner.h"

using namespace korva;
using namespace korva::testing;

namespace {

const std::string title = "reader test";

// Title echo of the listing: two empty lines, the title, one empty line.
std::string title_echo() { return "\n\n " + pad(title, 80) + "\n\n"; }

enum line_no { l_title, l_plot, l_cell, l_rad, l_beam, l_scan, l_counts, l_species, l_atom, l_primary };

// A small silicon job with Cu tube radiation; tests replace single lines.
std::vector<std::string> si_job() {
  return {title,
          "t.ps",
          "5.43102 5.43102 5.43102 90. 90. 90.",
          "Cu",
          "0.05 0.05 150. 10. 0.005",
          "-180. 180. 10. 0 100. 0.",
          "227 1 1",
          "Siv     0.0000    0.00001",
          "1 0.0416667 0.125 0.125 0.125 0.00587 0.00587 0.00587 0. 0. 0.",
          "2 2 2 0. 0. -5. 5."};
}

std::string join(const std::vector<std::string>& lines, std::size_t n = std::string::npos) {
  std::string s;
  for (std::size_t i = 0; i < lines.size() && i < n; ++i) s += lines[i] + "\n";
  return s;
}

std::string with(std::vector<std::pair<int, std::string>> changes) {
  auto l = si_job();
  for (auto& [i, s] : changes) l[i] = s;
  return join(l);
}

// The silicon job with symmetry lines instead of the group number.
std::string with_symmetry(const std::string& sym, std::vector<std::pair<int, std::string>> changes = {}) {
  auto l = si_job();
  l[l_counts] = "231 1 1";
  for (auto& [i, s] : changes) l[i] = s;
  l.insert(l.begin() + l_counts + 1, sym);
  return join(l);
}

// Chemical-type line by columns: symbol 1-4, f' 5-14, f'' 15-24, flag 25.
std::string species(const std::string& sym, const std::string& f1, const std::string& f2, const std::string& flag) {
  return pad(sym, 4) + pad(f1, 10) + pad(f2, 10) + flag;
}

// State after the reader steps of the run sequence, without setup or
// calculation.
struct read_result {
  std::unique_ptr<intensity_data> d = std::make_unique<intensity_data>();
  std::string listing;
  std::string scanfile = std::string(72, ' ');
  bool ok = false;
};

read_result read_job(const std::string& text, const std::string& dir) {
  const auto path = scratch_dir("input_" + dir);
  std::filesystem::create_directories(path);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(path);
  read_result r;
  intensity_data& d = *r.d;
  std::istringstream in(text);
  std::ostringstream out;
  d.out = &out;
  d.job.attach(&in);
  std::string plotfile(72, ' ');
  r.ok = read_title_and_plotfile(d, plotfile) && open_plotfile(d, plotfile) && read_crystal_and_beam(d) &&
         allocate_atoms(d) && read_symmetry(d) && read_species(d) && read_atoms(d) && read_primary(d) &&
         read_orientation(d, r.scanfile);
  if (d.plot) std::fclose(d.plot);
  d.plot = nullptr;
  d.job.attach(nullptr);
  d.out = nullptr;
  r.listing = out.str();
  std::filesystem::current_path(cwd);
  return r;
}

std::string line_ends(const std::string& text, const std::string& end) {
  std::string s;
  for (char c : text) s += c == '\n' ? end : std::string(1, c);
  return s;
}

job_result run(const std::string& text, const std::string& dir) { return run_job(text, scratch_dir("input_" + dir)); }

}  // namespace

// ---- radiation line -------------------------------------------------------

TEST(Input, RadiationLineChoosesTheRadiationAndItsValues) {
  struct row {
    const char* line;
    int irad;
    const char* anode;
    float lambda, dl1, rel1, lambda2, dl2, rel2, cad4, cos2tm, i0, pol;
  };
  const row rows[] = {
      {"Cu", 0, "Cu", 1.540598f, 0.000306f, 1, 1.544426f, 0.000413f, 0.5f, 12.179f, 0.89423f, 2.0e9f, 0},
      {"Mo", 0, "Mo", 0.7093f, 0.00041f, 1, 0.71359f, 0.00045f, 0.5f, 16.68f, 0.97749f, 2.0e9f, 0},
      {"Ag  the rest 1 2 3 is ignored", 0, "Ag", 0.55942f, 0.00048f, 1, 0.563811f, 0.00052f, 0.5f, 13.95f, 0.986f,
       2.0e9f, 0},
      {"3  1.2 0.01", 3, "dl", 1.2f, 0.01f, 1, 0, 0, 0, 1, 1, 1.0e12f, 1},
      {"1.5406 0.0003 1 1.5444 0.0004 0.5", 0, "dl", 1.5406f, 0.0003f, 1, 1.5444f, 0.0004f, 0.5f, 1, 1, 2.0e9f, 0},
      // the longer wavelength first: the lines are exchanged
      {"1.5444,0.0004,0.5,1.5406,0.0003,1", 0, "dl", 1.5406f, 0.0003f, 1, 1.5444f, 0.0004f, 0.5f, 1, 1, 2.0e9f, 0},
      // a blank before the 1: a user pair of lines, not the monochromator
      {" 1 1.275 5.43102 1 1 1 45.7", 0, "dl", 1, 1.275f, 5.43102f, 1, 1, 1, 1, 1, 2.0e9f, 0},
  };
  for (const row& w : rows) {
    const auto r = read_job(with({{l_rad, w.line}}), "radiation");
    ASSERT_TRUE(r.ok) << w.line << "\n" << r.listing;
    const intensity_data& d = *r.d;
    SCOPED_TRACE(w.line);
    EXPECT_EQ(d.irad, w.irad);
    EXPECT_EQ(d.anode, w.anode);
    EXPECT_EQ(d.lambda, w.lambda);
    EXPECT_EQ(d.dl1, w.dl1);
    EXPECT_EQ(d.rel1, w.rel1);
    EXPECT_EQ(d.lambda2, w.lambda2);
    EXPECT_EQ(d.dl2, w.dl2);
    EXPECT_EQ(d.rel2, w.rel2);
    EXPECT_EQ(d.cad4_factor, w.cad4);
    EXPECT_EQ(d.cos2tm, w.cos2tm);
    EXPECT_EQ(d.i0, w.i0);
    EXPECT_EQ(d.pol, w.pol);
  }
}

TEST(Input, MonochromatorLineGivesBraggAngleDarwinWidthAndLineWidth) {
  struct row {
    const char* line;
    int irad;
    float lambda, i0, pol;
  };
  const row rows[] = {
      {"1  1.275 5.43102 1 1 1 45.7", 1, 1.275f, 1.1e10f, 1},  // exactly 1.275: the brighter beam
      {"2  1.275 5.43102 1 1 1 45.7", 2, 1.275f, 1.1e10f, -1},
      {"1  1.2751 5.43102 1 1 1 45.7", 1, 1.2751f, 1.0e10f, 1},
  };
  for (const row& w : rows) {
    const auto r = read_job(with({{l_rad, w.line}, {l_scan, "0. 360. 10. 0 100. 0."}}), "mono");
    ASSERT_TRUE(r.ok) << w.line << "\n" << r.listing;
    const intensity_data& d = *r.d;
    SCOPED_TRACE(w.line);
    EXPECT_EQ(d.irad, w.irad);
    EXPECT_EQ(d.anode, "dl");
    EXPECT_EQ(d.lambda, w.lambda);
    EXPECT_EQ(d.i0, w.i0);
    EXPECT_EQ(d.pol, w.pol);
    EXPECT_EQ(d.mono_a, 5.43102f);
    EXPECT_EQ(d.mono_h + d.mono_k + d.mono_l, 3);
    EXPECT_EQ(d.mono_f, 45.7f);
    EXPECT_EQ(d.rel1, 1);
    EXPECT_EQ(d.lambda2 + d.dl2 + d.rel2, 0);
    EXPECT_EQ(d.cad4_factor, 1);
    EXPECT_EQ(d.cos2tm, 1);
    const double theta_m = std::asin(w.lambda * std::sqrt(3.0) / 5.43102 * 0.5);
    const double darwin_w = 2 * 2.817938 * 1000 * 45.7 / (5.43102 * 3 * 1.0e8);
    const double div = 0.05 * 0.017453299 / std::tan(theta_m);  // div_par of line 5
    EXPECT_NEAR(d.theta_m, theta_m, 1e-6 * theta_m);
    EXPECT_NEAR(d.darwin_w, darwin_w, 1e-6 * darwin_w);
    EXPECT_NEAR(d.dl1, std::sqrt(div * div + darwin_w * darwin_w), 1e-5 * d.dl1);
  }
}

// ---- psi range ------------------------------------------------------------

TEST(Input, PsiRangeDependsOnTheRadiation) {
  const std::string narrow = "\n Psi-range is out of -180. to 180.\n";
  const std::string wide =
      "\n Psi-range is out of 0. to 360.\n\n                        or\n\n                  -180. to 180.\n";
  const std::string mono = "1  1.275 5.43102 1 1 1 45.7";
  struct row {
    std::string rad, scan, message;  // empty message: accepted
  };
  const row rows[] = {
      {"Cu", "-190. 180. 10. 0 100. 0.", narrow},
      {"Cu", "-180. 190. 10. 0 100. 0.", narrow},
      {"Cu", "-180. 180. 10. 0 100. 0.", ""},
      {mono, "10. 350. 10. 0 100. 0.", ""},
      {mono, "-180. 180. 10. 0 100. 0.", ""},
      {mono, "-10. 350. 10. 0 100. 0.", wide},
      {mono, "-190. 0. 10. 0 100. 0.", wide},
      {"3  1.2 0.01", "0. 360. 10. 0 100. 0.", ""},
      {"3  1.2 0.01", "0. 361. 10. 0 100. 0.", wide},
  };
  // The range is checked before line 7 is read.
  auto l = si_job();
  l[l_scan] = "-190. 180. 10. 0 100. 0.";
  const auto cut = run(join(l, l_counts), "psi");  // the file ends before line 7
  EXPECT_TRUE(cut.listing.ends_with(title_echo() + narrow)) << cut.listing;
  for (const row& w : rows) {
    const auto r = run(with({{l_rad, w.rad}, {l_scan, w.scan}}), "psi");
    SCOPED_TRACE(w.rad + " | " + w.scan);
    if (w.message.empty()) {
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.listing.find("Psi-range"), std::string::npos);
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_TRUE(r.listing.ends_with(title_echo() + w.message)) << r.listing;
    }
  }
}

// ---- symmetry lines -------------------------------------------------------

TEST(Input, MoreThan24SymmetryLinesAreRefusedBeforeAnyIsRead) {
  std::string ops;
  for (int i = 0; i < 25; ++i) ops += "\n0 1 0 0 0 0 1 0 0 0 0 1";
  for (const std::string& sym : {std::string("1 25"), "2 25" + ops}) {
    const auto r = run(with_symmetry(sym), "ns25");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.listing.ends_with(title_echo() + " The number of symmetry lines is to large\n ( ns <= 24)\n"))
        << r.listing;
  }
}

TEST(Input, SymmetryLinesInAnyLayoutAreStoredAndEchoed) {
  // x,y,z and the screw -x,y+1/2,-z, with an inversion centre (centro 1)
  const char* layouts[] = {
      "1 2\n0 1 0 0 0 0 1 0 0 0 0 1\n0 -1 0 0 0.5 0 1 0 0 0 0 -1",
      "1 2 0 1 0 0 0 0 1 0 0 0 0 1 0 -1 0 0 0.5 0 1 0 0 0 0 -1 99 99",  // leftover values ignored
      "1\n2, 0 1 0\n0,0,0,1,0 0 0 0 1\n0 -1\n0 0 .5 0 1 0 0 0 0 -1",
      "1 2 0 1 4*0 1 4*0 1 0 -1 2*0 0.5 0 1 4*0 -1",
  };
  const std::string echo =
      "   2 symmetry lines:\n"
      "    0.000  1.  0.  0.    0.000  0.  1.  0.    0.000  0.  0.  1.\n"
      "    0.000 -1.  0.  0.    0.500  0.  1.  0.    0.000  0.  0. -1.\n";
  for (const char* sym : layouts) {
    const auto r = read_job(with_symmetry(sym), "symlines");
    SCOPED_TRACE(sym);
    ASSERT_TRUE(r.ok) << r.listing;
    const intensity_data& d = *r.d;
    EXPECT_EQ(r.listing, title_echo() + echo);
    EXPECT_EQ(d.centro, 1);
    EXPECT_EQ(d.ns, 2);
    EXPECT_EQ(d.sg_name, pad("P", 30));
    EXPECT_EQ(d.ncent, 1);
    const float t[2][3] = {{0, 0, 0}, {0, 0.5f, 0}};
    const float rot[2][3][3] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}};
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(d.sym_t[i][j], t[i][j]);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(d.sym_r[i][j][k], rot[i][j][k]);
      }
    EXPECT_EQ(d.atn[0], "Siv ");  // the chemical-type line is read on its own line
  }
}

// ---- chemical-type lines --------------------------------------------------

TEST(Input, ChemicalTypeColumnsAndTheLastFlag) {
  const std::string pair = "1.5406 0.0003 1 1.5444 0.0004 0.5";  // keeps f' and f'' of the job file
  const std::string neutron = "3  1.2 0.01";
  struct row {
    std::string rad;
    std::vector<std::string> lines;  // chemical-type lines
    float fjs0, fj2s0;
    int uflag;
  };
  const row rows[] = {
      {pair, {species("Siv", "      1234", "      5678", "0")}, 0.1234f, 0.5678f, 0},  // implied decimals
      {pair, {species("Siv", " -0.25    ", "  3.5     ", " ")}, -0.25f, 3.5f, 0},
      {pair, {species("Siv", " 1 2 3 4  ", "       0.5", "3")}, 0.1234f, 0.5f, 3},  // blanks ignored
      {pair, {species("Siv", "0.1", "0.2", "1"), species("O", "0.3", "0.4", "0")}, 0.1f, 0.2f, 0},
      {pair, {species("Siv", "0.1", "0.2", "0"), species("O", "0.3", "0.4", "1")}, 0.1f, 0.2f, 1},
      {pair, {species("Siv", "0.1", "0.2", "1"), species("O", "0.3", "0.4", "")}, 0.1f, 0.2f, 0},
      {neutron, {species("Siv", "    4.1491", "junk*junk!", "1")}, 4.1491f, 0, 1},  // 15-24 ignored
  };
  for (const row& w : rows) {
    auto l = si_job();
    l[l_rad] = w.rad;
    l[l_counts] = "227 1 " + std::to_string(w.lines.size());
    l.erase(l.begin() + l_species);
    l.insert(l.begin() + l_species, w.lines.begin(), w.lines.end());
    const auto r = read_job(join(l), "species");
    SCOPED_TRACE(w.lines[0]);
    ASSERT_TRUE(r.ok) << r.listing;
    EXPECT_EQ(r.d->fjs[0], w.fjs0);
    EXPECT_EQ(r.d->fj2s[0], w.fj2s0);
    EXPECT_EQ(r.d->uflag, w.uflag);
  }
  // The same neutron line read as an X-ray line fails on the junk.
  const auto x = run(with({{l_rad, pair}, {l_species, species("Siv", "    4.1491", "junk*junk!", "1")}}), "species_x");
  EXPECT_EQ(x.status, 1);
  EXPECT_TRUE(x.listing.ends_with("\n\n\nread-error in the chemical symbol lines of the input-file\n"));
  // Flags 1 then 0: the whole job takes beta-ij.
  auto l = si_job();
  l[l_counts] = "227 1 2";
  l.insert(l.begin() + l_species + 1, species("O", "0.0", "0.0", "0"));
  const auto b = run(join(l), "species_beta");
  EXPECT_EQ(b.status, 0);
  EXPECT_NE(b.listing.find(" Atomic position and temperature parameters (beta-ij are input by the user):"),
            std::string::npos);
}

// ---- atom lines and cell counts -------------------------------------------

TEST(Input, TypeNumberWithAFractionCountsForNoType) {
  auto l = si_job();
  l[l_counts] = "1 2 2";
  l.insert(l.begin() + l_species + 1, species("O", "0.0", "0.0", "0"));
  l[l_atom + 1] = "1 1. 0. 0. 0. 0.001 0.001 0.001 0. 0. 0.";
  l.insert(l.begin() + l_atom + 2, "2.5 1. 0.5 0.5 0.5 0.001 0.001 0.001 0. 0. 0.");
  const auto r = read_job(join(l), "type25");
  ASSERT_TRUE(r.ok) << r.listing;
  EXPECT_EQ(r.d->anz[0], 1.0f);
  EXPECT_EQ(r.d->anz[1], 0.0f);
  EXPECT_EQ(r.d->fnr[1], 2.5f);
  // The atom table takes type 2 for it; the type table counts no O atom.
  const auto j = run(join(l), "type25");
  EXPECT_EQ(j.status, 0);
  EXPECT_NE(j.listing.find("\n O   :  0 atoms with atomic number  8\n"), std::string::npos) << j.listing;
  EXPECT_NE(j.listing.find("\n O    1.000000    0.500000  0.500000  0.500000\n"), std::string::npos);
}

TEST(Input, CellCountsFollowOperatorsCentringAndInversion) {
  struct row {
    std::string sym;  // group number, or symmetry lines after "231"
    const char* afact;
    float anz;
    int ncent;
  };
  const row rows[] = {
      {"107", "1", 16, 2},          // I4mm: 8 operators, no inversion
      {"227", "0.0416667", 8, 4},   // Fd-3m: 24 operators, inversion
      {"1", "1", 1, 1},
      {"2", "0.5", 1, 1},           // P-1: one operator and its inverse
      {"1 2\n0 1 0 0 0 0 1 0 0 0 0 1\n0 -1 0 0 0.5 0 1 0 0 0 0 -1", "1", 4, 1},
      {"2 2\n0 1 0 0 0 0 1 0 0 0 0 1\n0.5 1 0 0 0.5 0 1 0 0.5 0 0 1", "1", 2, 1},  // centring as an operator
  };
  for (const row& w : rows) {
    const std::string atom = std::string("1 ") + w.afact + " 0.1 0.2 0.3 0.001 0.001 0.001 0. 0. 0.";
    const std::string text = w.sym.find(' ') == std::string::npos
                                 ? with({{l_counts, w.sym + " 1 1"}, {l_atom, atom}})
                                 : with_symmetry(w.sym, {{l_atom, atom}});
    const auto r = read_job(text, "anz");
    SCOPED_TRACE(w.sym);
    ASSERT_TRUE(r.ok) << r.listing;
    EXPECT_NEAR(r.d->anz[0], w.anz, 2e-5);
    EXPECT_EQ(r.d->ncent, w.ncent);
    EXPECT_EQ(r.d->n_atoms, w.ncent);  // the centring copies are appended
  }
}

// ---- primary reflection, UB matrix and scan file --------------------------

TEST(Input, JobMayEndAfterThePrimaryReflection) {
  const std::string text = with({{l_primary, "2 2 2 0. 30. -5. 5."}});
  const auto r = read_job(text, "noub");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.d->phprim, 30.0f);
  EXPECT_EQ(r.d->phprim_rad, 30.0f * 0.017453299f);
  EXPECT_EQ(r.d->ub_read, 0);
  EXPECT_EQ(r.d->has_scan, 0);
  EXPECT_EQ(r.scanfile, std::string(72, ' '));
  EXPECT_EQ(r.d->h1 + r.d->k1 + r.d->l1, 6);
  EXPECT_EQ(r.d->psi_int_a, -5.0f);
  EXPECT_EQ(r.d->psi_int_b, 5.0f);
  const auto j = run(text, "noub");
  EXPECT_EQ(j.status, 0);
  EXPECT_EQ(j.listing.find("UB-matrix"), std::string::npos);
  EXPECT_EQ(j.calfile, "t.cal");
  // A matrix cut short by the end of the file is no matrix.
  const auto c = read_job(text + "0.1 0 0\n0 0.2 0\n", "ubshort");
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.d->ub_read, 0);
  EXPECT_EQ(c.listing.find("UB-matrix"), std::string::npos);
}

TEST(Input, OrientationMatrixIsEchoedWithReciprocalConstants) {
  // Columns (0.1,0,0), (0.1,0.1,0), (0,0,0.2): gamma* = 45 degrees.
  const std::string ub = "0.1 0.1 0.\n0. 0.1 0.\n0. 0. 0.2\n";
  const std::string echo =
      "\n UB-matrix:\n"
      "    0.100000    0.100000    0.000000\n"
      "    0.000000    0.100000    0.000000\n"
      "    0.000000    0.000000    0.200000\n"
      "\n Reciprocal lattice constants calculated from the UB-matrix\n"
      "    0.1000    0.1414    0.2000       90.00     90.00     45.00\n";
  struct row {
    std::string tail;
    int has_scan;
    std::string scanfile;
  };
  const row rows[] = {
      {ub + "\n", 0, ""},
      {ub, 0, ""},
      {ub + "   \n", 0, ""},
      {ub + "scan.dat\n", 1, "scan.dat"},
      {"0.1 0.1 0. 0. 0.1 0. 0. 0. 0.2\n  m1\n", 1, "  m1"},
  };
  for (const row& w : rows) {
    const auto r = read_job(join(si_job()) + w.tail, "ub");
    SCOPED_TRACE(w.tail);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.d->ub_read, 1);
    EXPECT_EQ(r.d->has_scan, w.has_scan);
    EXPECT_EQ(r.scanfile, pad(w.scanfile, 72));
    EXPECT_EQ(r.d->ub[0][1], 0.1f);  // row i of the file is row i of the matrix
    EXPECT_EQ(r.d->ub[1][0], 0.0f);
    EXPECT_TRUE(r.listing.ends_with(echo)) << r.listing;
  }
  // A zero column leaves two angles undefined.
  const auto z = read_job(join(si_job()) + "0.1 0. 0.\n0. 0.1 0.\n0. 0. 0.\n", "ub_zero");
  ASSERT_TRUE(z.ok);
  EXPECT_TRUE(z.listing.ends_with("\n    0.1000    0.1000    0.0000         NaN       NaN     90.00\n")) << z.listing;
  const auto j = run(join(si_job()) + ub + "\n", "ub_run");
  EXPECT_EQ(j.status, 0);
  EXPECT_EQ(j.calfile, "t.cal");
}

// ---- read errors -----------------------------------------------------------

TEST(Input, EveryReadErrorNamesItsLine) {
  const auto base = si_job();
  // symmetry lines that end with the file
  auto sym_cut = [](const std::string& sym) {
    const std::string t = with_symmetry(sym);
    return t.substr(0, t.find("Siv"));
  };
  struct row {
    std::string text;
    const char* line;  // the name in "read-error in the ... of the input-file"
  };
  const row rows[] = {
      {"", "first line"},
      {join(base, 1), "second line"},
      {join(base, 2), "third line"},
      {join(base, 3), "fourth line"},
      {join(base, 4), "fifth line"},
      {join(base, 5), "sixth line"},
      {join(base, 6), "seventh line"},
      {join(base, 7), "chemical symbol lines"},
      {join(base, 8), "atom parameter lines"},
      {join(base, 9), "primary reflection line"},
      {sym_cut("1 2"), "symmetry information lines"},
      {sym_cut("1 2\n0 1 0 0 0 0 1 0 0 0 0 1\n0 -1 0 0 0.5 0 1 0"), "symmetry information lines"},
      // junk on a line
      {with({{l_cell, "5.43102 5.43102 abc 90. 90. 90."}}), "third line"},
      {with({{l_cell, "5.43102 5.43102 5.43102"}}), "third line"},  // takes "Cu" as alpha
      {with({{l_cell, "NaN 5.43102 5.43102 90. 90. 90."}}), "third line"},
      {with({{l_rad, "cu"}}), "fourth line"},
      {with({{l_rad, ""}}), "fourth line"},
      {with({{l_rad, " 1 1.275 5.43102 1 1"}}), "fourth line"},
      {with({{l_rad, "1  1.275"}}), "fourth line"},
      {with({{l_rad, "1  1.275 5.43102 1.5 1 1 45.7"}}), "fourth line"},
      {with({{l_rad, "3 "}}), "fourth line"},
      {with({{l_beam, "0.05 0.05 Inf 10. 0.005"}}), "fifth line"},
      {with({{l_scan, "-180. 180. 10. 0.5 100. 0."}}), "sixth line"},
      {with({{l_scan, "-180. 180. 1e39 0 100. 0."}}), "sixth line"},
      {with({{l_counts, "227 1.0 1"}}), "seventh line"},
      {with({{l_counts, "227 99999999999 1"}}), "seventh line"},
      {with_symmetry("1 1 0 1 0 0 0 0 1 0 0 0 0 q"), "symmetry information lines"},
      {with({{l_species, "Siv     0.0000       abc1"}}), "chemical symbol lines"},
      {with({{l_species, "Siv     0.0000    0.0000x"}}), "chemical symbol lines"},
      {with({{l_atom, "1 0.0416667 0.125 0.125 zz 0.00587 0.00587 0.00587 0. 0. 0."}}), "atom parameter lines"},
      {with({{l_atom, "1 0.0416667 0.125"}}), "atom parameter lines"},  // takes the primary line, then ends
      {with({{l_primary, "2 2 2.0 0. 0. -5. 5."}}), "primary reflection line"},
      {join(base) + "0.1 0. 0.\n0. 0.1 0.\n0. 0. x\n", "ub-matrix lines"},
      {join(base) + "scan.dat\n", "ub-matrix lines"},
  };
  for (const row& w : rows) {
    const auto r = run(w.text, "readerr");
    SCOPED_TRACE(w.text);
    EXPECT_EQ(r.status, 1);
    const std::string msg = std::string("\n\n\nread-error in the ") + w.line + " of the input-file\n";
    EXPECT_TRUE(r.listing.ends_with(msg)) << r.listing;
  }
}

// ---- stops on values the job cannot use -----------------------------------

TEST(Input, UnusableValuesStopWithAMessage) {
  const std::string op = "\n0 1 0 0 0 0 1 0 0 0 0 1";
  const std::string atom = " 1 0.125 0.125 0.125 0.00587 0.00587 0.00587 0. 0. 0.";
  const std::string atoms_alloc =
      "\n\n\n Dynamical array allocation failed\n Number of atoms is to large\n Please contact the author of KORVA-xx!\n";
  struct row {
    std::string text, tail;
  };
  const row rows[] = {
      {with({{l_counts, "0 1 1"}}), "\n\n The space-group number must be at least 1\n"},
      {with({{l_counts, "-3 1 1"}}), "\n\n The space-group number must be at least 1\n"},
      {with_symmetry("3 1" + op), "\n\n The symmetry information must give centro = 1 or 2\n"},
      {with_symmetry("0 1" + op), "\n\n The symmetry information must give centro = 1 or 2\n"},
      {with_symmetry("1 0"), "\n\n The number of symmetry lines must be at least 1\n"},
      {with_symmetry("1 -2"), "\n\n The number of symmetry lines must be at least 1\n"},
      {with({{l_counts, "227 0 1"}}), "\n\n The numbers of atoms and of chemical types must be at least 1\n"},
      {with({{l_counts, "227 -1 1"}}), "\n\n The numbers of atoms and of chemical types must be at least 1\n"},
      {with({{l_counts, "227 1 0"}}), "\n\n The numbers of atoms and of chemical types must be at least 1\n"},
      {with({{l_atom, "0" + atom}}), "\n\n The chemical type number of atom    1 is outside 1 to    1\n"},
      {with({{l_atom, "2" + atom}}), "\n\n The chemical type number of atom    1 is outside 1 to    1\n"},
      {with({{l_atom, "0.5" + atom}}), "\n\n The chemical type number of atom    1 is outside 1 to    1\n"},
      {with({{l_atom, "-1" + atom}}), "\n\n The chemical type number of atom    1 is outside 1 to    1\n"},
      {with({{l_scan, "10. 5. 10. 0 100. 0."}}), "\n\n Psi-range is empty: psie is smaller than psia\n"},
      {with({{l_scan, "-10. 10. 0. 0 100. 0."}}), "\n\n The number of steps per degree must not be 0\n"},
      {with({{l_rad, "1  1.275 1.0 1 1 1 45.7"}}),
       "\n\n The monochromator reflection cannot diffract this wavelength\n"},
      {with({{l_rad, "1  1.275 5.43102 0 0 0 45.7"}}),
       "\n\n The monochromator reflection cannot diffract this wavelength\n"},
      {with({{l_rad, "1.5406 0.0003 1 0. 0. 0."}}), "\n\n The wavelength must be above 0\n"},  // 0 comes first
      {with({{l_rad, "0 0 0 0 0 0"}}), "\n\n The wavelength must be above 0\n"},
      {with({{l_rad, "3  -1.2 0.01"}}), "\n\n The wavelength must be above 0\n"},
      {with({{l_rad, "3 /"}}), "\n\n The wavelength must be above 0\n"},
      {with({{l_rad, "1  -1.275 -5.43102 1 1 1 45.7"}}), "\n\n The wavelength must be above 0\n"},
      // 65536^2 must not wrap around to 0
      {with({{l_rad, "1  1.275 5.43102 65536 1 1 45.7"}}),
       "\n\n The monochromator reflection cannot diffract this wavelength\n"},
      {with({{l_counts, "227 2000000000 1"}}), atoms_alloc},
      {with({{l_counts, "227 1 2000000000"}}), atoms_alloc},
      {with({{l_scan, "-180. 180. 1.0e6 0 100. 0."}}),
       "\n\n\n Dynamical array allocation failed\n Number of steps = (psie - psia)*zsw is to large\n"
       " Please reduce the number of steps in your input file!\n"},
      {with({{l_scan, "-180. 180. -1.0e37 0 100. 0."}}),
       "\n\n\n Dynamical array allocation failed\n Number of steps = (psie - psia)*zsw is to large\n"
       " Please reduce the number of steps in your input file!\n"},
  };
  for (const row& w : rows) {
    const auto r = run(w.text, "stops");
    SCOPED_TRACE(w.text);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.listing.ends_with(w.tail)) << r.listing;
  }
}

// ---- robustness ------------------------------------------------------------

TEST(Input, NoInputCrashesOrHangsTheJob) {
  const std::string full = join(si_job()) + "0.1 0.1 0.\n0. 0.1 0.\n0. 0. 0.2\n\n";
  std::vector<std::string> texts;
  // the job cut at every byte
  for (std::size_t n = 0; n <= full.size(); ++n) texts.push_back(full.substr(0, n));
  const std::string megabyte(1 << 20, 'x');
  std::string many_numbers;
  for (int i = 0; i < 30000; ++i) many_numbers += "5.43102 ";
  std::string all_bytes;
  for (int c = 0; c < 256; ++c) all_bytes += static_cast<char>(c);
  const std::string extra[] = {
      megabyte + "\n" + join(si_job()).substr(title.size() + 1),   // very long title
      with({{l_plot, megabyte}}),                                  // very long plot-file name
      with({{l_cell, many_numbers}}),                              // very long numeric line
      with({{l_cell, std::string(1 << 20, '7')}}),                 // one huge integer
      with({{l_cell, std::string(200000, ',')}}),                  // only nulls
      with({{l_cell, "2000000000*5.43102"}}),                      // huge repeat count
      with({{l_cell, "6*"}}),                                      // six nulls: no cell
      with({{l_rad, std::string(1 << 20, ' ') + "1"}}),
      with({{l_species, std::string(1 << 20, 'S')}}),
      std::string(100000, '\n'),
      all_bytes + "\n" + all_bytes + "\n" + all_bytes,
      with({{l_rad, std::string("C\0u", 3)}}),
      with({{l_title, std::string("\0\0\xff\xfe", 4)}}),
      with({{l_cell, all_bytes}}),
      with({{l_atom, all_bytes}}),
      line_ends(join(si_job()), "\r\n"),                        // DOS line ends
      line_ends(join(si_job()), "\r"),                          // no line end at all
      // huge and non-finite numbers
      with({{l_cell, "3.4e38 3.4e38 3.4e38 90. 90. 90."}}),
      with({{l_cell, "1e-38 1e-38 1e-38 90. 90. 90."}}),
      with({{l_cell, "5.43102 5.43102 5.43102 0. 0. 0."}}),
      with({{l_cell, "5.43102 5.43102 5.43102 180. 180. 180."}}),
      with({{l_cell, "-5.43102 5.43102 5.43102 90. 90. 90."}}),
      with({{l_cell, "nan inf -inf NaN Infinity -Infinity"}}),
      with({{l_rad, "1e38 1e38 1e38 1e38 1e38 1e38"}}),
      with({{l_rad, "0 0 0 0 0 0"}}),
      with({{l_rad, "-1 0 1 -2 0 1"}}),
      with({{l_rad, "nan 0.0003 1 1.5444 0.0004 0.5"}}),
      with({{l_rad, "1  1.275 5.43102 2147483647 2147483647 2147483647 45.7"}}),
      with({{l_rad, "1  1.275 5.43102 -2147483648 1 1 45.7"}}),
      with({{l_rad, "1  1.275 1e38 1 1 1 1e38"}}),
      with({{l_rad, "1 /"}}),
      with({{l_rad, "3 /"}}),
      with({{l_rad, "3  1e38 1e38"}}),
      with({{l_rad, "3  -1.2 -0.01"}}),
      with({{l_beam, "1e38 1e38 1e38 1e38 1e38"}}),
      with({{l_beam, "-1 -1 -150 -10 -1"}}),
      with({{l_beam, "0 0 0 0 0"}}),
      with({{l_scan, "-180. 180. 0. 0 100. 0."}}),
      with({{l_scan, "-180. 180. -10. 2147483647 1e38 1e38"}}),
      with({{l_scan, "-180. 180. 10. -2147483648 -1e38 -1e38"}}),
      with({{l_scan, "-1e38 1e38 10. 0 100. 0."}}),
      with({{l_scan, "0. 0. 10. 0 100. 0."}}),
      with({{l_scan, "-180. 180. 1e-38 0 100. 0."}}),
      with({{l_counts, "2147483647 1 1"}}),
      with({{l_counts, "227 2147483647 2147483647"}}),
      with({{l_counts, "227 1 -2147483648"}}),
      with_symmetry("1 24 288*0"),
      with_symmetry("2 24 288*1e38"),
      with_symmetry("1 2147483647"),
      with_symmetry("-2147483648 1 12*0"),
      with({{l_species, "XXXX    0.0000    0.00001"}}),
      with({{l_species, "Siv 1e38      1e38      1"}}),
      with({{l_species, "Siv -1e38     -1e38     9"}}),
      with({{l_atom, "1 1e38 1e38 -1e38 1e38 1e38 1e38 1e38 1e38 1e38 1e38"}}),
      with({{l_atom, "1 0.0416667 0.125 0.125 0.125 -1 -1 -1 0. 0. 0."}}),
      with({{l_atom, "1.9999999 -1 0 0 0 0 0 0 0 0 0"}}),
      with({{l_primary, "2147483647 2147483647 2147483647 0. 0. -5. 5."}}),
      with({{l_primary, "-2147483648 0 0 0. 0. -5. 5."}}),
      with({{l_primary, "0 0 0 0. 0. -5. 5."}}),
      with({{l_primary, "1 1 1 1e38 1e38 1e38 -1e38"}}),
      with({{l_primary, "2 2 2 0. 0. -5. 5."}}) + "0 0 0\n0 0 0\n0 0 0\n\n",
      with({{l_primary, "2 2 2 0. 0. -5. 5."}}) + "1e38 1e38 1e38\n1e38 1e38 1e38\n1e38 1e38 1e38\n\n",
      with({{l_primary, "2 2 2 0. 0. -5. 5."}}) + "1e-38 0 0\n0 1e-38 0\n0 0 1e-38\n\n",
      join(si_job()) + "0.1 0 0 0 0.1 0 0 0 0.1\n" + megabyte + "\n",
      join(si_job()) + "0.1 0 0 0 0.1 0 0 0 0.1\n/no/such/dir/scan.dat\n",
  };
  texts.insert(texts.end(), std::begin(extra), std::end(extra));
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const auto r = run(texts[i], "robust");
    SCOPED_TRACE(i);
    EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status;
    EXPECT_NE(r.listing.find("KORVA-99, Version 01.2"), std::string::npos);
    EXPECT_NE(r.listing.find("Time: 10 .  0 .  0"), std::string::npos);
  }
}
