#include "io/text.h"

namespace korva::io {

std::string pad(std::string_view s, std::size_t w) {
  std::string r(s.substr(0, w));
  r.resize(w, ' ');
  return r;
}

std::string trim_right(std::string_view s) {
  const auto p = s.find_last_not_of(' ');
  return p == std::string_view::npos ? std::string() : std::string(s.substr(0, p + 1));
}

}  // namespace korva::io
