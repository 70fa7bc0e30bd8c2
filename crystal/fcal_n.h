// Neutron scattering: coherent scattering lengths (upform_n) and the
// neutron structure factor (fcalc1_n).
#pragma once

#include <array>
#include <string>

#include "driver/job_state.h"

namespace korva {

// Coherent scattering length b (fm) of element Z = index + 1; 0 where no
// value is known.
struct nb_entry {
  char symbol[5];
  float b;
};

constexpr int32 nb_table_size = 92;
extern const std::array<nb_entry, nb_table_size> nb_table;

// Looks the 4-character symbol up: nor_out = Z; b keeps a non-zero value
// from the job file, otherwise takes the table's length.  An unknown symbol
// is reported and sets err_flag.
void upform_n(intensity_data& d, const std::string& symbol, int32& nor_out, float& b);

// Modulus F (fm) and phase (radians) of the neutron structure factor of
// hkl, with b = fjs per type; leaves the imaginary part in d.f_im.  On an
// error err_flag is set and F and phase are left alone.
void fcalc1_n(intensity_data& d, int32 h, int32 k, int32 l, float& F, float& phase);

}  // namespace korva
