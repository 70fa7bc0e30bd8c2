// Fortran-style input: list-directed and fixed-column reads.
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "io/read.h"

using namespace korva::io;
using namespace std::string_view_literals;

namespace {

constexpr int unset = -99;

// One free-format read of three integers from `input`, then the record
// that follows it ("<eof>" at end of file).
struct int3 {
  int status;
  std::array<std::int32_t, 3> v;
  std::string next;
};

int3 read3(std::string_view input) {
  std::istringstream in{std::string(input)};
  line_source src(&in);
  int3 r{0, {unset, unset, unset}, ""};
  r.status = read_free(src, {iv(r.v[0]), iv(r.v[1]), iv(r.v[2])});
  if (read_text(src, r.next, 4) != read_ok) r.next = "<eof>";
  return r;
}

struct int_case {
  std::string_view input;
  int status;
  std::array<std::int32_t, 3> v;
  std::string_view next;
};

}  // namespace

// Behaviour matches gfortran's list-directed reads, except that a semicolon
// is no separator here and two commas with only record ends between them
// always give a null.
TEST(ReadFree, IntegerListsAcrossRecords) {
  const int_case cases[] = {
      {"1 2 3\nNEXT\n", read_ok, {1, 2, 3}, "NEXT"},
      {"1 2 3 4 5\nNEXT\n", read_ok, {1, 2, 3}, "NEXT"},  // leftover ignored
      {"1 2\n3\nNEXT\n", read_ok, {1, 2, 3}, "NEXT"},     // takes the next record
      {"1\n\n2\n   \n3 4\nNEXT\n", read_ok, {1, 2, 3}, "NEXT"},  // blank records skipped
      {"1\t2 ,\t3\nNEXT\n", read_ok, {1, 2, 3}, "NEXT"},  // tabs; comma with blanks
      {"1 2 ,\n3\nNEXT\n", read_ok, {1, 2, 3}, "NEXT"},   // comma before the record end
      {"1\n,2,3\nNEXT\n", read_ok, {1, 2, 3}, "NEXT"},    // record end + comma: one separator
      {"+5 -0 007\nNEXT\n", read_ok, {5, 0, 7}, "NEXT"},
      {"2147483647 -2147483648 0\nNEXT\n", read_ok, {2147483647, -2147483647 - 1, 0}, "NEXT"},
      // slash: the remaining targets stay unchanged
      {"1 2 /\nNEXT\n", read_ok, {1, 2, unset}, "NEXT"},
      {"1/2 3\nNEXT\n", read_ok, {1, unset, unset}, "NEXT"},
      {"1 2\n/\nNEXT\n", read_ok, {1, 2, unset}, "NEXT"},
      {"1,2 /,3\nNEXT\n", read_ok, {1, 2, unset}, "NEXT"},
      {"1 2 3/\nNEXT\n", read_ok, {1, 2, 3}, "NEXT"},
      // repeat counts and nulls
      {"3*7\nNEXT\n", read_ok, {7, 7, 7}, "NEXT"},
      {"2*7 8\nNEXT\n", read_ok, {7, 7, 8}, "NEXT"},
      {"5*7\nNEXT\n", read_ok, {7, 7, 7}, "NEXT"},
      {"2* 8\nNEXT\n", read_ok, {unset, unset, 8}, "NEXT"},
      {"2*,3\nNEXT\n", read_ok, {unset, unset, 3}, "NEXT"},
      {"2*,,3\nNEXT\n", read_ok, {unset, unset, unset}, "NEXT"},
      {"1 2 3*\nNEXT\n", read_ok, {1, 2, unset}, "NEXT"},
      {"1*/\nNEXT\n", read_ok, {unset, unset, unset}, "NEXT"},
      {"1,,3\nNEXT\n", read_ok, {1, unset, 3}, "NEXT"},
      {"1 , , 3\nNEXT\n", read_ok, {1, unset, 3}, "NEXT"},
      {",2,3\nNEXT\n", read_ok, {unset, 2, 3}, "NEXT"},
      {"1,\n,3\nNEXT\n", read_ok, {1, unset, 3}, "NEXT"},
      {"1\n,\n,3\nNEXT\n", read_ok, {1, unset, 3}, "NEXT"},  // gfortran: no null here
      {" \n,,2 3\nNEXT\n", read_ok, {unset, 2, 3}, "NEXT"},   // leading null on the first record only
      {"1 2,,\nNEXT\n", read_ok, {1, 2, unset}, "NEXT"},
      // end of file: the values read so far are kept
      {"1 2\n", read_eof, {1, 2, unset}, "<eof>"},
      {"1 2", read_eof, {1, 2, unset}, "<eof>"},
      {"", read_eof, {unset, unset, unset}, "<eof>"},
      {"\n  \n", read_eof, {unset, unset, unset}, "<eof>"},
      {"2*\n", read_eof, {unset, unset, unset}, "<eof>"},
      // read errors: decimal point, exponent or letter in an integer, broken
      // repeat counts, overflow, junk
      {"2.5 1 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"1e3 1 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"abc 1 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"1 2 3.\nNEXT\n", read_error, {1, 2, unset}, "NEXT"},
      {"1 2 3x\nNEXT\n", read_error, {1, 2, unset}, "NEXT"},
      {"1 2 -\nNEXT\n", read_error, {1, 2, unset}, "NEXT"},
      {"1 2 *\nNEXT\n", read_error, {1, 2, unset}, "NEXT"},
      {"1 2 *3\nNEXT\n", read_error, {1, 2, unset}, "NEXT"},
      {"1 2 * 3\nNEXT\n", read_error, {1, 2, unset}, "NEXT"},
      {"0*5 1 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"+2*5 1 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"2*3*4 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"99999999999*5\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"1-2 1 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"2147483648 1 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"-2147483649 1 1\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"1;2;3\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"'1' 2 3\nNEXT\n", read_error, {unset, unset, unset}, "NEXT"},
      {"1 2 \0\nNEXT\n"sv, read_error, {1, 2, unset}, "NEXT"},
      {"1 2 \xff\nNEXT\n"sv, read_error, {1, 2, unset}, "NEXT"},
      {"1 2 3 \0\xff junk\nNEXT\n"sv, read_ok, {1, 2, 3}, "NEXT"},  // junk left over
  };
  for (const int_case& c : cases) {
    SCOPED_TRACE(std::string(c.input));
    const int3 r = read3(c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.v, c.v);
    EXPECT_EQ(r.next, c.next);  // the next read starts on the following record
  }
}

TEST(ReadFree, RealForms) {
  struct real_case {
    std::string_view input;
    int status;
    float v;
  };
  const real_case cases[] = {
      {"1", read_ok, 1.0f},          {"-1.", read_ok, -1.0f},
      {".5", read_ok, 0.5f},         {"+2", read_ok, 2.0f},
      {"1.5e3", read_ok, 1500.0f},   {"1.5E-3", read_ok, 1.5e-3f},
      {"1.5d3", read_ok, 1500.0f},   {"1.5D-3", read_ok, 1.5e-3f},
      {"1.5+3", read_ok, 1500.0f},   {"1.5-3", read_ok, 1.5e-3f},
      {"1.E5", read_ok, 1.0e5f},     {"3*2.5", read_ok, 2.5f},
      {"0.1", read_ok, 0.1f},        {"3.4028235e38", read_ok, FLT_MAX},
      {"1e-50", read_ok, 0.0f},      // underflow goes quietly to zero
      {"1.0 e5", read_ok, 1.0f},     // a lone exponent is a leftover value
      // refused: no digits, broken exponents, NaN, infinities, overflow
      {"e5", read_error, unset},     {".", read_error, unset},
      {"-", read_error, unset},      {"-.", read_error, unset},
      {"1e", read_error, unset},     {"1e+", read_error, unset},
      {".e5", read_error, unset},    {"1.2.3", read_error, unset},
      {"1e5.0", read_error, unset},  {"1.5q2", read_error, unset},
      {"0x10", read_error, unset},   {"NaN", read_error, unset},
      {"Inf", read_error, unset},    {"-Infinity", read_error, unset},
      {"1e39", read_error, unset},   {"3.4028236e38", read_error, unset},
      {"1d400", read_error, unset},  {"1e999999999999999999", read_error, unset},
  };
  for (const real_case& c : cases) {
    SCOPED_TRACE(std::string(c.input));
    float x = unset;
    EXPECT_EQ(read_free_text(c.input, {rv(x)}), c.status);
    EXPECT_FLOAT_EQ(x, c.v);
  }
}

TEST(ReadFree, ConsecutiveReadsAndMixedTargets) {
  std::istringstream in("3 4.5 6 99\n\n 7,, 8.25 /\n12\n");
  line_source src(&in);
  std::int32_t i = unset, j = unset;
  float a = unset, b = unset;
  EXPECT_EQ(read_free(src, {iv(i), rv(a), rv(b)}), read_ok);
  EXPECT_EQ(i, 3);
  EXPECT_FLOAT_EQ(a, 4.5f);
  EXPECT_FLOAT_EQ(b, 6.0f);
  // The 99 is dropped; the blank record is skipped.
  EXPECT_EQ(read_free(src, {iv(i), rv(a), rv(b), iv(j)}), read_ok);
  EXPECT_EQ(i, 7);
  EXPECT_FLOAT_EQ(a, 4.5f);
  EXPECT_FLOAT_EQ(b, 8.25f);
  EXPECT_EQ(j, unset);
  EXPECT_EQ(read_free(src, {iv(i), iv(j)}), read_eof);
  EXPECT_EQ(i, 12);
  EXPECT_EQ(read_free(src, {iv(i)}), read_eof);
  // A text target has no meaning in a free-format read.
  std::string t;
  EXPECT_EQ(read_free_text("1", {tv(t)}), read_error);
}

TEST(ReadFree, InternalText) {
  std::int32_t v[3] = {unset, unset, unset};
  EXPECT_EQ(read_free_text("1 2", {iv(v[0]), iv(v[1]), iv(v[2])}), read_eof);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(v[2], unset);
  EXPECT_EQ(read_free_text("4,,6 junk", {iv(v[0]), iv(v[1]), iv(v[2])}), read_ok);
  EXPECT_EQ(v[0], 4);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(v[2], 6);
  EXPECT_EQ(read_free_text("7 /", {iv(v[0]), iv(v[1])}), read_ok);
  EXPECT_EQ(v[0], 7);
  EXPECT_EQ(read_free_text("", {iv(v[0])}), read_eof);
}

// A chemical-type line: symbol, two numbers with four implied decimals, flag.
TEST(ReadFixed, ColumnFields) {
  struct fixed_case {
    std::string_view record;
    int status;
    std::string_view sym;
    float f1, f2;
    std::int32_t flag;
  };
  // Records written as their fields: A4 | F10.4 | F10.4 | I1.
  const fixed_case cases[] = {
      {"Si  " "      1234" "   1.5    " "1", read_ok, "Si  ", 0.1234f, 1.5f, 1},
      {"Si", read_ok, "Si  ", 0.0f, 0.0f, 0},  // padded: blank fields read 0
      {" fe ", read_ok, " fe ", 0.0f, 0.0f, 0},
      {"Fe2+" "    -0.5  " "    1 2.5 " "0trailing", read_ok, "Fe2+", -0.5f, 12.5f, 0},
      {"O   " "  - 12    " "  15E2", read_ok, "O   ", -0.0012f, 0.15f, 0},  // implied decimals
      {"O   " "     1.5E2" "   1.5 E 2", read_ok, "O   ", 150.0f, 150.0f, 0},
      {"O   " "      15+2" " -0.1D+1", read_ok, "O   ", 0.15f, -1.0f, 0},
      {"O   " "      1E39", read_ok, "O   ", 1e35f, 0.0f, 0},
      // junk in a field stops the read; earlier fields keep their values
      {"O   " "       abc", read_error, "O   ", unset, unset, unset},
      {"O   " "         -", read_error, "O   ", unset, unset, unset},
      {"O   " "         .", read_error, "O   ", unset, unset, unset},
      {"O   " "       1,2", read_error, "O   ", unset, unset, unset},
      {"O   " "       NaN", read_error, "O   ", unset, unset, unset},
      {"O   " "       Inf", read_error, "O   ", unset, unset, unset},
      {"O   " "    3.5e38", read_error, "O   ", unset, unset, unset},
      {"O   " "     1.2.3", read_error, "O   ", unset, unset, unset},
      {"O   " "       12e", read_error, "O   ", unset, unset, unset},
      {"O   " "        \t1", read_error, "O   ", unset, unset, unset},
      {"O   " "       1.0" "      2.0x", read_error, "O   ", 1.0f, unset, unset},
      {"O   " "       1.0" "       2.0" ".", read_error, "O   ", 1.0f, 2.0f, unset},
      {"O   " "       1.0" "       2.0" "A", read_error, "O   ", 1.0f, 2.0f, unset},
  };
  for (const fixed_case& c : cases) {
    SCOPED_TRACE(std::string(c.record));
    std::string sym = "none";
    float f1 = unset, f2 = unset;
    std::int32_t flag = unset;
    EXPECT_EQ(read_fixed(c.record, "A4,2F10.4,I1", {tv(sym), rv(f1), rv(f2), iv(flag)}), c.status);
    EXPECT_EQ(sym, c.sym);
    EXPECT_FLOAT_EQ(f1, c.f1);
    EXPECT_FLOAT_EQ(f2, c.f2);
    EXPECT_EQ(flag, c.flag);
  }
}

TEST(ReadFixed, Layouts) {
  std::string a, b;
  std::int32_t i = unset, j = unset;
  float x = unset, y = unset;
  EXPECT_EQ(read_fixed("abcdefgh", "A3,2X,A4", {tv(a), tv(b)}), read_ok);
  EXPECT_EQ(a, "abc");
  EXPECT_EQ(b, "fgh ");
  EXPECT_EQ(read_fixed("  12  -3", "2*I4", {iv(i), iv(j)}), read_ok);
  EXPECT_EQ(i, 12);
  EXPECT_EQ(j, -3);
  EXPECT_EQ(read_fixed("   15   25xx", "(2F5.1)", {rv(x), rv(y)}), read_ok);
  EXPECT_FLOAT_EQ(x, 1.5f);
  EXPECT_FLOAT_EQ(y, 2.5f);
  EXPECT_EQ(read_fixed("x  7", "1X, 2(i1, 1x)", {iv(i), iv(j)}), read_ok);
  EXPECT_EQ(i, 0);
  EXPECT_EQ(j, 7);
  EXPECT_EQ(read_fixed("  1.5", "I5", {iv(i)}), read_error);
  EXPECT_EQ(read_fixed("99999999999", "I11", {iv(i)}), read_error);
  // Faulty layouts and mismatched targets are refused before anything is stored.
  i = unset;
  const std::string_view bad[] = {"Q5", "F10", "I0", "I", "2(I1", "I1)", "3", "A99999999"};
  for (std::string_view l : bad) {
    SCOPED_TRACE(std::string(l));
    EXPECT_EQ(read_fixed("1", l, {iv(i)}), read_error);
  }
  EXPECT_EQ(read_fixed("12", "I1", {iv(i), iv(j)}), read_error);
  EXPECT_EQ(read_fixed("12", "I1,F1.0", {iv(i), iv(j)}), read_error);
  EXPECT_EQ(read_fixed("12", "99999(99999(I1))", {iv(i)}), read_error);
  EXPECT_EQ(i, unset);
}

TEST(ReadText, PadsCutsAndEnds) {
  std::istringstream in("abc\n\nabcdefgh\nx");
  line_source src(&in);
  std::string t;
  const char* want[] = {"abc  ", "     ", "abcde", "x    "};
  for (const char* w : want) {
    EXPECT_EQ(read_text(src, t, 5), read_ok);
    EXPECT_EQ(t, w);
  }
  EXPECT_EQ(read_text(src, t, 5), read_eof);
  EXPECT_EQ(t, "x    ");  // unchanged at end of file
}

// Long records, huge numbers and random bytes: every read ends with a status.
TEST(ReadJunk, NeverMisbehaves) {
  std::int32_t i = unset;
  float x = unset;
  const std::string digits(100000, '9');
  EXPECT_EQ(read_free_text(digits, {iv(i)}), read_error);
  EXPECT_EQ(read_free_text(digits, {rv(x)}), read_error);
  EXPECT_EQ(read_free_text("0." + std::string(100000, '0') + "1e99995", {rv(x)}), read_ok);
  EXPECT_FLOAT_EQ(x, 1e-6f);
  EXPECT_EQ(read_free_text(std::string(200000, ' ') + "5", {iv(i)}), read_ok);
  EXPECT_EQ(i, 5);
  EXPECT_EQ(read_free_text("2000000000*1", {iv(i)}), read_ok);
  EXPECT_EQ(read_free_text(std::string(100000, ','), {iv(i)}), read_ok);
  EXPECT_EQ(read_fixed(digits, "F100000.3", {rv(x)}), read_error);

  std::mt19937 gen(12345);
  const char alphabet[] = "0123456789 ,/*+-.eEdD\t\r\n\0\xff" "aN";
  std::uniform_int_distribution<int> len(0, 40), pick(0, sizeof alphabet - 1);
  for (int n = 0; n < 3000; ++n) {
    std::string s;
    for (int k = len(gen); k > 0; --k) s += alphabet[pick(gen)];
    std::int32_t a = 0, b = 0;
    float f = 0, g = 0;
    std::string t;
    std::istringstream in(s);
    line_source src(&in);
    const int st[] = {read_free(src, {iv(a), rv(f), iv(b), rv(g)}),
                      read_free_text(s, {rv(f), iv(a)}),
                      read_fixed(s, "A3,F7.2,1X,I3,2*F5.1", {tv(t), rv(f), iv(a), rv(g)})};
    for (int v : st) EXPECT_TRUE(v == read_ok || v == read_error || v == read_eof) << s;
    EXPECT_TRUE(std::isfinite(f) && std::isfinite(g)) << s;
  }
}

// A count read within the same read decides how many values follow.
TEST(FreeReader, CountThenValuesInOneRead) {
  std::istringstream in("2 3 1.5 2.5\n3.5\n9 9\n7\n");
  line_source src(&in);
  free_reader rd(src);
  std::int32_t a = 0, n = 0;
  ASSERT_EQ(rd.get({iv(a), iv(n)}), read_ok);
  std::vector<float> v(n);
  for (auto& x : v) ASSERT_EQ(rd.get({rv(x)}), read_ok);
  EXPECT_EQ(v, (std::vector<float>{1.5f, 2.5f, 3.5f}));
  std::int32_t next = 0;  // the next read starts on a new record
  ASSERT_EQ(read_free(src, {iv(next)}), read_ok);
  EXPECT_EQ(next, 9);

  std::istringstream in2("1 2 / 4\n");
  line_source src2(&in2);
  free_reader rd2(src2);
  float x = -1, y = -1;
  ASSERT_EQ(rd2.get({iv(a), iv(n)}), read_ok);
  EXPECT_EQ(rd2.get({rv(x), rv(y)}), read_ok);  // ended by the slash
  EXPECT_EQ(x, -1.0f);

  std::istringstream in3("1 2\n");
  line_source src3(&in3);
  free_reader rd3(src3);
  ASSERT_EQ(rd3.get({iv(a), iv(n)}), read_ok);
  EXPECT_LT(rd3.get({rv(x)}), 0);
  EXPECT_LT(rd3.get({rv(y)}), 0);
}
