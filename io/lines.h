// Line-by-line source over an input stream: the job file and scan files are
// read one record at a time, never going back.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

namespace korva::io {

// Longest record kept; the rest of a longer line is skipped, so a file
// without line breaks cannot exhaust memory.
constexpr std::size_t max_record = 65536;

class line_source {
 public:
  line_source() = default;
  explicit line_source(std::istream* in) : in_(in) {}
  void attach(std::istream* in) { in_ = in; }
  // Next record without its line end (a trailing CR is dropped too).
  // Returns false at end of file (a last line without line end is a record).
  bool next(std::string& line);
  // Number of records delivered so far.
  long records() const { return records_; }

 private:
  std::istream* in_ = nullptr;
  long records_ = 0;
};

}  // namespace korva::io
