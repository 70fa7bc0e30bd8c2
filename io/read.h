// Fortran-style input: free-format (list-directed) reads over a line source
// and fixed-column reads of one record.
//
// Status of a read, as kept in read_status: 0 read, above 0 read error,
// below 0 end of file.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "io/lines.h"

namespace korva::io {

constexpr int read_ok = 0;
constexpr int read_error = 1;
constexpr int read_eof = -1;

// Target of one input value.
struct ritem {
  enum kind_t { k_int, k_real, k_text } kind;
  void* p;
};
inline ritem iv(std::int32_t& x) { return {ritem::k_int, &x}; }
inline ritem rv(float& x) { return {ritem::k_real, &x}; }
inline ritem tv(std::string& x) { return {ritem::k_text, &x}; }  // fixed-column A fields only

// Free-format read: starts on a new record and takes as many records as it
// needs; values left on its last record are ignored; a slash ends the read
// and leaves the remaining targets unchanged; r*c repeats, r* and empty
// values between commas are nulls (target unchanged).  An integer target
// given a decimal point or a letter is a read error; so are values that do
// not fit their target (overflow, NaN, Inf).
int read_free(line_source& src, std::span<const ritem> items);
int read_free(line_source& src, std::initializer_list<ritem> items);

// One free-format read whose targets are given piece by piece, for a list
// whose length is read within the same read (a count, then that many
// values).  Once the read has ended (slash, error, end of file) every later
// piece gets the same status and its targets stay unchanged.
class free_reader {
 public:
  explicit free_reader(line_source& src);
  ~free_reader();
  free_reader(const free_reader&) = delete;
  free_reader& operator=(const free_reader&) = delete;
  int get(std::span<const ritem> items);
  int get(std::initializer_list<ritem> items);

 private:
  struct state;
  std::unique_ptr<state> st_;
};

// The same over one record held in a text (an internal read): running out
// of text before the targets are filled is end of file.
int read_free_text(std::string_view text, std::span<const ritem> items);
int read_free_text(std::string_view text, std::initializer_list<ritem> items);

// Fixed-column read of one record by a layout of Aw, Iw, Fw.d, nX, with
// repeat counts (2F10.4 or 2*F10.4).  A shorter record is padded with
// blanks.  Aw takes the text as it stands (blanks and case kept); Iw reads
// a blank field as 0; Fw.d ignores blanks and gives a number without a
// decimal point d implied decimals.
int read_fixed(std::string_view record, std::string_view layout, std::span<const ritem> items);
int read_fixed(std::string_view record, std::string_view layout, std::initializer_list<ritem> items);

// Reads the next record of the source into a text of width w (padded with
// blanks or cut), as an Aw read of a whole line.  Status as above.
int read_text(line_source& src, std::string& text, std::size_t w);

}  // namespace korva::io
