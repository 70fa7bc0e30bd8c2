#include "io/lines.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using korva::io::line_source;
using korva::io::max_record;

namespace {

std::vector<std::string> all_records(const std::string& text) {
  std::istringstream in(text);
  line_source src(&in);
  std::vector<std::string> out;
  std::string s;
  while (src.next(s)) out.push_back(s);
  EXPECT_FALSE(src.next(s));  // end of file stays end of file
  EXPECT_EQ(src.records(), static_cast<long>(out.size()));
  return out;
}

using v = std::vector<std::string>;

}  // namespace

TEST(LineSource, LineEnds) {
  EXPECT_EQ(all_records("a\r\nb\r\n"), (v{"a", "b"}));
  EXPECT_EQ(all_records("a\nlast"), (v{"a", "last"}));
  EXPECT_EQ(all_records("last\r"), (v{"last"}));
  EXPECT_EQ(all_records("\n\r\n x \n"), (v{"", "", " x "}));
  EXPECT_EQ(all_records("a\rb\n"), (v{"a\rb"}));  // only a CR before the line end goes
  EXPECT_EQ(all_records(""), v{});
}

TEST(LineSource, LongLineKeepsItsStart) {
  std::string longline(max_record, 'x');
  auto r = all_records(longline + "yyy\r\nnext\n" + longline + "\r\n");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0], longline);
  EXPECT_EQ(r[1], "next");
  EXPECT_EQ(r[2], longline);  // CR right after the kept part is dropped too
}

TEST(LineSource, BinaryJunkAndMissingStream) {
  std::string junk;
  for (int k = 0; k < 3000; ++k) junk += static_cast<char>((k * 37) % 256);
  auto r = all_records(junk);
  std::size_t nl = 0;
  for (char c : junk) nl += c == '\n';
  EXPECT_EQ(r.size(), nl + (junk.back() != '\n'));

  line_source none;
  std::string s = "old";
  EXPECT_FALSE(none.next(s));
  EXPECT_TRUE(s.empty());
}
