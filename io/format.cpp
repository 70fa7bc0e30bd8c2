// Fortran-style formatted output: a layout is parsed into a flat list of
// operations (groups as open/close pairs) and run against the items with the
// usual rules of a formatted WRITE: output stops at the first data descriptor
// without an item left, and a layout that runs out of descriptors while items
// remain starts a new record at its last top-level group.
#include "io/format.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace korva::io {

namespace {

// Numbers inside a layout are clamped so that a runaway count cannot overflow.
constexpr int max_count = 99999;
// A layout that would produce more than this many characters is cut short.
constexpr std::size_t max_output = std::size_t{1} << 24;

enum class op_t { data, text, space, slash, colon, open, close };

struct op {
  explicit op(op_t type) : t(type) {}
  op_t t;
  char code = 0;   // I F E D A for data
  int w = -1;      // field width; -1 when absent
  int d = -1;      // decimals (F E D) or minimum digits (I); -1 when absent
  int e = -1;      // exponent digits (E D); -1 when absent
  int count = 1;   // repeat count (open) or number of blanks (space)
  std::size_t match = 0;  // index of the partner of an open/close pair
  std::string s;   // text
};

struct program {
  std::vector<op> ops;
  std::size_t revert = 0;  // start of the last top-level parenthesised group
  bool has_data = false;
};

class parser {
 public:
  explicit parser(std::string_view p) : p_(p) {}

  program parse() {
    strip_outer_parentheses();
    program prog;
    std::vector<std::size_t> open;
    while (true) {
      char c = peek();
      if (!c) break;
      if (c == ',') {
        ++i_;
        continue;
      }
      if (c == ')') {
        ++i_;
        if (open.empty()) continue;  // stray ')' is ignored
        close_group(prog, open);
        continue;
      }
      if (c == '+' || c == '-') {  // signed number: only a scale factor, ignored
        ++i_;
        number();
        if (std::toupper(static_cast<unsigned char>(peek())) == 'P') ++i_;
        continue;
      }
      int rep = -1;
      if (std::isdigit(static_cast<unsigned char>(c))) {
        rep = number();
        if (peek() == '*') ++i_;
        c = peek();
        if (!c) break;
      }
      char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (u == '(') {
        ++i_;
        if (open.empty()) prog.revert = prog.ops.size();
        op o{op_t::open};
        o.count = rep < 0 ? 1 : rep;
        open.push_back(prog.ops.size());
        prog.ops.push_back(o);
        continue;
      }
      if (c == '"' || c == '\'') {
        op o{op_t::text};
        o.s = quoted(c);
        emit(prog, o, rep);
        continue;
      }
      ++i_;
      switch (u) {
        case '/':
          emit(prog, op{op_t::slash}, rep);
          break;
        case ':':
          prog.ops.push_back(op{op_t::colon});
          break;
        case 'X': {
          op o{op_t::space};
          o.count = rep < 0 ? 1 : rep;
          prog.ops.push_back(o);
          break;
        }
        case 'T': {  // TRn moves right like nX; T and TL are not supported
          bool right = std::toupper(static_cast<unsigned char>(peek())) == 'R';
          if (right || std::toupper(static_cast<unsigned char>(peek())) == 'L') ++i_;
          int n = number();
          if (right) {
            op o{op_t::space};
            o.count = n < 0 ? 1 : n;
            prog.ops.push_back(o);
          }
          break;
        }
        case 'H': {  // Hollerith text: the next rep characters
          op o{op_t::text};
          std::size_t n = rep < 0 ? 0 : static_cast<std::size_t>(rep);
          n = std::min(n, p_.size() - i_);
          o.s = std::string(p_.substr(i_, n));
          i_ += n;
          prog.ops.push_back(o);
          break;
        }
        case 'I':
        case 'F':
        case 'E':
        case 'D':
        case 'A': {
          op o{op_t::data};
          o.code = u;
          if (u != 'A' || std::isdigit(static_cast<unsigned char>(peek()))) o.w = number();
          if (u != 'A' && peek() == '.') {
            ++i_;
            o.d = number();
          }
          if ((u == 'E' || u == 'D') && std::toupper(static_cast<unsigned char>(peek())) == 'E' &&
              next_is_digit()) {
            ++i_;
            o.e = number();
          }
          prog.has_data = true;
          emit(prog, o, rep);
          break;
        }
        default:  // scale factor, blank and sign control, or junk: skipped
          break;
      }
    }
    while (!open.empty()) close_group(prog, open);
    return prog;
  }

 private:
  std::string_view p_;
  std::size_t i_ = 0;

  // "(I3,F8.2)" is the same layout as "I3,F8.2".
  void strip_outer_parentheses() {
    std::size_t a = p_.find_first_not_of(" \t");
    std::size_t b = p_.find_last_not_of(" \t");
    if (a == std::string_view::npos || p_[a] != '(' || p_[b] != ')') return;
    int depth = 0;
    char quote = 0;
    for (std::size_t k = a; k <= b; ++k) {
      char c = p_[k];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        if (--depth == 0) {
          if (k == b) p_ = p_.substr(a + 1, b - a - 1);
          return;
        }
      }
    }
  }

  void skip_blanks() {
    while (i_ < p_.size() && (p_[i_] == ' ' || p_[i_] == '\t')) ++i_;
  }

  char peek() {
    skip_blanks();
    return i_ < p_.size() ? p_[i_] : '\0';
  }

  bool next_is_digit() {
    std::size_t k = i_ + 1;
    while (k < p_.size() && (p_[k] == ' ' || p_[k] == '\t')) ++k;
    return k < p_.size() && std::isdigit(static_cast<unsigned char>(p_[k]));
  }

  // Unsigned number (blanks inside are ignored); -1 when there is none.
  int number() {
    int v = -1;
    while (true) {
      skip_blanks();
      if (i_ >= p_.size() || !std::isdigit(static_cast<unsigned char>(p_[i_]))) break;
      v = std::min(max_count, (v < 0 ? 0 : v) * 10 + (p_[i_] - '0'));
      ++i_;
    }
    return v;
  }

  // Text between quotes; a doubled quote stands for one.  An unclosed text
  // runs to the end of the layout.
  std::string quoted(char q) {
    std::string s;
    ++i_;
    while (i_ < p_.size()) {
      char c = p_[i_++];
      if (c == q) {
        if (i_ < p_.size() && p_[i_] == q) {
          s += q;
          ++i_;
          continue;
        }
        break;
      }
      s += c;
    }
    return s;
  }

  // One operation, wrapped in a plain loop when it carries a repeat count.
  // Such a loop is not a parenthesised group, so it is never a reversion point.
  static void emit(program& prog, const op& o, int rep) {
    if (rep < 0 || rep == 1) {
      prog.ops.push_back(o);
      return;
    }
    op a{op_t::open};
    a.count = rep;
    std::size_t ia = prog.ops.size();
    prog.ops.push_back(a);
    prog.ops.push_back(o);
    op z{op_t::close};
    z.match = ia;
    prog.ops[ia].match = prog.ops.size();
    prog.ops.push_back(z);
  }

  static void close_group(program& prog, std::vector<std::size_t>& open) {
    op z{op_t::close};
    z.match = open.back();
    prog.ops[open.back()].match = prog.ops.size();
    prog.ops.push_back(z);
    open.pop_back();
  }
};

std::string stars(int w) { return std::string(static_cast<std::size_t>(w > 0 ? w : 1), '*'); }

// Right-justify s in w columns; too long gives asterisks; w = 0 means as is.
std::string justify(const std::string& s, int w) {
  if (w <= 0) return s;
  std::size_t n = static_cast<std::size_t>(w);
  if (s.size() > n) return stars(w);
  return std::string(n - s.size(), ' ') + s;
}

// Text in Aw: the leftmost w characters, or right-justified when shorter.
std::string text_field(const std::string& s, int w) {
  if (w < 0) return s;
  std::size_t n = static_cast<std::size_t>(w);
  if (s.size() >= n) return s.substr(0, n);
  return std::string(n - s.size(), ' ') + s;
}

std::string printf_string(const char* fmt, int prec, double x) {
  int n = std::snprintf(nullptr, 0, fmt, prec, x);
  if (n <= 0) return std::string();
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(s.data(), s.size(), fmt, prec, x);
  s.resize(static_cast<std::size_t>(n));
  return s;
}

std::string format_int(long long v, int w, int m) {
  bool neg = v < 0;
  unsigned long long a = neg ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  std::string digits = std::to_string(a);
  if (m == 0 && a == 0) digits.clear();
  if (m > 0 && digits.size() < static_cast<std::size_t>(m))
    digits.insert(0, static_cast<std::size_t>(m) - digits.size(), '0');
  std::string s = (neg ? "-" : "") + digits;
  if (w <= 0) return s.empty() ? std::string(" ") : s;
  return justify(s, w);
}

// NaN and infinities as gfortran writes them in F and E fields.
std::string format_nonfinite(double v, int w) {
  if (std::isnan(v)) return w <= 0 ? std::string("NaN") : (w < 3 ? stars(w) : justify("NaN", w));
  if (std::signbit(v)) {
    if (w <= 0) return "-Inf";
    if (w < 4) return stars(w);
    return justify(w >= 9 ? "-Infinity" : "-Inf", w);
  }
  if (w <= 0) return "Inf";
  if (w < 3) return stars(w);
  return justify(w >= 8 ? "Infinity" : "Inf", w);
}

// Sign and body into w columns, dropping an optional leading zero ("0.")
// only when the field has no room for it.
std::string fit_number(bool neg, std::string body, int w) {
  bool optional_zero = body.size() > 2 && body[0] == '0' && body[1] == '.';
  std::string sign = neg ? "-" : "";
  if (w <= 0) {
    if (optional_zero) body.erase(0, 1);
    return sign + body;
  }
  std::size_t n = static_cast<std::size_t>(w);
  if (sign.size() + body.size() <= n) return justify(sign + body, w);
  if (optional_zero && sign.size() + body.size() - 1 <= n) return justify(sign + body.substr(1), w);
  return stars(w);
}

// Fw.d: the exact binary value rounded to d decimals (glibc's conversion is
// exact and rounds ties to even, as gfortran does).
std::string format_f(double v, int w, int d) {
  if (!std::isfinite(v)) return format_nonfinite(v, w);
  if (d < 0) d = 0;
  std::string body = printf_string("%.*f", d, std::fabs(v));
  if (d == 0) body += '.';
  return fit_number(std::signbit(v), body, w);
}

// Ew.d (and Dw.d): mantissa 0.d...d, then the exponent.
std::string format_e(double v, int w, int d, int e, char letter) {
  if (!std::isfinite(v)) return format_nonfinite(v, w);
  if (d <= 0) return stars(w);  // no digit to show the value with
  double x = std::fabs(v);
  std::string digits;
  int ex = 0;
  if (x == 0) {
    digits.assign(static_cast<std::size_t>(d), '0');
  } else {
    std::string s = printf_string("%.*e", d - 1, x);  // D.DDDe+XX
    std::size_t epos = s.find('e');
    if (epos == std::string::npos) return stars(w);
    for (std::size_t k = 0; k < epos; ++k)
      if (s[k] != '.') digits += s[k];
    ex = std::atoi(s.c_str() + epos + 1) + 1;
  }
  int aex = ex < 0 ? -ex : ex;
  std::string es = std::to_string(aex);
  std::string exp;
  char esign = ex < 0 ? '-' : '+';
  if (e <= 0) {
    if (aex <= 99)
      exp = std::string(1, letter) + esign + (aex < 10 ? "0" : "") + es;
    else if (aex <= 999)
      exp = std::string(1, esign) + es;  // the letter gives way to a third digit
    else
      return stars(w);
  } else {
    if (es.size() > static_cast<std::size_t>(e)) return stars(w);
    exp = std::string(1, letter) + esign + std::string(static_cast<std::size_t>(e) - es.size(), '0') + es;
  }
  return fit_number(std::signbit(v), "0." + digits + exp, w);
}

// A number that meets an A descriptor is shown right-justified in the field.
std::string number_as_text(const fitem& it, int w) {
  std::string s = it.kind == fitem::k_int ? std::to_string(it.i) : printf_string("%.*g", 7, it.r);
  return w < 0 ? s : justify(s, w);
}

std::string field(const op& o, const fitem& it) {
  if (it.kind == fitem::k_text && o.code != 'A') return text_field(it.s, o.w <= 0 ? -1 : o.w);
  int w = o.w < 0 ? 0 : o.w;
  switch (o.code) {
    case 'I': {
      if (it.kind == fitem::k_int) return format_int(it.i, w, o.d);
      double t = std::trunc(it.r);  // a real in an integer field is truncated
      if (!(std::fabs(t) < 9.2e18)) return stars(w);
      return format_int(static_cast<long long>(t), w, o.d);
    }
    case 'F':
      return format_f(it.kind == fitem::k_int ? static_cast<double>(it.i) : it.r, w, o.d);
    case 'E':
    case 'D':
      return format_e(it.kind == fitem::k_int ? static_cast<double>(it.i) : it.r, w, o.d, o.e, o.code);
    default:  // 'A'
      if (it.kind != fitem::k_text) return number_as_text(it, o.w);
      return text_field(it.s, o.w);
  }
}

struct records {
  std::string out;
  std::string rec;
  std::size_t pending = 0;  // blanks of X not yet written: dropped at a record end
  void put(const std::string& s) {
    rec.append(pending, ' ');
    pending = 0;
    rec += s;
  }
  void end() {
    out += rec;
    out += '\n';
    rec.clear();
    pending = 0;
  }
  bool full() const { return out.size() + rec.size() + pending > max_output; }
};

std::string run(const program& prog, std::span<const fitem> items) {
  struct frame {
    std::size_t open;
    int left;
  };
  const std::vector<op>& ops = prog.ops;
  records r;
  std::vector<frame> stack;
  std::size_t pc = 0;
  std::size_t k = 0;
  bool used = false;  // an item was written since the start or the last reversion
  while (!r.full()) {
    if (pc >= ops.size()) {
      if (k >= items.size() || !prog.has_data || !used) break;
      r.end();
      pc = prog.revert;
      stack.clear();
      used = false;
      continue;
    }
    const op& o = ops[pc];
    bool stop = false;
    switch (o.t) {
      case op_t::data:
        if (k >= items.size()) {
          stop = true;
          break;
        }
        r.put(field(o, items[k++]));
        used = true;
        ++pc;
        break;
      case op_t::text:
        r.put(o.s);
        ++pc;
        break;
      case op_t::space:
        r.pending += static_cast<std::size_t>(o.count);
        ++pc;
        break;
      case op_t::slash:
        r.end();
        ++pc;
        break;
      case op_t::colon:
        if (k >= items.size()) stop = true;
        ++pc;
        break;
      case op_t::open:
        if (o.count <= 0) {
          pc = o.match + 1;
          break;
        }
        stack.push_back({pc, o.count});
        ++pc;
        break;
      case op_t::close:
        if (!stack.empty() && --stack.back().left > 0) {
          pc = stack.back().open + 1;
        } else {
          if (!stack.empty()) stack.pop_back();
          ++pc;
        }
        break;
    }
    if (stop) break;
  }
  r.end();
  return std::move(r.out);
}

}  // namespace

std::string format(std::string_view layout, std::span<const fitem> items) {
  return run(parser(layout).parse(), items);
}

std::string format(std::string_view layout, std::initializer_list<fitem> items) {
  return format(layout, std::span<const fitem>(items.begin(), items.size()));
}

void write(std::ostream& os, std::string_view layout, std::span<const fitem> items) {
  std::string s = format(layout, items);
  os.write(s.data(), static_cast<std::streamsize>(s.size()));
}

void write(std::ostream& os, std::string_view layout, std::initializer_list<fitem> items) {
  write(os, layout, std::span<const fitem>(items.begin(), items.size()));
}

}  // namespace korva::io
