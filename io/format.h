// Fortran-style formatted output.  A layout is written as in Fortran format
// lists, e.g.  /,/," Volume:",F12.4  or  I3," symmetry operators:",/,4(A3,3A2)
//   Iw  Fw.d  Ew.d  Aw  A  nX  /  "text" 'text'  n*F10.4  3F10.4  n( ... )
// A field too narrow for its value is filled with asterisks; when more values
// than data descriptors are given, the layout reverts to its last top-level
// group (or its start) on a new record.  Every record ends with '\n'.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korva::io {

// One output item.  Reals keep their exact binary value (a float widens to
// double exactly), so rounding follows the stored single-precision number.
struct fitem {
  enum kind_t { k_int, k_real, k_text } kind;
  long long i = 0;
  double r = 0;
  std::string s;
  fitem(int v) : kind(k_int), i(v) {}
  fitem(long v) : kind(k_int), i(v) {}
  fitem(long long v) : kind(k_int), i(v) {}
  fitem(float v) : kind(k_real), r(v) {}
  fitem(double v) : kind(k_real), r(v) {}
  fitem(const char* v) : kind(k_text), s(v) {}
  fitem(std::string_view v) : kind(k_text), s(v) {}
  fitem(const std::string& v) : kind(k_text), s(v) {}
};

// Text of the records the layout produces for the items ('\n' after each).
std::string format(std::string_view layout, std::span<const fitem> items);
std::string format(std::string_view layout, std::initializer_list<fitem> items = {});

// The same, written to a stream.
void write(std::ostream& os, std::string_view layout, std::span<const fitem> items);
void write(std::ostream& os, std::string_view layout, std::initializer_list<fitem> items = {});

}  // namespace korva::io
