#include "io/lines.h"

namespace korva::io {

bool line_source::next(std::string& line) {
  line.clear();
  if (!in_) return false;
  std::streambuf* sb = in_->rdbuf();
  if (!sb) return false;
  std::size_t n = 0;  // characters of the line before its '\n'
  bool last_cr = false;
  bool any = false;
  while (true) {
    int c = sb->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in_->setstate(std::ios::eofbit);
      break;
    }
    any = true;
    if (c == '\n') break;
    if (n < max_record) line.push_back(static_cast<char>(c));
    ++n;
    last_cr = c == '\r';
  }
  if (!any) return false;
  // A CR before the line end belongs to a DOS line end, unless it was cut off.
  if (last_cr && n <= max_record) line.pop_back();
  ++records_;
  return true;
}

}  // namespace korva::io
