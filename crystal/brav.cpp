// Lattice centring applied to the atoms, so the structure-factor sums can run
// over the stored operators alone.
#include "crystal/brav.h"

#include <cstddef>

namespace korva {

namespace {

// Atoms 1..n copied to block*n+1..(block+1)*n, shifted by v.  Shifted
// components are not reduced into the cell; the phases do not care.
void append_block(intensity_data& d, int32 n, int32 block, const float v[3]) {
  for (int32 i = 0; i < n; ++i) {
    const int32 j = n * block + i;
    d.fnr[j] = d.fnr[i];
    d.afact[j] = d.afact[i];
    d.bt[j] = d.bt[i];
    for (int k = 0; k < 3; ++k) d.xa[j][k] = (v[k] != 0.0f) ? d.xa[i][k] + v[k] : d.xa[i][k];
  }
}

// Never write past the arrays, even if a caller sized them short.
void ensure_room(intensity_data& d, int32 atoms) {
  const auto need = static_cast<std::size_t>(atoms);
  if (d.xa.size() < need) d.xa.resize(need);
  if (d.bt.size() < need) d.bt.resize(need);
  if (d.afact.size() < need) d.afact.resize(need);
  if (d.fnr.size() < need) d.fnr.resize(need);
}

}  // namespace

void bravai(intensity_data& d, const std::string& sg_name) {
  static const float v_i[3] = {0.5f, 0.5f, 0.5f};
  static const float v_a[3] = {0.0f, 0.5f, 0.5f};
  static const float v_b[3] = {0.5f, 0.0f, 0.5f};
  static const float v_c[3] = {0.5f, 0.5f, 0.0f};

  const char letter = sg_name.empty() ? ' ' : sg_name[0];
  const int32 n = d.n_atoms;
  if (n <= 0) return;

  const float* single = nullptr;
  if (letter == 'P') return;
  if (letter == 'I') single = v_i;
  else if (letter == 'A') single = v_a;
  else if (letter == 'B') single = v_b;
  else if (letter == 'C') single = v_c;

  if (single) {
    ensure_room(d, 2 * n);
    append_block(d, n, 1, single);
    d.n_atoms = 2 * n;
  } else if (letter == 'F') {
    ensure_room(d, 4 * n);
    append_block(d, n, 1, v_c);
    append_block(d, n, 2, v_b);
    append_block(d, n, 3, v_a);
    d.n_atoms = 4 * n;
  }
}

}  // namespace korva
