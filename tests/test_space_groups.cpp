// Space-group table, loading of the operators (raumgr) and the centring
// expansion of the atom list (bravai).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "crystal/brav.h"
#include "crystal/raum.h"

using namespace korva;

namespace {

struct op {
  float r[3][3] = {};
  float t[3] = {};
};

// "-x+y,-x,z+2/3" -> matrix and translation (fractions in single precision).
op parse_op(const std::string& s) {
  op o;
  int row = 0;
  std::size_t p = 0;
  while (p <= s.size()) {
    if (p == s.size() || s[p] == ',') {
      ++row;
      ++p;
      if (p > s.size()) break;
      continue;
    }
    float sign = 1;
    if (s[p] == '+' || s[p] == '-') sign = (s[p++] == '-') ? -1.0f : 1.0f;
    if (s[p] >= 'x' && s[p] <= 'z') {
      o.r[row][s[p] - 'x'] = sign;
      ++p;
    } else {
      const int num = s[p] - '0';
      const int den = s[p + 2] - '0';
      o.t[row] = static_cast<float>(num) / static_cast<float>(den);
      p += 3;
    }
  }
  return o;
}

std::vector<op> parse_ops(const std::string& list) {
  std::vector<op> ops;
  std::stringstream ss(list);
  std::string one;
  while (std::getline(ss, one, ';')) ops.push_back(parse_op(one));
  return ops;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> v;
  std::stringstream ss(text);
  std::string l;
  while (std::getline(ss, l)) v.push_back(l);
  return v;
}

std::string pad30(const std::string& s) { return s + std::string(30 - s.size(), ' '); }

struct loaded {
  intensity_data d;
  std::ostringstream os;
  std::string name;
  explicit loaded(int32 nr) {
    d.out = &os;
    raumgr(d, nr, name);
  }
};

}  // namespace

// ---------------------------------------------------------------- table rows

struct row_case {
  int32 nr;
  const char* name;
  int32 count;
  int32 code;
  const char* ops;  // leading operators, ';' separated
};

TEST(SpaceGroupTable, ReferenceRows) {
  const row_case cases[] = {
      {1, "P 1", 1, 1, "x,y,z"},
      {2, "P -1", 1, 2, "x,y,z"},
      {14, "P 1 21/c 1", 2, 2, "x,y,z;-x,y+1/2,-z+1/2"},
      {48, "P n n n ; origin at centre", 4, 2,
       "x,y,z;-x+1/2,-y+1/2,z;-x+1/2,y,-z+1/2;x,-y+1/2,-z+1/2"},
      {146, "R 3  ; rhombohedral axes", 3, 1, "x,y,z;z,x,y;y,z,x"},
      {150, "P 3 2 1", 6, 1, "x,y,z;-y,x-y,z;-x+y,-x,z;y,x,-z;x-y,-y,-z;-x,-x+y,-z"},
      {227, "F d -3 m ; origin at centre", 24, 2,
       "x,y,z;-x+3/4,-y+1/4,z+1/2;-x+1/4,y+1/2,-z+3/4;x+1/2,-y+3/4,-z+1/4;z,x,y"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nr);
    const sg_entry& g = sg_table[c.nr - 1];
    EXPECT_EQ(std::string(g.name), pad30(c.name));
    EXPECT_EQ(g.count, c.count);
    EXPECT_EQ(g.code, c.code);

    loaded L(c.nr);
    EXPECT_EQ(L.name, pad30(c.name));
    EXPECT_EQ(L.d.ns, c.count);
    EXPECT_EQ(L.d.centro, c.code == 1 ? 2 : 1);
    const auto want = parse_ops(c.ops);
    for (std::size_t i = 0; i < want.size(); ++i)
      for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(L.d.sym_t[i][r], want[i].t[r]) << "operator " << i + 1 << " row " << r + 1;
        for (int k = 0; k < 3; ++k)
          EXPECT_EQ(L.d.sym_r[i][r][k], want[i].r[r][k]) << "operator " << i + 1;
      }
  }
}

TEST(SpaceGroupTable, NamesWithIrregularSpacing) {
  EXPECT_EQ(std::string(sg_table[84].name), pad30("P 4/n   ; origin at centre"));
  EXPECT_EQ(std::string(sg_table[87].name), pad30("I 41/a  ; origin at centre"));
  EXPECT_EQ(std::string(sg_table[166].name), pad30("R -3 c ;rhombohedral axes"));
  EXPECT_EQ(std::string(sg_table[191].name), pad30("P6/m c c"));
}

TEST(SpaceGroupTable, CountsAndCodesByNumber) {
  auto count_of = [](int32 nr) {
    if (nr <= 2) return 1;
    if (nr <= 15) return 2;
    if (nr <= 88) return 4;
    if (nr <= 142) return 8;
    if (nr <= 148) return 3;
    if (nr <= 176) return 6;
    if (nr <= 206) return 12;
    return 24;
  };
  const int32 acentric[][2] = {{1, 1},     {3, 9},     {16, 46},   {75, 82},
                               {89, 122},  {143, 146}, {149, 161}, {168, 174},
                               {177, 190}, {195, 199}, {207, 220}};
  for (int32 nr = 1; nr <= 230; ++nr) {
    bool acen = false;
    for (const auto& r : acentric) acen = acen || (nr >= r[0] && nr <= r[1]);
    loaded L(nr);
    EXPECT_EQ(L.d.ns, count_of(nr)) << nr;
    EXPECT_EQ(L.d.centro, acen ? 2 : 1) << nr;
    EXPECT_EQ(L.d.err_flag, 0);
  }
}

// Group 169 keeps its 5/6 screw component with three decimals only; loading
// must give the same exact fraction as the other 6-fold screw groups.
TEST(SpaceGroupTable, Group169SnapsToFiveSixths) {
  EXPECT_EQ(sg_table[168].tra[4][2], 0.833f);
  EXPECT_EQ(sg_table[169].tra[5][2], 0.833333f);
  loaded L169(169), L170(170);
  EXPECT_EQ(L169.d.sym_t[4][2], 5.0f / 6.0f);
  EXPECT_EQ(L169.d.sym_t[4][2], L170.d.sym_t[5][2]);
  EXPECT_EQ(L169.d.sym_t[5][2], 1.0f / 6.0f);
  EXPECT_EQ(L169.d.sym_t[1][2], 1.0f / 3.0f);
  EXPECT_EQ(L169.d.sym_t[2][2], 2.0f / 3.0f);
  const auto l = lines_of(L169.os.str());
  ASSERT_EQ(l.size(), 4u);
  // operator 5 = y,-x+y,z+5/6 opens line 3
  EXPECT_EQ(l[3].substr(0, 29), "     +y  ,   -x+y  ,5/6    +z");
}

// ------------------------------------------------------------------ listing

TEST(SpaceGroupListing, OneOperatorBothHeaders) {
  loaded L1(1), L2(2);
  const std::string id = "   +x    ,     +y  ,       +z";
  EXPECT_EQ(L1.os.str(), " Space-group-Nr.   :   1      Non-Centrosymmetric Space-group: " + pad30("P 1") +
                             "\n  1 symmetry operators:\n" + id + "\n");
  EXPECT_EQ(L2.os.str(), " Space-group-Nr.   :   2      Centrosymmetric     Space-group: " + pad30("P -1") +
                             "\n  1 symmetry operators:\n" + id + "\n");
}

TEST(SpaceGroupListing, TwoOperatorsOnOneLine) {
  loaded L(14);
  const auto l = lines_of(L.os.str());
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[1], "  2 symmetry operators:");
  EXPECT_EQ(l[2], "   +x    ,     +y  ,       +z;     -x    ,1/2  +y  ,1/2    -z");
}

TEST(SpaceGroupListing, SixOperatorsLineOfFourThenTwo) {
  loaded L(150);
  const auto l = lines_of(L.os.str());
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[1], "  6 symmetry operators:");
  EXPECT_EQ(l[2],
            "   +x    ,     +y  ,       +z;  "
            "     -y  ,   +x-y  ,       +z;  "
            "   -x+y  ,   -x    ,       +z;  "
            "     +y  ,   +x    ,       -z;");
  EXPECT_EQ(l[3],
            "   +x-y  ,     -y  ,       -z;  "
            "   -x    ,   -x+y  ,       -z");
}

TEST(SpaceGroupListing, TwentyFourOperatorsOnSixLines) {
  loaded L(227);
  const std::string out = L.os.str();
  const auto l = lines_of(out);
  ASSERT_EQ(l.size(), 8u);
  EXPECT_EQ(l[0], " Space-group-Nr.   : 227      Centrosymmetric     Space-group: " +
                      pad30("F d -3 m ; origin at centre"));
  EXPECT_EQ(l[1], " 24 symmetry operators:");
  EXPECT_EQ(l[2],
            "   +x    ,     +y  ,       +z;  "
            "3/4-x    ,1/4  -y  ,1/2    +z;  "
            "1/4-x    ,1/2  +y  ,3/4    -z;  "
            "1/2+x    ,3/4  -y  ,1/4    -z;");
  for (int i = 2; i < 8; ++i) {
    SCOPED_TRACE(i);
    const bool last = (i == 7);
    EXPECT_EQ(l[i].size(), last ? 125u : 126u);
    EXPECT_EQ(l[i].back() == ';', !last);
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(l[i].substr(29 * k + 3 * (k - 1), 3), ";  ");
  }
  EXPECT_EQ(out.back(), '\n');
}

TEST(SpaceGroupLoading, SlotsAboveCountUntouched) {
  intensity_data d;
  std::ostringstream os;
  d.out = &os;
  for (auto& t : d.sym_t) t[0] = t[1] = t[2] = 7.0f;
  d.sym_r[2][0][0] = 7.0f;
  std::string name;
  raumgr(d, 14, name);
  EXPECT_EQ(d.sym_t[2][1], 7.0f);
  EXPECT_EQ(d.sym_r[2][0][0], 7.0f);
  EXPECT_EQ(d.sym_t[1][1], 0.5f);
}

TEST(SpaceGroupLoading, NumberOutsideTableStopsOrderly) {
  for (int32 nr : {0, -5, 231}) {
    intensity_data d;
    std::ostringstream os;
    d.out = &os;
    d.ns = 3;
    std::string name = "keep";
    raumgr(d, nr, name);
    EXPECT_EQ(d.err_flag, 1) << nr;
    EXPECT_EQ(d.ns, 3);
    EXPECT_EQ(name, "keep");
    EXPECT_FALSE(os.str().empty());
  }
}

// --------------------------------------------------------- group closure

namespace {

struct dop {
  int r[3][3];
  double t[3];
};

double frac(double x) { return x - std::floor(x); }

bool same_mod_lattice(const dop& a, const dop& b) {
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 3; ++k)
      if (a.r[i][k] != b.r[i][k]) return false;
    double d = frac(a.t[i] - b.t[i]);
    if (d > 1e-5 && d < 1 - 1e-5) return false;
  }
  return true;
}

dop product(const dop& a, const dop& b) {
  dop c{};
  for (int i = 0; i < 3; ++i) {
    c.t[i] = a.t[i];
    for (int k = 0; k < 3; ++k) {
      c.t[i] += a.r[i][k] * b.t[k];
      for (int m = 0; m < 3; ++m) c.r[i][k] += a.r[i][m] * b.r[m][k];
    }
  }
  return c;
}

std::vector<std::array<double, 3>> centring_of(char letter) {
  switch (letter) {
    case 'I': return {{0, 0, 0}, {.5, .5, .5}};
    case 'A': return {{0, 0, 0}, {0, .5, .5}};
    case 'B': return {{0, 0, 0}, {.5, 0, .5}};
    case 'C': return {{0, 0, 0}, {.5, .5, 0}};
    case 'F': return {{0, 0, 0}, {.5, .5, 0}, {.5, 0, .5}, {0, .5, .5}};
    default: return {{0, 0, 0}};
  }
}

}  // namespace

// The stored operators, completed by the centring translations and (for
// centrosymmetric groups) the inversion at the origin, must form a group
// modulo lattice translations, with every element listed once.
TEST(SpaceGroupTable, EveryGroupClosesUnderCentringAndInversion) {
  for (int32 nr = 1; nr <= 230; ++nr) {
    SCOPED_TRACE(nr);
    loaded L(nr);
    const auto cent = centring_of(L.name[0]);
    const int signs = (L.d.centro == 1) ? 2 : 1;
    std::vector<dop> g;
    for (int32 i = 0; i < L.d.ns; ++i)
      for (const auto& c : cent)
        for (int s = 0; s < signs; ++s) {
          const int f = (s == 0) ? 1 : -1;
          dop o{};
          for (int r = 0; r < 3; ++r) {
            o.t[r] = f * L.d.sym_t[i][r] + c[r];
            for (int k = 0; k < 3; ++k) {
              const float e = L.d.sym_r[i][r][k];
              ASSERT_TRUE(e == 0.0f || e == 1.0f || e == -1.0f);
              o.r[r][k] = f * static_cast<int>(e);
            }
          }
          g.push_back(o);
        }

    const dop identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}};
    EXPECT_TRUE(same_mod_lattice(g[0], identity));
    for (std::size_t a = 0; a < g.size(); ++a)
      for (std::size_t b = a + 1; b < g.size(); ++b)
        ASSERT_FALSE(same_mod_lattice(g[a], g[b])) << "elements " << a << " and " << b << " coincide";
    for (const auto& a : g)
      for (const auto& b : g) {
        const dop p = product(a, b);
        bool found = false;
        for (const auto& m : g)
          if (same_mod_lattice(p, m)) {
            found = true;
            break;
          }
        ASSERT_TRUE(found);
      }
  }
}

// ------------------------------------------------------------------ bravai

namespace {

intensity_data atoms(const std::vector<std::array<float, 3>>& xyz) {
  intensity_data d;
  const int32 n = static_cast<int32>(xyz.size());
  d.n_atoms = n;
  d.xa.assign(4 * n, {0, 0, 0});
  d.bt.assign(4 * n, {0, 0, 0, 0, 0, 0});
  d.u.assign(4 * n, {0, 0, 0, 0, 0, 0});
  d.afact.assign(4 * n, 0);
  d.fnr.assign(4 * n, 0);
  for (int32 i = 0; i < n; ++i) {
    d.xa[i] = xyz[i];
    d.fnr[i] = static_cast<float>(i + 1);
    d.afact[i] = 0.1f * (i + 1);
    for (int k = 0; k < 6; ++k) d.bt[i][k] = 0.001f * (10 * (i + 1) + k);
  }
  return d;
}

}  // namespace

TEST(Bravai, FaceCentredGivesFourBlocksInOrder) {
  const std::vector<std::array<float, 3>> in = {{0.125f, 0.25f, 0.375f}, {0.75f, 0.0f, 0.5f}, {0, 0, 0}};
  intensity_data d = atoms(in);
  bravai(d, "F m -3 m");
  ASSERT_EQ(d.n_atoms, 12);
  const float v[4][3] = {{0, 0, 0}, {0.5f, 0.5f, 0}, {0.5f, 0, 0.5f}, {0, 0.5f, 0.5f}};
  for (int blk = 0; blk < 4; ++blk)
    for (int i = 0; i < 3; ++i) {
      const int j = 3 * blk + i;
      SCOPED_TRACE(j + 1);
      for (int k = 0; k < 3; ++k) EXPECT_EQ(d.xa[j][k], in[i][k] + v[blk][k]);
      EXPECT_EQ(d.fnr[j], d.fnr[i]);
      EXPECT_EQ(d.afact[j], d.afact[i]);
      EXPECT_EQ(d.bt[j], d.bt[i]);
    }
  // copies 4, 7, 10 are atom 1 moved by the three centring vectors
  EXPECT_EQ(d.xa[3], (std::array<float, 3>{0.625f, 0.75f, 0.375f}));
  EXPECT_EQ(d.xa[6], (std::array<float, 3>{0.625f, 0.25f, 0.875f}));
  EXPECT_EQ(d.xa[9], (std::array<float, 3>{0.125f, 0.75f, 0.875f}));
}

TEST(Bravai, SingleVectorLattices) {
  struct {
    const char* name;
    std::array<float, 3> v;
  } cases[] = {{"I 4/m m m", {0.5f, 0.5f, 0.5f}},
               {"A m m 2", {0, 0.5f, 0.5f}},
               {"B", {0.5f, 0, 0.5f}},
               {"C 1 2/c 1", {0.5f, 0.5f, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    intensity_data d = atoms({{0.75f, 0.25f, 0.125f}, {0.3f, 0.4f, 0.9f}});
    bravai(d, c.name);
    ASSERT_EQ(d.n_atoms, 4);
    EXPECT_EQ(d.xa[0], (std::array<float, 3>{0.75f, 0.25f, 0.125f}));
    EXPECT_EQ(d.xa[1], (std::array<float, 3>{0.3f, 0.4f, 0.9f}));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(d.xa[2][k], d.xa[0][k] + c.v[k]);
    EXPECT_EQ(d.fnr[3], 2.0f);
    EXPECT_EQ(d.bt[3], d.bt[1]);
  }
  intensity_data d = atoms({{0.75f, 0, 0}});
  bravai(d, "I 2 3");
  EXPECT_EQ(d.xa[1][0], 1.25f);  // not folded back into the cell
}

TEST(Bravai, PrimitiveAndRhombohedralUnchanged) {
  for (const char* name : {"P 1 21/c 1", "R 3  ; rhombohedral axes", ""}) {
    SCOPED_TRACE(name);
    intensity_data d = atoms({{0.1f, 0.2f, 0.3f}});
    bravai(d, name);
    EXPECT_EQ(d.n_atoms, 1);
    EXPECT_EQ(d.xa[1], (std::array<float, 3>{0, 0, 0}));
  }
}
