// Fixed-width texts: names and titles are blank-padded to their width.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korva::io {

// s cut or blank-padded on the right to exactly w characters.
std::string pad(std::string_view s, std::size_t w);

// s without its trailing blanks.
std::string trim_right(std::string_view s);

}  // namespace korva::io
