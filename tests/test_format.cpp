#include "io/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using korva::io::fitem;
using korva::io::format;

namespace {

struct format_case {
  int line;
  std::string layout;
  std::vector<fitem> items;
  std::string expected;
};

// Cases written by tools/format_oracle.sh (gfortran).
std::vector<format_case> load_cases(const std::string& path) {
  std::vector<format_case> cases;
  std::ifstream in(path);
  std::string s;
  int n = 0;
  format_case* c = nullptr;
  while (std::getline(in, s)) {
    ++n;
    if (s.empty() || s[0] == '#') continue;
    if (s.rfind("layout ", 0) == 0) {
      cases.push_back({n, s.substr(7), {}, {}});
      c = &cases.back();
    } else if (!c) {
      ADD_FAILURE() << "line " << n << " outside a case";
    } else if (s == "end") {
      c = nullptr;
    } else if (s[0] == '|') {
      c->expected += s.substr(1) + "\n";
    } else if (s.rfind("i ", 0) == 0) {
      c->items.emplace_back(std::stoll(s.substr(2)));
    } else if (s.rfind("r ", 0) == 0) {
      c->items.emplace_back(std::strtof(s.c_str() + 2, nullptr));
    } else if (s.rfind("d ", 0) == 0) {
      c->items.emplace_back(std::strtod(s.c_str() + 2, nullptr));
    } else if (s.rfind("t \"", 0) == 0 && s.size() >= 4 && s.back() == '"') {
      c->items.emplace_back(s.substr(3, s.size() - 4));
    } else {
      ADD_FAILURE() << "line " << n << " not understood: " << s;
    }
  }
  return cases;
}

}  // namespace

TEST(Format, MatchesGfortranRecords) {
  auto cases = load_cases(KORVA_SOURCE_DIR "/tests/fixtures/format_cases.txt");
  ASSERT_GE(cases.size(), 50u);
  for (const auto& c : cases)
    EXPECT_EQ(format(c.layout, c.items), c.expected) << "case at line " << c.line << ": " << c.layout;
}

// Items that do not match their descriptor, and layouts a compiler would
// reject: the writer still produces orderly records.
TEST(Format, MismatchedItemsAndMalformedLayouts) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct row {
    const char* layout;
    std::vector<fitem> items;
    const char* expected;
  };
  const std::vector<row> rows = {
      // an integer in a real field, a real in an integer field (truncated)
      {"F6.2,E10.3", {3, -2}, "  3.00-0.200E+01\n"},
      {"4I4", {2.9f, -2.9, nan, 1e30}, "   2  -2********\n"},
      // text in a numeric field is shown as text, a number in A as digits
      {"I4,F3.1", {"ab", "long"}, "  ablon\n"},
      {"A5,A,A2", {42, 7, 123}, "   427**\n"},
      // no data descriptor: the layout is written once whatever the items
      {"", {}, "\n"},
      {"\" no data\"", {1, 2}, " no data\n"},
      // unbalanced parentheses, unclosed text, unknown letters, stray commas
      {"(I3", {1, 2}, "  1\n  2\n"},
      {"I3)", {1}, "  1\n"},
      {"I3,\"abc", {1}, "  1abc\n"},
      {"I3,Z,,I2", {1, 2}, "  1 2\n"},
      {"I3,(", {1, 2}, "  1\n\n"},
      // a group repeated zero times is skipped; no endless reversion
      {"0(I3),\"x\"", {1}, "x\n"},
      // missing width or decimals
      {"F,F10,I", {1.5f, 1.5f, 12}, "2.        2.12\n"},
      {"E10.0", {1.0}, "**********\n"},
      // lower case, outer parentheses, blanks inside descriptors
      {"i3,f6.2", {1, 2.5f}, "  1  2.50\n"},
      {"(I2,(I3))", {1, 2, 3}, " 1  2\n  3\n"},
      {"2 F 6 . 2", {1.0f, 2.0f}, "  1.00  2.00\n"},
  };
  for (const auto& r : rows) EXPECT_EQ(format(r.layout, r.items), r.expected) << r.layout;

  // A runaway repeat count is cut short instead of exhausting memory.
  std::string big = format("99999(99999(\"x\"))");
  EXPECT_LT(big.size(), std::size_t{1} << 25);
  EXPECT_EQ(big.back(), '\n');
}

TEST(Format, WriteAppendsToStream) {
  std::ostringstream os;
  os << "head\n";
  korva::io::write(os, R"(/," Volume:",F12.4)", {160.1853f});
  std::vector<fitem> items = {1, 2};
  korva::io::write(os, "2I3", items);
  EXPECT_EQ(os.str(), "head\n\n Volume:    160.1853\n  1  2\n");
}
