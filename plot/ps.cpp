// PostScript drawing primitives; see plot/ps.h.
#include "plot/ps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "io/format.h"
#include "io/text.h"

namespace korva {

namespace {

// The text of a show line is built in a 90-character buffer: "(" text ") s".
constexpr int symbol_text_max = 86;
// An axis label line holds at most 72 characters.
constexpr int axis_text_max = 68;

void put_text(intensity_data& d, const std::string& s) {
  if (d.plot) std::fwrite(s.data(), 1, s.size(), d.plot);
}

// One or more lines in the given layout.
void put(intensity_data& d, std::string_view layout, std::initializer_list<io::fitem> items = {}) {
  if (d.plot) put_text(d, io::format(layout, items));
}

// The first count characters of a fixed-length text (blank-padded past its
// end) as the body of a PostScript string: ( ) and \ get a backslash, and the
// body stops before it would pass max characters.
std::string ps_string_body(std::string_view text, int32 count, int max) {
  std::string body;
  for (int32 i = 0; i < count; ++i) {
    char c = static_cast<std::size_t>(i) < text.size() ? text[static_cast<std::size_t>(i)] : ' ';
    bool esc = c == '(' || c == ')' || c == '\\';
    if (static_cast<int>(body.size()) + (esc ? 2 : 1) > max) break;
    if (esc) body += '\\';
    body += c;
  }
  return body;
}

// Points on a polyline written as groups "2Fw.1 l", per_line groups a line.
void draw_groups(intensity_data& d, std::string_view layout, std::span<const float> x, std::span<const float> y,
                 int32 from, int32 to) {
  if (!d.plot || from > to) return;
  std::vector<io::fitem> items;
  items.reserve(2 * static_cast<std::size_t>(to - from + 1));
  for (int32 i = from; i <= to; ++i) {
    items.emplace_back(x[static_cast<std::size_t>(i)] * pt_per_cm);
    items.emplace_back(y[static_cast<std::size_t>(i)] * pt_per_cm);
  }
  put_text(d, io::format(layout, items));
}

// n limited to the points the arrays actually hold.
int32 points_held(int32 n, std::size_t size) {
  return n < 0 ? 0 : static_cast<int32>(std::min<std::size_t>(static_cast<std::size_t>(n), size));
}

}  // namespace

void plots(intensity_data& d) {
  put(d, "A70", {io::pad("%!", 70)});
  put(d, R"(4(A4,"{",A6,"} def "))",
      {"/m  ", "moveto", "/l  ", "lineto", "/s  ", "show  ", "/st ", "stroke"});
  put(d, "A70", {io::pad("/rl {rlineto} def", 70)});
  put(d, "A70", {io::pad("/s  {show  } def", 70)});
  put(d, "A70", {io::pad("610 20 translate 90 rotate", 70)});
}

void plot(intensity_data& d, float x, float y, int32 pen) {
  if (pen == 3) {
    put(d, R"(2F8.1," m")", {x * pt_per_cm, y * pt_per_cm});
  } else if (pen == 2) {
    put(d, R"(2F8.1," l st ")", {x * pt_per_cm, y * pt_per_cm});
  } else if (pen == 999) {
    put(d, R"("showpage")");
    if (d.plot) std::fflush(d.plot);  // the page is complete on disk
  }
}

void symbol(intensity_data& d, float x, float y, float /*height*/, std::string_view text, float angle, int32 count) {
  float px = x * pt_per_cm, py = y * pt_per_cm;
  put(d, R"(2F8.1," m")", {px, py});
  if (angle > 0) put(d, R"(" ",F7.2," rotate")", {angle});
  put(d, R"("(",A,") s")", {ps_string_body(text, count, symbol_text_max)});
  if (angle > 0) {
    put(d, R"(2F6.1," m")", {px, py});
    put(d, R"(" ",F7.2," rotate")", {-angle});
  }
}

void number(intensity_data& d, float x, float y, float /*height*/, float value, float /*angle*/, int32 form) {
  put(d, R"(2F6.1," m")", {x * pt_per_cm, y * pt_per_cm});
  if (form > 0) {
    int32 w = form / 10, dec = form % 10;
    if (static_cast<double>(value) > std::pow(10.0, w - dec)) {
      io::write(*d.out, R"("the number is to large")");
      return;
    }
    std::string layout = R"("(",F)" + std::to_string(w) + "." + std::to_string(dec) + R"(,") s")";
    put(d, layout, {value});
    return;
  }
  // Nearest integer, halves away from zero; beyond the 32-bit range (or NaN)
  // the value is held at the range's end so the conversion stays defined.
  std::int64_t k;
  if (std::fabs(value) < 2147483647.0f)
    k = std::llround(static_cast<double>(value));
  else
    k = value > 0 ? INT32_MAX : INT32_MIN;
  std::int64_t a = k < 0 ? -k : k;
  int n = 1;
  for (std::int64_t t = a; t >= 10; t /= 10) ++n;
  std::string layout = R"("(",I)" + std::to_string(n + 1) + R"(,") s")";
  put(d, layout, {static_cast<long long>(k)});
}

void newpen(intensity_data& d, int32 colour) {
  switch (colour) {
    case 0: put(d, R"(" 0 0 0 setrgbcolor")"); break;
    case 1: put(d, R"(" 1 0 0 setrgbcolor")"); break;
    case 2: put(d, R"(" 0 1 0 setrgbcolor")"); break;
    case 3: put(d, R"(" 0 0 1 setrgbcolor")"); break;
    default: break;
  }
}

void frame(intensity_data& d, int32 /*code*/, float xmin, float xmax, float ymin, float ymax) {
  put(d, R"("newpath ",2F6.1," m  0 ",F6.1," rl ",F6.1," 0 rl"," 0 ",F6.1," rl closepath ")",
      {xmin * pt_per_cm, ymin * pt_per_cm, (ymax - ymin) * pt_per_cm, (xmax - xmin) * pt_per_cm,
       (ymin - ymax) * pt_per_cm});
  put(d, R"("  0.5 setlinewidth st")");
}

void line(intensity_data& d, float dx, std::span<const float> y, int32 n) {
  n = points_held(n, y.size());
  if (n >= 1) {
    std::vector<float> x(static_cast<std::size_t>(n));
    for (int32 i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = 1.0f + static_cast<float>(i) * dx;
    put(d, R"(2F8.1," m")", {x[0] * pt_per_cm, y[0] * pt_per_cm});
    draw_groups(d, R"(4(2F8.1," l"))", x, y, 1, n - 1);
  }
  put(d, R"("st")");
}

void line2(intensity_data& d, float dx, std::span<const float> y, int32 shift, int32 n) {
  n = points_held(n, y.size());
  int32 s = shift < 0 ? -shift : shift;
  bool first = true;
  for (int32 i = 1; i <= n - s; ++i) {
    float x, v;
    if (shift >= 0) {
      x = 1.0f + static_cast<float>(shift + i - 1) * dx;
      v = y[static_cast<std::size_t>(i - 1)];
    } else {
      x = 1.0f + static_cast<float>(i - 1) * dx;
      v = y[static_cast<std::size_t>(i - 1 + s)];
    }
    if (v >= 1.0e20f) continue;  // no measurement here
    put(d, first ? R"(2F8.1," m")" : R"(2F8.1," l")", {x * pt_per_cm, v * pt_per_cm});
    first = false;
  }
  put(d, R"("st")");
}

void line1(intensity_data& d, std::span<const float> x, std::span<const float> y, float dx, int32 n) {
  n = points_held(n, std::min(x.size(), y.size()));
  if (n < 1) {
    put(d, R"("st")");
    return;
  }
  // Last place where x jumps (psi wrapping round); 0-based index of its far point.
  int32 k = n - 1;
  for (int32 j = n - 1; j >= 1; --j) {
    std::size_t sj = static_cast<std::size_t>(j);
    if (std::fabs(x[sj] - x[sj - 1]) > 0.8f * dx) {
      k = j;
      break;
    }
  }
  if (k == n - 1) {
    put(d, R"(2F6.1," m")", {x[0] * pt_per_cm, y[0] * pt_per_cm});
    draw_groups(d, R"(5(2F6.1," l"))", x, y, 0, n - 1);
    put(d, R"("st")");
    return;
  }
  put(d, R"(2F6.1," m")", {x[0] * pt_per_cm, y[0] * pt_per_cm});
  draw_groups(d, R"(5(2F6.1," l"))", x, y, 0, k - 1);
  put(d, R"("st")");
  std::size_t sk = static_cast<std::size_t>(k);
  put(d, R"(2F6.1," m")", {x[sk] * pt_per_cm, y[sk] * pt_per_cm});
  draw_groups(d, R"(5(2F6.1," l"))", x, y, k, n - 1);
  put(d, R"("st")");
}

void axis(intensity_data& d, float x0, float y0, std::string_view label, int32 count, float length, float /*angle*/,
          float first, float step) {
  put(d, R"(2F6.1," m ",2F6.1," l st ",2F6.1," m ")",
      {x0 * pt_per_cm, y0 * pt_per_cm, (x0 + length) * pt_per_cm, y0 * pt_per_cm,
       (x0 - 0.5f + length / 2) * pt_per_cm, (y0 - 1.5f) * pt_per_cm});
  put(d, R"("(",A,") s")", {ps_string_body(label, count < 0 ? -count : count, axis_text_max)});
  put(d, "A80", {io::pad("/Courier-Bold findfont [10 0 0 12 0 0] makefont setfont", 80)});
  for (int32 i = 0; i <= 20; ++i) {
    float v = first + static_cast<float>(i) * step;
    // A zero step would give 0/0; the ticks then still stand 1 cm apart.
    float xt = step != 0 ? x0 + (v - first) / step : x0 + static_cast<float>(i);
    put(d, R"(2F6.1," m")", {xt * pt_per_cm, y0 * pt_per_cm});
    put(d, R"(2F6.1," l st ")", {xt * pt_per_cm, (y0 - 0.3f) * pt_per_cm});
    if (i % 5 == 0) number(d, x0 + static_cast<float>(i) - 0.95f, y0 - 0.8f, 0.4f, v, 0.0f, 72);
  }
}

void dash(intensity_data& d, int32 code) {
  switch (code) {
    case 0: put(d, R"("[5 0] 0 setdash")"); break;
    case 1: put(d, R"("[5 3] 0 setdash")"); break;
    case 2: put(d, R"("[2 3] 0 setdash")"); break;
    case 3: put(d, R"("[6 4 2 4] 0 setdash")"); break;
    default: break;
  }
}

void fonts(intensity_data& d, float size, std::string_view name) {
  const float p = std::trunc(size * pt_per_cm);
  std::string field = "/";
  field += io::pad(name, 20);
  field += " findfont";
  put(d, R"(A30,I4," scalefont setfont")", {field, std::fabs(p) < 1.0e9f ? static_cast<int>(p) : 999999});
}

void transl(intensity_data& d, float x, float y) {
  put(d, R"(2F10.2,"  translate")", {x * pt_per_cm, y * pt_per_cm});
}

}  // namespace korva
