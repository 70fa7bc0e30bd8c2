// Loading and listing of the symmetry operators of one space group.
#include "crystal/raum.h"

#include <string>
#include <vector>

#include "io/format.h"

namespace korva {

namespace {

// Snaps a stored translation to its exact single-precision fraction and
// returns its three-character text.  The table keeps six decimals (one
// entry only three), so the bands are generous.
std::string snap_translation(float& t) {
  if (t > 0.8f && t < 0.9f) {
    t = 5.0f / 6.0f;
    return "5/6";
  }
  if (t > 0.73f && t < 0.76f) {
    t = 0.75f;
    return "3/4";
  }
  if (t > 0.65f && t < 0.67f) {
    t = 2.0f / 3.0f;
    return "2/3";
  }
  if (t > 0.49f && t < 0.51f) {
    t = 0.5f;
    return "1/2";
  }
  if (t > 0.32f && t < 0.34f) {
    t = 1.0f / 3.0f;
    return "1/3";
  }
  if (t > 0.24f && t < 0.26f) {
    t = 0.25f;
    return "1/4";
  }
  if (t > 0.15f && t < 0.17f) {
    t = 1.0f / 6.0f;
    return "1/6";
  }
  if (t > -0.1f && t < 0.1f) return "   ";
  return "***";
}

// Two-character field of one matrix coefficient in column k (x, y, z).
std::string coef_field(float c, int k) {
  static const char axis[3] = {'x', 'y', 'z'};
  if (c == 1.0f) return std::string{'+', axis[k]};
  if (c == -1.0f) return std::string{'-', axis[k]};
  return "  ";
}

}  // namespace

void raumgr(intensity_data& d, int32 sg_nr, std::string& sg_name) {
  if (sg_nr < 1 || sg_nr > 230) {
    io::write(*d.out, R"(" Space-group number out of range (1..230):",I6)", {sg_nr});
    d.err_flag = 1;
    return;
  }
  const sg_entry& g = sg_table[sg_nr - 1];

  d.ns = g.count;
  d.centro = (g.code == 1) ? 2 : 1;
  sg_name = std::string(g.name, 30);

  for (int32 i = 0; i < d.ns; ++i)
    for (int r = 0; r < 3; ++r) {
      d.sym_t[i][r] = g.tra[i][r];
      for (int k = 0; k < 3; ++k) d.sym_r[i][r][k] = g.rot[i][r][k];
    }

  if (d.centro == 1)
    io::write(*d.out, R"(" Space-group-Nr.   : ",I3,5X," Centrosymmetric     Space-group: ",A30)",
              {sg_nr, sg_name});
  else
    io::write(*d.out, R"(" Space-group-Nr.   : ",I3,5X," Non-Centrosymmetric Space-group: ",A30)",
              {sg_nr, sg_name});

  // Operator text: per row the translation (A3) and the x, y, z fields
  // (3*A2); the translations are snapped on the way.
  std::vector<std::string> op_text(d.ns);
  for (int32 i = 0; i < d.ns; ++i) {
    std::string s;
    for (int r = 0; r < 3; ++r) {
      if (r > 0) s += ',';
      s += snap_translation(d.sym_t[i][r]);
      for (int k = 0; k < 3; ++k) s += coef_field(d.sym_r[i][r][k], k);
    }
    op_text[i] = s;
  }

  // Four operators per line, each followed by ";" and, inside a line, two
  // blanks; nothing follows the last operator.
  io::write(*d.out, R"(I3," symmetry operators:")", {d.ns});
  std::string line;
  for (int32 i = 0; i < d.ns; ++i) {
    line += op_text[i];
    if (i == d.ns - 1) break;
    line += ';';
    if (i % 4 != 3) {
      line += "  ";
    } else {
      io::write(*d.out, "A", {line});
      line.clear();
    }
  }
  io::write(*d.out, "A", {line});
}

}  // namespace korva
