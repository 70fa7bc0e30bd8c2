// PostScript drawing primitives: the exact lines each one writes, and a page
// made of them rendered by Ghostscript when it is installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "driver/job_state.h"
#include "plot/ps.h"

using namespace korva;

namespace {

class PsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d.out = &listing;
    d.plot = std::tmpfile();
    ASSERT_NE(d.plot, nullptr);
  }
  void TearDown() override {
    if (d.plot) std::fclose(d.plot);
  }
  // Everything written to the plot file so far; the file is emptied for the next check.
  std::string take() {
    std::fflush(d.plot);
    std::rewind(d.plot);
    std::string s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, d.plot)) > 0) s.append(buf, n);
    std::fclose(d.plot);
    d.plot = std::tmpfile();
    return s;
  }
  std::string pad(std::string s, std::size_t n) {
    s.resize(n, ' ');
    return s;
  }
  intensity_data d;
  std::ostringstream listing;
};

TEST_F(PsTest, PrologDefinesProceduresAndTurnsThePage) {
  plots(d);
  EXPECT_EQ(take(), pad("%!", 70) + "\n" +
                        "/m  {moveto} def /l  {lineto} def /s  {show  } def /st {stroke} def \n" +
                        pad("/rl {rlineto} def", 70) + "\n" + pad("/s  {show  } def", 70) + "\n" +
                        pad("610 20 translate 90 rotate", 70) + "\n");
}

TEST_F(PsTest, PlotMovesDrawsOrEndsByPen) {
  struct c {
    int pen;
    const char* want;
  } cases[] = {
      {3, "    28.3    56.7 m\n"},
      {2, "    28.3    56.7 l st \n"},
      {0, ""},
      {1, ""},
      {4, ""},
      {999, "showpage\n"},
  };
  for (const auto& k : cases) {
    plot(d, 1.0f, 2.0f, k.pen);
    EXPECT_EQ(take(), k.want) << "pen " << k.pen;
  }
}

TEST_F(PsTest, SymbolRotatesOnlyForPositiveAngles) {
  symbol(d, 1.0f, 1.0f, 0.5f, "abc", 0.0f, 3);
  EXPECT_EQ(take(), "    28.3    28.3 m\n(abc) s\n");
  symbol(d, 1.0f, 1.0f, 0.5f, "abc", -90.0f, 3);
  EXPECT_EQ(take(), "    28.3    28.3 m\n(abc) s\n");
  symbol(d, 0.7f, 15.5f, 0.5f, "I-calc", 90.0f, 6);
  EXPECT_EQ(take(), "    19.8   439.4 m\n   90.00 rotate\n(I-calc) s\n  19.8 439.4 m\n  -90.00 rotate\n");
}

TEST_F(PsTest, SymbolTextIsBlankPaddedToCountAndCut) {
  symbol(d, 0, 0, 0.4f, "step-width", 0, 14);
  EXPECT_EQ(take(), "     0.0     0.0 m\n(step-width    ) s\n");
  symbol(d, 0, 0, 0.4f, "step-width", 0, 4);
  EXPECT_EQ(take(), "     0.0     0.0 m\n(step) s\n");
  symbol(d, 0, 0, 0.4f, "x", 0, 0);
  EXPECT_EQ(take(), "     0.0     0.0 m\n() s\n");
}

TEST_F(PsTest, SymbolEscapesStringDelimitersAndStaysInItsBuffer) {
  symbol(d, 0, 0, 0.5f, R"(Si (111) \ a)b)", 0, 14);
  EXPECT_EQ(take(), "     0.0     0.0 m\n" R"((Si \(111\) \\ a\)b) s)" "\n");

  // A show line holds at most 90 characters: "(" + 86 + ") s".
  symbol(d, 0, 0, 0.5f, std::string(100, 'x'), 0, 100);
  EXPECT_EQ(take(), "     0.0     0.0 m\n(" + std::string(86, 'x') + ") s\n");
  symbol(d, 0, 0, 0.5f, std::string(50, '('), 0, 50);
  std::string pairs;
  for (int i = 0; i < 43; ++i) pairs += "\\(";
  EXPECT_EQ(take(), "     0.0     0.0 m\n(" + pairs + ") s\n");
  // An escape that would not fit whole is left out rather than split.
  symbol(d, 0, 0, 0.5f, std::string(85, 'x') + "))", 0, 87);
  EXPECT_EQ(take(), "     0.0     0.0 m\n(" + std::string(85, 'x') + ") s\n");
}

TEST_F(PsTest, NumberLayoutsByForm) {
  struct c {
    float value;
    int form;
    const char* want;
  } cases[] = {
      {0.0f, 0, "( 0) s\n"},      {2.5f, 0, "( 3) s\n"},         {-2.5f, 0, "(-3) s\n"},
      {-12.0f, -1, "(-12) s\n"},  {123.4f, -1, "( 123) s\n"},    {3.5f, 52, "( 3.50) s\n"},
      {12.0f, 50, "(  12.) s\n"}, {1234.5f, 92, "(  1234.50) s\n"},
      {100.0f, 52, "(*****) s\n"},  // exactly 10^(w-d) passes the check and overflows the field
      {3.0e9f, 0, "( 2147483647) s\n"},
  };
  for (const auto& k : cases) {
    number(d, 1.0f, 1.0f, 0.4f, k.value, 0.0f, k.form);
    EXPECT_EQ(take(), std::string("  28.3  28.3 m\n") + k.want) << k.value << " form " << k.form;
  }
  EXPECT_EQ(listing.str(), "");
}

TEST_F(PsTest, NumberTooLargeWritesOnlyTheMoveAndTellsTheListing) {
  number(d, 1.0f, 1.0f, 0.4f, 1000.5f, 0.0f, 52);
  EXPECT_EQ(take(), "  28.3  28.3 m\n");
  EXPECT_EQ(listing.str(), "the number is to large\n");
}

TEST_F(PsTest, PenAndDashCodes) {
  const char* pens[] = {" 0 0 0 setrgbcolor\n", " 1 0 0 setrgbcolor\n", " 0 1 0 setrgbcolor\n",
                        " 0 0 1 setrgbcolor\n", ""};
  const char* dashes[] = {"[5 0] 0 setdash\n", "[5 3] 0 setdash\n", "[2 3] 0 setdash\n",
                          "[6 4 2 4] 0 setdash\n", ""};
  for (int code = 0; code <= 4; ++code) {
    newpen(d, code);
    EXPECT_EQ(take(), pens[code]) << code;
    dash(d, code);
    EXPECT_EQ(take(), dashes[code]) << code;
  }
  newpen(d, -1);
  dash(d, -1);
  EXPECT_EQ(take(), "");
}

TEST_F(PsTest, FrameRunsUpRightDownAndClosed) {
  frame(d, 3, 1.0f, 21.0f, 4.5f, 20.3f);
  EXPECT_EQ(take(),
            "newpath   28.3 127.6 m  0  447.9 rl  566.9 0 rl 0 -447.9 rl closepath \n"
            "  0.5 setlinewidth st\n");
}

TEST_F(PsTest, LineWritesFourPointsPerLineFromOneCentimetre) {
  std::vector<float> y = {1, 2, 3, 4, 5, 6};
  line(d, 0.5f, y, 6);
  EXPECT_EQ(take(),
            "    28.3    28.3 m\n"
            "    42.5    56.7 l    56.7    85.0 l    70.9   113.4 l    85.0   141.7 l\n"
            "    99.2   170.1 l\n"
            "st\n");
  line(d, 0.5f, y, 5);
  EXPECT_EQ(take(),
            "    28.3    28.3 m\n"
            "    42.5    56.7 l    56.7    85.0 l    70.9   113.4 l    85.0   141.7 l\n"
            "st\n");
  line(d, 0.5f, y, 1);
  EXPECT_EQ(take(), "    28.3    28.3 m\nst\n");
}

TEST_F(PsTest, Line2ShiftsAndBridgesMissingValues) {
  const float miss = 1.0e20f;
  std::vector<float> y = {1, miss, 3, 4};
  line2(d, 1.0f, y, 0, 4);
  EXPECT_EQ(take(), "    28.3    28.3 m\n    85.0    85.0 l\n   113.4   113.4 l\nst\n");
  line2(d, 1.0f, y, 1, 4);  // moved right: x 2..4 carry y(1..3)
  EXPECT_EQ(take(), "    56.7    28.3 m\n   113.4    85.0 l\nst\n");
  line2(d, 1.0f, y, -1, 4);  // moved left: x 1..3 carry y(2..4)
  EXPECT_EQ(take(), "    56.7    85.0 m\n    85.0   113.4 l\nst\n");
  line2(d, 1.0f, y, 4, 4);
  EXPECT_EQ(take(), "st\n");
  line2(d, 1.0f, y, -7, 4);
  EXPECT_EQ(take(), "st\n");
  std::vector<float> none(5, miss);
  line2(d, 1.0f, none, 0, 5);
  EXPECT_EQ(take(), "st\n");
}

TEST_F(PsTest, Line1SplitsOnceAtTheLastJump) {
  std::vector<float> x = {1, 2, 3, 4, 5, 6}, y(6, 3.0f);
  line1(d, x, y, 20.0f, 6);
  EXPECT_EQ(take(),
            "  28.3  85.0 m\n"
            "  28.3  85.0 l  56.7  85.0 l  85.0  85.0 l 113.4  85.0 l 141.7  85.0 l\n"
            " 170.1  85.0 l\n"
            "st\n");

  std::vector<float> xs = {1, 2, 20, 21}, ys = {1, 2, 3, 4};
  line1(d, xs, ys, 20.0f, 4);
  EXPECT_EQ(take(),
            "  28.3  28.3 m\n  28.3  28.3 l  56.7  56.7 l\nst\n"
            " 566.9  85.0 m\n 566.9  85.0 l 595.3 113.4 l\nst\n");

  // A jump between the last two points stays inside the one polyline.
  std::vector<float> x2 = {1, 19}, y2 = {1, 1};
  line1(d, x2, y2, 20.0f, 2);
  EXPECT_EQ(take(), "  28.3  28.3 m\n  28.3  28.3 l 538.6  28.3 l\nst\n");
}

TEST_F(PsTest, AxisDrawsLabelTicksAndValues) {
  axis(d, 1.0f, 2.5f, "y", 1, 20.0f, 0.0f, -10.0f, 1.0f);
  std::istringstream in(take());
  std::vector<std::string> ln;
  for (std::string s; std::getline(in, s);) ln.push_back(s);
  ASSERT_EQ(ln.size(), 3u + 21 * 2 + 5 * 2);
  EXPECT_EQ(ln[0], "  28.3  70.9 m  595.3  70.9 l st  297.6  28.3 m ");
  EXPECT_EQ(ln[1], "(y) s");
  EXPECT_EQ(ln[2], pad("/Courier-Bold findfont [10 0 0 12 0 0] makefont setfont", 80));
  EXPECT_EQ(ln[3], "  28.3  70.9 m");
  EXPECT_EQ(ln[4], "  28.3  62.4 l st ");
  EXPECT_EQ(ln[5], "   1.4  48.2 m");  // value of tick 0 at (x0 - 0.95, y0 - 0.8)
  EXPECT_EQ(ln[6], "( -10.00) s");
  EXPECT_EQ(ln[7], "  56.7  70.9 m");
  EXPECT_EQ(ln[ln.size() - 4], " 595.3  70.9 m");
  EXPECT_EQ(ln[ln.size() - 2], " 568.3  48.2 m");
  EXPECT_EQ(ln.back(), "(  10.00) s");

  // Label text is escaped like any other shown text; a zero step keeps the ticks finite.
  axis(d, 1.0f, 2.5f, "(a)", -3, 20.0f, 0.0f, 0.0f, 0.0f);
  std::string s = take();
  EXPECT_NE(s.find("\n(\\(a\\)) s\n"), std::string::npos);
  EXPECT_EQ(s.find("NaN"), std::string::npos);
}

TEST_F(PsTest, FontsAndTranslation) {
  fonts(d, 0.4f, "Times-Roman");
  EXPECT_EQ(take(), "/Times-Roman          findfont  11 scalefont setfont\n");
  fonts(d, 0.5f, "Times-Bold");
  EXPECT_EQ(take(), "/Times-Bold           findfont  14 scalefont setfont\n");
  transl(d, -0.5f, 0.0f);
  EXPECT_EQ(take(), "    -14.17      0.00  translate\n");
}

TEST_F(PsTest, NoPlotFileWritesNothing) {
  std::fclose(d.plot);
  d.plot = nullptr;
  std::vector<float> v = {1, 2, 3};
  plots(d);
  plot(d, 1, 1, 3);
  symbol(d, 1, 1, 0.5f, "abc", 90, 3);
  number(d, 1, 1, 0.5f, 1.5f, 0, 52);
  newpen(d, 1);
  frame(d, 0, 1, 2, 1, 2);
  line(d, 1, v, 3);
  line2(d, 1, v, 1, 3);
  line1(d, v, v, 1, 3);
  axis(d, 1, 1, "x", 1, 20, 0, 0, 1);
  dash(d, 1);
  fonts(d, 0.5f, "Symbol");
  transl(d, 1, 1);
  plot(d, 0, 0, 999);
  EXPECT_EQ(listing.str(), "");
}

// A small page drawn with every primitive must render without a PostScript error.
TEST_F(PsTest, PageRendersInGhostscript) {
  if (std::system("command -v gs >/dev/null 2>&1") != 0) GTEST_SKIP() << "gs not on the PATH";
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("korva_ps_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::path ps = dir / "page.ps", png = dir / "page.png", err = dir / "gs.err", out = dir / "gs.out";

  std::fclose(d.plot);
  d.plot = std::fopen(ps.c_str(), "w");
  ASSERT_NE(d.plot, nullptr);
  std::vector<float> prof = {5, 6, 9, 14, 9, 6, 5, 5, 7, 5, 5};
  std::vector<float> meas = {13, 14, 1.0e20f, 18, 15, 14, 13, 13, 1.0e20f, 13, 13};
  std::vector<float> bx = {2, 5, 9, 20.5f, 1.5f, 4}, by = {2.6f, 3, 3.4f, 3.8f, 4.1f, 4.4f};
  plots(d);
  newpen(d, 0);
  fonts(d, 0.5f, "Times-Bold");
  symbol(d, 1.0f, 20.5f, 0.5f, R"(Title with ( and ) and \ unbalanced ((()", 0, 80);
  fonts(d, 0.5f, "Times-Roman");
  transl(d, -0.5f, 0);
  symbol(d, 22, 20, 0.5f, "Date:", 0, 5);
  number(d, 25.2f, 18.5f, 0.5f, 2.0f, 0, -1);
  number(d, 24, 16.8f, 0.5f, 23.65f, 0, 52);
  transl(d, 0.5f, 0);
  frame(d, 0, 1, 21, 4.5f, 20.3f);
  symbol(d, 0.7f, 7.5f, 0.5f, "I-calc (cps)", 90, 12);
  plot(d, 0.7f, 6, 3);
  plot(d, 1.0f, 6, 2);
  line(d, 2.0f, prof, static_cast<int>(prof.size()));
  newpen(d, 1);
  line2(d, 2.0f, meas, 1, static_cast<int>(meas.size()));
  newpen(d, 0);
  frame(d, 0, 1, 21, 2.5f, 4.5f);
  for (int k = 0; k <= 3; ++k) dash(d, k);
  line1(d, bx, by, 20.0f, static_cast<int>(bx.size()));
  dash(d, 0);
  fonts(d, 0.5f, "Symbol");
  axis(d, 1.0f, 2.5f, "y", 1, 20.0f, 0.0f, -30.0f, 3.0f);
  plot(d, 0, 0, 999);
  std::fclose(d.plot);
  d.plot = nullptr;

  std::string cmd = "gs -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r72 -sOutputFile=" + png.string() + " " +
                    ps.string() + " >" + out.string() + " 2>" + err.string();
  int rc = std::system(cmd.c_str());
  std::ifstream ef(err), of(out);
  std::string errors((std::istreambuf_iterator<char>(ef)), std::istreambuf_iterator<char>());
  std::string output((std::istreambuf_iterator<char>(of)), std::istreambuf_iterator<char>());
  EXPECT_EQ(rc, 0) << output;
  EXPECT_EQ(errors, "");
  EXPECT_EQ(output.find("Error"), std::string::npos) << output;
  EXPECT_TRUE(fs::exists(png) && fs::file_size(png) > 0);
  fs::remove_all(dir);
}

}  // namespace
