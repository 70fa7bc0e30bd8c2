// Built-in space-group table and the routine that loads one group's
// symmetry into the job state.
#pragma once

#include <string>

#include "driver/job_state.h"

namespace korva {

// One space group: centring translations are not stored (the lattice letter
// of the name stands for them); for centrosymmetric groups only the half not
// related by the inversion at the origin is stored.
struct sg_entry {
  char name[31];      // 30 characters, blank-padded
  int32 count;        // stored operators, 1..24
  int32 code;         // 1 = non-centrosymmetric, 2 = centrosymmetric
  float rot[24][3][3];  // row r gives new coordinate r
  float tra[24][3];     // six decimals; raumgr snaps them to fractions
};

// Groups 1..230 at index nr-1 (generated into crystal/raum_table.cpp).
extern const sg_entry sg_table[230];

// Loads group sg_nr (1..230): ns, centro, sym_r, sym_t and sg_name; prints
// the header line and the operator list on the listing.
void raumgr(intensity_data& d, int32 sg_nr, std::string& sg_name);

}  // namespace korva
