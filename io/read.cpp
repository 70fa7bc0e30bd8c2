// Fortran-style input: list-directed reads over records and fixed-column
// reads of one record.
#include "io/read.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace korva::io {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Separators of a free-format record besides the comma.  A CR or LF can only
// appear in an internal text; they count as blanks there.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A whole text as a 32-bit integer: optional sign, then digits only.
bool parse_int(std::string_view s, std::int32_t& out) {
  std::size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  if (i == s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (!is_digit(s[i])) return false;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > 2147483647LL) return false;
  out = static_cast<std::int32_t>(v);
  return true;
}

// A whole text as a single-precision number in the Fortran forms
//   [sign] digits [. [digits]] [exponent]   or   [sign] . digits [exponent]
// with the exponent E, e, D or d followed by [sign] digits, or a bare sign
// followed by digits (1.5-3 is 1.5e-3).  Without a decimal point the value
// is scaled by 10^-implied.  NaN, Inf and values beyond the float range are
// refused; values below it underflow quietly toward zero.
bool parse_real(std::string_view s, int implied, float& out) {
  std::string t;  // normalised text for strtof: [-]mantissa e exponent
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') t += '-';
    ++i;
  }
  std::size_t ndig = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (is_digit(c)) {
      t += c;
      ++ndig;
    } else if (c == '.' && !point) {
      t += c;
      point = true;
    } else {
      break;
    }
  }
  if (ndig == 0) return false;
  long long ex = 0;
  if (i < s.size()) {
    const char c = s[i];
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D')
      ++i;
    else if (c != '+' && c != '-')
      return false;
    bool eneg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) eneg = s[i++] == '-';
    if (i == s.size()) return false;
    for (; i < s.size(); ++i) {
      if (!is_digit(s[i])) return false;
      if (ex < 1000000000LL) ex = ex * 10 + (s[i] - '0');  // saturates far beyond the range
    }
    if (eneg) ex = -ex;
  }
  if (!point) ex -= implied;
  t += 'e';
  t += std::to_string(ex);
  char* end = nullptr;
  const float v = std::strtof(t.c_str(), &end);
  if (end != t.c_str() + t.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

// ---- list-directed reading ----

// Walks the records of one read.  Without a source the read has exactly one
// record, the text given.
struct scanner {
  line_source* src = nullptr;
  std::string buf;
  std::string_view rec;
  std::size_t pos = 0;
  long nrec = 1;             // records of this read so far
  bool at_start = true;      // nothing taken yet
  bool after_value = false;  // a value was taken; its separator not yet

  bool next_record() {
    if (!src || !src->next(buf)) return false;
    rec = buf;
    pos = 0;
    ++nrec;
    return true;
  }
  // Skips blanks and record ends (a blank record is skipped whole).
  bool skip_blanks() {
    for (;;) {
      while (pos < rec.size() && is_blank(rec[pos])) ++pos;
      if (pos < rec.size()) return true;
      if (!next_record()) return false;
    }
  }
};

enum token_t { t_value, t_null, t_slash, t_eof };

// Next value of the list.  A value separator is a comma or a slash with any
// blanks around it, or blanks alone; a record end counts as a blank.  A comma
// with nothing before it since the last separator (or the start) is a null.
token_t next_token(scanner& s, std::string_view& tok) {
  if (s.after_value) {
    s.after_value = false;
    if (!s.skip_blanks()) return t_eof;
    if (s.rec[s.pos] == ',') ++s.pos;
  }
  if (!s.skip_blanks()) return t_eof;
  if (s.at_start) {
    s.at_start = false;
    // A comma opening the read is a null only on its first record; after
    // blank records it is the separator that follows them.
    if (s.rec[s.pos] == ',' && s.nrec > 1) {
      ++s.pos;
      if (!s.skip_blanks()) return t_eof;
    }
  }
  const char c = s.rec[s.pos];
  if (c == ',') {
    ++s.pos;
    return t_null;
  }
  if (c == '/') return t_slash;
  const std::size_t b = s.pos;
  while (s.pos < s.rec.size()) {
    const char d = s.rec[s.pos];
    if (is_blank(d) || d == ',' || d == '/') break;
    ++s.pos;
  }
  tok = s.rec.substr(b, s.pos - b);
  s.after_value = true;
  return t_value;
}

bool store(const ritem& it, std::string_view v) {
  if (it.kind == ritem::k_int) return parse_int(v, *static_cast<std::int32_t*>(it.p));
  return parse_real(v, 0, *static_cast<float*>(it.p));
}

// State of one list-directed read that may be fed its targets piecewise.
struct list_state {
  scanner s;
  long long rep = 0;  // values still to give from the last r*c or r*
  std::string_view val;
  bool null = false;
  int ended = 1;  // 1 while open; else the status that closed the read
};

int read_list(list_state& st, std::span<const ritem> items) {
  scanner& s = st.s;
  if (st.ended != 1) return st.ended == read_ok ? read_ok : st.ended;
  for (const ritem& it : items) {
    if (st.rep == 0) {
      std::string_view tok;
      switch (next_token(s, tok)) {
        case t_eof:
          return st.ended = read_eof;
        case t_slash:
          // A slash ends the read: this and later targets keep their values.
          return st.ended = read_ok;
        case t_null:
          st.rep = 1;
          st.null = true;
          break;
        case t_value: {
          const std::size_t star = tok.find('*');
          if (star == std::string_view::npos) {
            st.rep = 1;
            st.val = tok;
            st.null = false;
            break;
          }
          // r*c gives c r times; r* gives r nulls.  r is an unsigned integer above 0.
          std::int32_t r = 0;
          const std::string_view rs = tok.substr(0, star);
          if (rs.empty() || rs[0] == '+' || !parse_int(rs, r) || r < 1) return st.ended = read_error;
          st.rep = r;
          st.val = tok.substr(star + 1);
          st.null = st.val.empty();
          break;
        }
      }
    }
    --st.rep;
    if (!st.null && !store(it, st.val)) return st.ended = read_error;
  }
  return read_ok;
}

bool free_targets_ok(std::span<const ritem> items) {
  for (const ritem& it : items)
    if (!it.p || (it.kind != ritem::k_int && it.kind != ritem::k_real)) return false;
  return true;
}

// ---- fixed-column reading ----

struct desc {
  char kind;  // 'A', 'I', 'F' or 'X'
  std::size_t w;
  int d;
};

constexpr std::size_t max_width = 1000000;
constexpr std::size_t max_descs = 100000;

void skip_spaces(std::string_view s, std::size_t& i) {
  while (i < s.size() && s[i] == ' ') ++i;
}

bool layout_number(std::string_view s, std::size_t& i, std::size_t& n) {
  if (i >= s.size() || !is_digit(s[i])) return false;
  n = 0;
  for (; i < s.size() && is_digit(s[i]); ++i) {
    n = n * 10 + static_cast<std::size_t>(s[i] - '0');
    if (n > max_width) return false;
  }
  return true;
}

// Layout list into a flat list of descriptors; groups n(...) are unrolled.
bool parse_layout(std::string_view s, std::size_t& i, std::vector<desc>& out, int depth) {
  if (depth > 16) return false;
  for (;;) {
    skip_spaces(s, i);
    if (i == s.size()) return depth == 0;
    if (s[i] == ')') {
      ++i;
      return depth > 0;
    }
    if (s[i] == ',') {
      ++i;
      continue;
    }
    std::size_t r = 1;
    if (is_digit(s[i])) {
      if (!layout_number(s, i, r) || r == 0) return false;
      skip_spaces(s, i);
      if (i < s.size() && s[i] == '*') ++i;
      skip_spaces(s, i);
    }
    if (i == s.size()) return false;
    const char c = static_cast<char>(s[i] >= 'a' && s[i] <= 'z' ? s[i] - 'a' + 'A' : s[i]);
    ++i;
    if (c == '(') {
      std::vector<desc> g;
      if (!parse_layout(s, i, g, depth + 1)) return false;
      if (g.size() * r + out.size() > max_descs) return false;
      for (std::size_t k = 0; k < r; ++k) out.insert(out.end(), g.begin(), g.end());
    } else if (c == 'X') {
      out.push_back({'X', r, 0});
    } else if (c == 'A' || c == 'I' || c == 'F') {
      std::size_t w = 0, d = 0;
      if (!layout_number(s, i, w) || w == 0) return false;
      if (c == 'F') {
        if (i >= s.size() || s[i] != '.') return false;
        ++i;
        if (!layout_number(s, i, d)) return false;
      }
      if (r + out.size() > max_descs) return false;
      for (std::size_t k = 0; k < r; ++k) out.push_back({c, w, static_cast<int>(d)});
    } else {
      return false;
    }
    if (out.size() > max_descs) return false;
  }
}

bool kind_fits(char c, ritem::kind_t k) {
  return (c == 'A' && k == ritem::k_text) || (c == 'I' && k == ritem::k_int) ||
         (c == 'F' && k == ritem::k_real);
}

}  // namespace

struct free_reader::state : list_state {};

free_reader::free_reader(line_source& src) : st_(std::make_unique<state>()) {
  st_->s.src = &src;
  st_->s.nrec = 0;
  if (!st_->s.next_record()) st_->ended = read_eof;
}

free_reader::~free_reader() = default;

int free_reader::get(std::span<const ritem> items) {
  if (!free_targets_ok(items)) return st_->ended = read_error;
  return read_list(*st_, items);
}

int free_reader::get(std::initializer_list<ritem> items) {
  return get(std::span<const ritem>(items.begin(), items.size()));
}

int read_free(line_source& src, std::span<const ritem> items) {
  if (!free_targets_ok(items)) return read_error;
  list_state st;
  st.s.src = &src;
  st.s.nrec = 0;
  if (!st.s.next_record()) return read_eof;  // an empty list still takes one record
  return read_list(st, items);
}

int read_free(line_source& src, std::initializer_list<ritem> items) {
  return read_free(src, std::span<const ritem>(items.begin(), items.size()));
}

int read_free_text(std::string_view text, std::span<const ritem> items) {
  if (!free_targets_ok(items)) return read_error;
  list_state st;
  st.s.rec = text;
  return read_list(st, items);
}

int read_free_text(std::string_view text, std::initializer_list<ritem> items) {
  return read_free_text(text, std::span<const ritem>(items.begin(), items.size()));
}

int read_fixed(std::string_view record, std::string_view layout, std::span<const ritem> items) {
  std::vector<desc> ds;
  std::size_t i = 0;
  if (!parse_layout(layout, i, ds, 0)) return read_error;
  // Every target needs a field of its kind; checked before anything is stored.
  std::size_t k = 0;
  for (const desc& d : ds) {
    if (d.kind == 'X' || k == items.size()) continue;
    if (!items[k].p || !kind_fits(d.kind, items[k].kind)) return read_error;
    ++k;
  }
  if (k < items.size()) return read_error;

  std::size_t pos = 0;  // column, may run past the record: the rest is blank
  k = 0;
  for (const desc& d : ds) {
    if (k == items.size()) break;
    const std::size_t b = std::min(pos, record.size());
    const std::string_view f = record.substr(b, std::min(d.w, record.size() - b));
    pos += d.w;
    if (d.kind == 'X') continue;
    const ritem& it = items[k++];
    if (d.kind == 'A') {
      std::string& t = *static_cast<std::string*>(it.p);
      t.assign(f);
      t.resize(d.w, ' ');
      continue;
    }
    std::string digits;  // the field without its blanks
    for (char c : f)
      if (c != ' ') digits += c;
    if (d.kind == 'I') {
      auto& x = *static_cast<std::int32_t*>(it.p);
      if (digits.empty())
        x = 0;
      else if (!parse_int(digits, x))
        return read_error;
    } else {
      auto& x = *static_cast<float*>(it.p);
      if (digits.empty())
        x = 0.0f;
      else if (!parse_real(digits, d.d, x))
        return read_error;
    }
  }
  return read_ok;
}

int read_fixed(std::string_view record, std::string_view layout, std::initializer_list<ritem> items) {
  return read_fixed(record, layout, std::span<const ritem>(items.begin(), items.size()));
}

int read_text(line_source& src, std::string& text, std::size_t w) {
  std::string line;
  if (!src.next(line)) return read_eof;
  if (line.size() > w) line.resize(w);
  line.resize(w, ' ');
  text = std::move(line);
  return read_ok;
}

}  // namespace korva::io
