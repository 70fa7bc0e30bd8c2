// X-ray scattering of the crystal: the form-factor table and its lookup
// (upform), the evaluation of f0 (f0_of) and the structure factor (fcalc1).
// The operator/atom sums are shared with the neutron structure factor.
#pragma once

#include <array>
#include <string>

#include "driver/job_state.h"

namespace korva {

// One row of the X-ray table: symbol (4 characters, blank-padded,
// case-sensitive), atomic number, the nine coefficients of the four-Gaussian
// fit and the four of the high-angle fit of ln f0 (a1 b1 .. a4 b4 c p0 p1 p2
// p3), f' and f'' for Cu, Mo and Ag K-alpha, and the upper sin(theta)/lambda
// limit of the Gaussian fit.
struct ff_entry {
  char symbol[5];
  int32 z;
  float coef[13];
  float disp[6];  // f'Cu f''Cu f'Mo f''Mo f'Ag f''Ag
  float smax;
};

constexpr int32 ff_table_size = 211;
extern const std::array<ff_entry, ff_table_size> ff_table;

// Looks the 4-character symbol up and fills formfa, nor (through nor_out)
// and, for the anodes Cu, Mo and Ag, fjs and fj2s of chemical type j
// (1-based).  An unknown symbol is reported and sets err_flag.
void upform(intensity_data& d, const std::string& symbol, int32 j, int32& nor_out);

// Form factor f0 at s = sin(theta)/lambda: Gaussian fit up to the limit
// formfa[13], high-angle fit above it.  Callers keep s at or below 6.0.
float f0_of(const std::array<float, 14>& formfa, float s);

// Modulus F (electrons) and phase (radians) of the X-ray structure factor of
// hkl at s = sin(theta)/lambda; leaves the imaginary part in d.f_im.  On an
// error err_flag is set and F and phase are left alone.
void fcalc1(intensity_data& d, int32 h, int32 k, int32 l, float s, float& F, float& phase);

// ---- shared with the neutron structure factor ----------------------------

// Sums A(i) = sum_ops T cos(phi) and B(i) = sum_ops T sin(phi) for every atom
// into d.sf_a / d.sf_b (A doubled and B left unused when centro = 1), after
// making sure the scratch storage holds the atoms and types.  Writes the
// displacement-parameter warning and error records, with the value of the
// quadratic form and of T when with_values is set.  Returns false after an
// error (err_flag set); the caller then returns without results.
bool sf_atom_sums(intensity_data& d, int32 h, int32 k, int32 l, bool with_values);

// Phase of Re + i Im in [-0.001, 2 pi), with the exact values 0, pi and
// +-pi/2 when one part is exactly zero.
float sf_phase(float re, float im);

}  // namespace korva
