// The psi-scan diagram: key lines of the page drawn from a hand-made job
// state, the psi-lambda curves of single events, the legend, degenerate
// scales, and every example job's page rendered by Ghostscript.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "driver/job_state.h"
#include "job_runner.h"
#include "plot/diagram.h"
#include "plot/ps.h"

using namespace korva;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> v;
  std::istringstream in(text);
  for (std::string s; std::getline(in, s);) v.push_back(s);
  return v;
}

// Index of the first place from 'from' on where seq stands on consecutive lines, or -1.
long find_seq(const std::vector<std::string>& lines, const std::vector<std::string>& seq, std::size_t from = 0) {
  for (std::size_t i = from; i + seq.size() <= lines.size(); ++i)
    if (std::equal(seq.begin(), seq.end(), lines.begin() + static_cast<long>(i))) return static_cast<long>(i);
  return -1;
}

long count_of(const std::vector<std::string>& lines, const std::string& s) {
  return std::count(lines.begin(), lines.end(), s);
}

// Coordinates as the primitives write them (cm times points per cm).
std::string xy(const char* layout, float x, float y) {
  char buf[64];
  std::snprintf(buf, sizeof buf, layout, static_cast<double>(x * pt_per_cm), static_cast<double>(y * pt_per_cm));
  return buf;
}
std::string move8(float x, float y) { return xy("%8.1f%8.1f m", x, y); }
std::string draw8(float x, float y) { return xy("%8.1f%8.1f l st ", x, y); }
std::string move6(float x, float y) { return xy("%6.1f%6.1f m", x, y); }

// A reference mark at height y with its label, as on both sides of the frame.
std::vector<std::string> mark_lines(float y, const std::string& label) {
  return {move8(0.7f, y), draw8(1.0f, y), move8(-0.3f, y), "(" + label + ") s", move8(21.0f, y), draw8(21.3f, y)};
}

// No number line of the page may hold a NaN or an infinity.
void expect_finite(const std::vector<std::string>& lines) {
  for (const std::string& s : lines) {
    if (!s.empty() && s[0] == '(') continue;  // shown text
    std::string low = s;
    for (char& c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(low.find("nan"), std::string::npos) << s;
    EXPECT_EQ(low.find("inf"), std::string::npos) << s;
  }
}

class Diagram : public ::testing::Test {
 protected:
  void SetUp() override {
    d.out = &listing;
    d.clock = korva::testing::fixed_clock;
    d.title = pad("Test page", 80);
    d.anode = "Cu";
    d.h1 = 1, d.k1 = -1, d.l1 = 3;
    d.theta_prim = 14.22f, d.fprim = 12.5f, d.phprim = -90.0f;
    d.lam_lo = 1.539f, d.lam_hi = 1.546f, d.hw1 = 0.0004f, d.hw2 = 0.0004f;
    d.div_par = 0.05f, d.div_norm = 0.05f, d.block_r = 10.0f, d.mosaic = 0.005f;
    d.drumin = 100.0f, d.ithresh = 1.0f;
    d.calc_max = 50.0f, d.calc_min = 10.0f, d.iprim_calc = 20.0f;
    set_scan(-10.0f, 10.0f, 1.0f);  // 20 steps, 1 cm each
    for (std::size_t j = 0; j < d.aint.size(); ++j) d.aint[j] = 10.0f + 2.0f * static_cast<float>(j);
  }
  void set_scan(float psia, float psie, float zsw) {
    d.psia = psia, d.psie = psie, d.zsw = zsw;
    d.nstep = static_cast<int32>(std::lround((psie - psia) * zsw));
    d.aint.assign(static_cast<std::size_t>(d.nstep + 1), 0.0f);
    d.aintm.assign(static_cast<std::size_t>(d.nstep + 1), 1.0e20f);
  }
  std::string pad(std::string s, std::size_t n) {
    s.resize(n, ' ');
    return s;
  }
  // Draws the page and returns its lines.
  std::vector<std::string> draw() {
    d.plot = std::tmpfile();
    EXPECT_NE(d.plot, nullptr);
    uplot(d);
    std::fflush(d.plot);
    std::rewind(d.plot);
    std::string s;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, d.plot)) > 0;) s.append(buf, n);
    std::fclose(d.plot);
    d.plot = nullptr;
    text = s;
    return split_lines(s);
  }
  // An event whose two psi values are azim +- 90 degrees at every wavelength.
  plot_event right_angle_event(float g2 = 0.5f) { return {0.0f, g2, 0.3f, g2, 0.4f, 0.0f}; }

  intensity_data d;
  std::ostringstream listing;
  std::string text;
};

TEST_F(Diagram, PageWithoutScanHasHeaderAndFourteenCentimetreBand) {
  auto L = draw();
  ASSERT_GE(L.size(), 10u);
  EXPECT_EQ(L[5], " 0 0 0 setrgbcolor");
  EXPECT_EQ(L[7], move8(1.0f, 20.5f));
  EXPECT_EQ(L[8], "(" + pad("Test page", 80) + ") s");
  EXPECT_EQ(L.back(), "showpage");
  // Date and time from the job's clock, header texts and numbers.
  EXPECT_GE(find_seq(L, {move8(22, 20), "(Date:) s", move8(23.5f, 20), "(04 . 04 . 01) s", move8(22, 19.4f),
                         "(Time:) s", move8(23.5f, 19.4f), "(10 . 00 . 00) s"}),
            0);
  EXPECT_GE(find_seq(L, {"(hkl-prim:) s", move6(25.2f, 18.5f), "( 1) s", move6(26.2f, 18.5f), "(-1) s",
                         move6(27.2f, 18.5f), "( 3) s"}),
            0);
  EXPECT_GE(find_seq(L, {move8(22, 17.5f), "(l:) s", move8(22, 16.8f), "(q-) s", move8(22, 15.6f), "(j-) s"}), 0);
  EXPECT_GE(find_seq(L, {move8(23, 17.5f), "(Cu) s", move8(22.5f, 16.8f), "(prim:) s", move6(24, 16.8f),
                         "(14.22) s", move8(22, 16.2f), "(F-prim:) s", move6(24, 16.2f), "(  12.50) s"}),
            0);
  EXPECT_GE(find_seq(L, {"(step-width    ) s", move6(25.5f, 11.1f), "(1.000) s"}), 0);
  EXPECT_GE(find_seq(L, {"(mosaic-radius ) s", move6(25.5f, 9.6f), "(  10.) s"}), 0);
  EXPECT_GE(find_seq(L, {move8(22, 8.4f), "(without interference term,) s"}), 0);
  EXPECT_GE(find_seq(L, {"(with I \\(cps\\) >) s", move6(25, 7.2f), "( 1.0000) s"}), 0);
  EXPECT_GE(find_seq(L, {"(Imax-calc\\(cps\\):) s", move6(25.3f, 6.2f), "(    50.00) s"}), 0);
  EXPECT_EQ(count_of(L, "(Imax-obs \\(cps\\):) s"), 0);
  // One axis title, turned, at y 15.5.
  EXPECT_GE(find_seq(L, {move8(0.7f, 15.5f), "   90.00 rotate", "(I-calc \\(cps\\)) s"}), 0);
  EXPECT_EQ(count_of(L, "(I-obs \\(cps\\) ) s"), 0);
  // The band runs from 4.8 to 18.8 cm; Iprim = 20 lies at 4.8 + 14/4.
  EXPECT_FLOAT_EQ(d.aint[0], 4.8f);
  EXPECT_FLOAT_EQ(d.aint[20], 18.8f);
  EXPECT_FLOAT_EQ(d.aint[10], 11.8f);
  long ip = find_seq(L, mark_lines(4.8f + 3.5f, "Iprim"));
  long mx = find_seq(L, mark_lines(18.8f, "Imax "));
  long mn = find_seq(L, mark_lines(4.8f, "Imin "));
  EXPECT_TRUE(ip >= 0 && mx > ip && mn > mx) << ip << " " << mx << " " << mn;
  long prof = find_seq(L, {"(Iprim-calc\\(cps\\):) s", move6(24.8f, 5.0f), "(    20.00) s", move8(1.0f, 4.8f)});
  ASSERT_GE(prof, 0);
  EXPECT_NE(text.find(xy("%8.1f%8.1f l\n", 21.0f, 18.8f)), std::string::npos);
  // psi axis over the strip and the legend.
  EXPECT_GE(find_seq(L, {xy("%6.1f%6.1f m ", 1.0f, 2.5f) + xy("%6.1f%6.1f l st ", 21.0f, 2.5f) +
                             xy("%6.1f%6.1f m ", 10.5f, 1.0f),
                         "(y) s"}),
            0);
  EXPECT_EQ(count_of(L, "(All events) s"), 1);
  expect_finite(L);
  EXPECT_EQ(listing.str(), "");
}

TEST_F(Diagram, PlotImaxFlattensTheTopAndTheHeaderKeepsTheTrueMaximum) {
  d.plot_imax = 30.0f;
  auto L = draw();
  EXPECT_GE(find_seq(L, {"(Imax-calc\\(cps\\):) s", move6(25.3f, 6.2f), "(    50.00) s"}), 0);
  EXPECT_FLOAT_EQ(d.calc_max, 30.0f);
  EXPECT_FLOAT_EQ(d.meas_max, 30.0f);
  for (std::size_t j = 0; j < d.aint.size(); ++j) {
    float v = 10.0f + 2.0f * static_cast<float>(j);
    float want = v >= 30.0f ? 18.8f : (v - 10.0f) * 14.0f / 20.0f + 4.8f;
    EXPECT_NEAR(d.aint[j], want, 1e-5f) << j;
  }
}

TEST_F(Diagram, MeasuredBandAboveWithAMissingPointBridged) {
  set_scan(0.0f, 4.0f, 1.0f);  // 4 steps of 5 cm
  d.aint = {10, 20, 30, 40, 50};
  d.aintm = {10, 20, 1.0e20f, 30, 40};
  d.has_scan = 1;
  d.meas_min = 10, d.meas_max = 40, d.meas_iprim = 25;
  auto L = draw();
  EXPECT_GE(find_seq(L, {move8(0.7f, 15.5f), "   90.00 rotate", "(I-obs \\(cps\\) ) s"}), 0);
  EXPECT_GE(find_seq(L, {move8(0.7f, 7.5f), "   90.00 rotate", "(I-calc \\(cps\\)) s"}), 0);
  EXPECT_GE(find_seq(L, {"(Imax-obs \\(cps\\):) s", move6(25.3f, 14.6f), "(    40.00) s"}), 0);
  // Calculated band 4.8 to 11.8, measured band 12.8 to 19.8.
  EXPECT_FLOAT_EQ(d.aint[4], 11.8f);
  EXPECT_EQ(d.aintm[2], 1.0e20f);
  const float h1 = (20.0f - 10.0f) * 7.0f / 30.0f + 12.8f, h3 = (30.0f - 10.0f) * 7.0f / 30.0f + 12.8f;
  EXPECT_GE(find_seq(L, mark_lines((25.0f - 10.0f) / 30.0f * 7.0f + 12.8f, "Iprim")), 0);
  EXPECT_GE(find_seq(L, mark_lines(19.8f, "Imax ")), 0);
  EXPECT_GE(find_seq(L, mark_lines(12.8f, "Imin ")), 0);
  EXPECT_GE(find_seq(L, {"(Iprim-obs \\(cps\\):) s", move6(24.8f, 13.4f), "(    25.00) s", " 1 0 0 setrgbcolor",
                         move8(1, 12.8f), xy("%8.1f%8.1f l", 6, h1), xy("%8.1f%8.1f l", 16, h3),
                         xy("%8.1f%8.1f l", 21, 19.8f), "st"}),
            0);
  EXPECT_EQ(count_of(L, "(Iprim) s"), 2);
}

// Scales without a range and a band without width still give a finite page.
TEST_F(Diagram, FlatMeasuredScanLiesOnItsBandBottomWithoutIprimMark) {
  set_scan(0.0f, 4.0f, 1.0f);
  d.aint = {10, 20, 30, 40, 50};
  d.aintm = {7, 7, 1.0e20f, 7, 7};
  d.has_scan = 1;
  d.meas_min = 7, d.meas_max = 7, d.meas_iprim = 9;
  auto L = draw();
  EXPECT_EQ(d.aintm, (std::vector<float>{12.8f, 12.8f, 1.0e20f, 12.8f, 12.8f}));
  EXPECT_EQ(count_of(L, "(Iprim) s"), 1);  // the calculated one only
  EXPECT_GE(find_seq(L, mark_lines(19.8f, "Imax ")), 0);
  expect_finite(L);
}

TEST_F(Diagram, PlotImaxAtTheMinimumDrawsTheProfileFlat) {
  d.plot_imax = d.calc_min;
  auto L = draw();
  for (float v : d.aint) EXPECT_EQ(v, 4.8f);
  EXPECT_EQ(count_of(L, "(Iprim) s"), 0);
  expect_finite(L);
}

TEST_F(Diagram, ZeroBandWidthPutsTheLimitsOnTheEdgesAndDrawsNoCurves) {
  d.lam_lo = d.lam_hi = 1.54f;
  d.hw1 = d.hw2 = 0;
  d.n_plot = d.n_range = 1;
  d.events[0] = right_angle_event();
  auto L = draw();
  EXPECT_GE(find_seq(L, {"[5 0] 0 setdash", move8(1, 2.5f), draw8(21, 2.5f), move8(1, 4.5f), draw8(21, 4.5f),
                         "[5 3] 0 setdash", "[5 0] 0 setdash", "[5 0] 0 setdash"}),
            0);
  expect_finite(L);
}

TEST_F(Diagram, NoPsiRangeStillEndsThePage) {
  set_scan(5.0f, 5.0f, 1.0f);
  d.aint = {30};
  d.n_plot = d.n_range = 1;
  d.events[0] = right_angle_event();
  auto L = draw();
  expect_finite(L);
  EXPECT_EQ(L.back(), "showpage");
}

TEST_F(Diagram, EventOutOfReachDrawsOnlyItsDashLine) {
  d.n_plot = 1, d.n_range = 1;
  d.events[0] = {0.3f, 2.0f, 0.3f, 0.2f, 1.5f, 2.0f};  // 4/lambda^2 < 1.69 over the band
  auto L = draw();
  const std::string symbol_font = "/" + pad("Symbol", 20) + " findfont  14 scalefont setfont";
  EXPECT_GE(find_seq(L, {"[5 3] 0 setdash", "[2 3] 0 setdash", "[5 0] 0 setdash", symbol_font}), 0);
}

// A right-angle event lies at psi +-90 over the whole band.  Negative psi is
// carried to psi + 360 only for radiation other than a tube on a 0..360 scan.
TEST_F(Diagram, EventBranchesAndThePsiWrap) {
  struct row {
    int32 irad;
    float psia, psie;
    float xb, xa;  // expected strip x of branches B and A, 0 = not drawn
  };
  const row rows[] = {
      {1, 0, 360, 6, 16},       // -90 drawn at 270
      {0, -180, 180, 16, 6},    // both inside the scan
      {1, -180, 180, 16, 6},    // no wrap on a -180..180 scan
      {0, 0, 180, 11, 0},       // -90 lies outside a tube's 0..180 scan
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::to_string(r.irad) + " " + std::to_string(r.psia));
    SetUp();
    set_scan(r.psia, r.psie, 1.0f);
    d.irad = r.irad;
    d.n_plot = d.n_range = 1;
    d.events[0] = right_angle_event();
    auto L = draw();
    long ev = find_seq(L, {"[5 3] 0 setdash", "[5 0] 0 setdash"});
    ASSERT_GE(ev, 0);
    if (r.xa > 0) {
      // Both ends at the band's top: joined by a segment, then the two branches.
      EXPECT_EQ(L[static_cast<std::size_t>(ev + 2)], move8(r.xb, 4.5f));
      EXPECT_EQ(L[static_cast<std::size_t>(ev + 3)], draw8(r.xa, 4.5f));
      EXPECT_GE(find_seq(L, {move6(r.xa, 2.5f)}), ev);
    } else {
      EXPECT_EQ(L[static_cast<std::size_t>(ev + 2)], move6(r.xb, 2.5f));
    }
    EXPECT_GE(find_seq(L, {move6(r.xb, 2.5f)}), ev);
    expect_finite(L);
  }
}

// An event that leaves the band part-way ends on the nearer side of the strip.
TEST_F(Diagram, BranchEndingInsideTheBandIsClosedAtTheNearerSide) {
  struct row {
    float psia, psie, x, end;  // psi 90 lies at strip x; the branch's end goes to x 'end'
  };
  for (const row& r : {row{0, 150, 13, 21}, row{60, 180, 6, 1}}) {
    SCOPED_TRACE(r.psia);
    set_scan(r.psia, r.psie, 1.0f);
    d.n_plot = d.n_range = 1;
    d.events[0] = right_angle_event(4.0f / (1.5425f * 1.5425f));  // reachable below 1.5425 A only
    auto L = draw();
    long start = find_seq(L, {move6(r.x, 2.5f)});
    ASSERT_GE(start, 0);
    long stop = find_seq(L, {"st"}, static_cast<std::size_t>(start));
    ASSERT_GT(stop, start);
    const std::string& last = L[static_cast<std::size_t>(stop - 1)];
    ASSERT_GE(last.size(), 14u);
    std::string tail = last.substr(last.size() - 14);  // the last point, "2F6.1 l"
    EXPECT_EQ(tail.substr(0, 6), move6(r.end, 0).substr(0, 6)) << last;
    float y = std::stof(tail.substr(6, 6)) / pt_per_cm;
    EXPECT_GT(y, 3.3f);
    EXPECT_LT(y, 3.7f);
  }
}

TEST_F(Diagram, LegendNamesWhichEventsArePlotted) {
  const std::string times = pad("/Times-Roman findfont [14 0 0 14 0 0] makefont setfont", 80);
  const std::string symb = pad("/Symbol findfont [14 0 0 14 0 0] makefont setfont", 80);
  struct row {
    int32 plotted, in_range;
    std::vector<std::string> first;
  };
  const row rows[] = {
      {0, 0, {"(All events) s"}},
      {7, 7, {"(All events) s"}},
      {0, 5, {"(No events) s"}},
      {3, 5, {"(Events with I(cps) >) s", move6(26.0f, 3.9f), "(   100.00) s"}},
  };
  for (const row& r : rows) {
    d.plot = std::tmpfile();
    ASSERT_NE(d.plot, nullptr);
    symbo1(d, r.plotted, r.in_range);
    std::rewind(d.plot);
    std::string s;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, d.plot)) > 0;) s.append(buf, n);
    std::fclose(d.plot);
    d.plot = nullptr;
    std::vector<std::string> want = {times, move6(22, 3.9f)};
    want.insert(want.end(), r.first.begin(), r.first.end());
    for (const char* t : {" 623.6  93.5 m", "(are plotted in the) s", " 623.6  76.5 m"}) want.push_back(t);
    want.push_back(symb);
    want.push_back("(y-l) s");
    want.push_back(times);
    want.push_back("(-diagram) s");
    EXPECT_EQ(split_lines(s), want) << r.plotted << " " << r.in_range;
  }
}

// ---- rendering -----------------------------------------------------------

struct render_result {
  int status = -1;
  std::string out, err;
  long ink = 0, paper = 0;  // non-white and white pixels
};

// Renders a PostScript file with Ghostscript into a raw PPM and counts its pixels.
render_result render(const fs::path& ps, const fs::path& dir) {
  render_result r;
  const fs::path ppm = dir / "page.ppm", out = dir / "gs.out", err = dir / "gs.err";
  const std::string cmd = "gs -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r72 -sOutputFile=" + ppm.string() + " " +
                          ps.string() + " >" + out.string() + " 2>" + err.string();
  const int rc = std::system(cmd.c_str());
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = korva::testing::read_file(out);
  r.err = korva::testing::read_file(err);
  std::ifstream f(ppm, std::ios::binary);
  std::string magic;
  long w = 0, h = 0, maxval = 0;
  // Header: magic, width, height, maximum, with optional # comment lines.
  auto field = [&f]() {
    std::string t;
    while (f >> t && t[0] == '#') {
      std::string rest;
      std::getline(f, rest);
    }
    return t;
  };
  magic = field();
  w = std::atol(field().c_str());
  h = std::atol(field().c_str());
  maxval = std::atol(field().c_str());
  f.get();
  if (magic != "P6" || w <= 0 || h <= 0 || maxval != 255) return r;
  std::vector<unsigned char> px(static_cast<std::size_t>(w * h * 3));
  f.read(reinterpret_cast<char*>(px.data()), static_cast<std::streamsize>(px.size()));
  if (f.gcount() != static_cast<std::streamsize>(px.size())) return r;
  for (std::size_t i = 0; i < px.size(); i += 3)
    (px[i] == 255 && px[i + 1] == 255 && px[i + 2] == 255 ? r.paper : r.ink)++;
  return r;
}

bool have_gs() { return std::system("command -v gs >/dev/null 2>&1") == 0; }

// Runs a job in its own scratch folder (with the examples' data files beside
// it) and renders the page it draws.
void run_and_render(const std::string& name, const std::string& job) {
  SCOPED_TRACE(name);
  const fs::path examples = fs::path(KORVA_SOURCE_DIR) / "examples";
  const fs::path dir = korva::testing::scratch_dir("diagram_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& e : fs::directory_iterator(examples))
    if (e.is_regular_file() && e.path().extension() != ".job" && e.path().extension() != ".ps")
      fs::copy_file(e.path(), dir / e.path().filename(), fs::copy_options::overwrite_existing);

  std::istringstream in(job);
  std::string title, plotname;
  std::getline(in, title);
  std::getline(in, plotname);
  plotname.erase(0, plotname.find_first_not_of(' '));
  plotname.erase(plotname.find_last_not_of(" \r") + 1);

  auto res = korva::testing::run_job(job, dir);
  ASSERT_EQ(res.status, 0) << res.listing;
  if (res.listing.find("No graphical output is produced.") != std::string::npos) {
    std::cout << "[ note     ] " << name << " draws no diagram\n";
    return;
  }
  const std::string page = korva::testing::read_file(dir / plotname);
  ASSERT_EQ(page.rfind("%!", 0), 0u);
  EXPECT_NE(page.find("(04 . 04 . 01) s"), std::string::npos);
  EXPECT_EQ(page.substr(page.size() - 9), "showpage\n");
  expect_finite(split_lines(page));

  render_result r = render(dir / plotname, dir);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
  EXPECT_GT(r.ink, 2000) << "blank page";
  EXPECT_GT(r.paper, r.ink) << "page filled";
  fs::remove_all(dir);
}

TEST(DiagramRendering, EveryExampleJobRenders) {
  if (!have_gs()) GTEST_SKIP() << "gs not on the PATH";
  const fs::path examples = fs::path(KORVA_SOURCE_DIR) / "examples";
  std::vector<fs::path> jobs;
  for (const auto& e : fs::directory_iterator(examples))
    if (e.is_regular_file() && e.path().extension() == ".job") jobs.push_back(e.path());
  std::sort(jobs.begin(), jobs.end());
  ASSERT_FALSE(jobs.empty());
  for (const fs::path& j : jobs) run_and_render(j.stem().string(), korva::testing::read_file(j));
}

TEST(DiagramRendering, TitleWithParenthesesAndBackslashRenders) {
  if (!have_gs()) GTEST_SKIP() << "gs not on the PATH";
  std::string job = korva::testing::read_file(fs::path(KORVA_SOURCE_DIR) / "examples" / "si222_cu.job");
  job = R"(Si (2 2 2) \ back\slash, unbalanced (( and ) end)" + job.substr(job.find('\n'));
  run_and_render("odd_title", job);
}

}  // namespace
