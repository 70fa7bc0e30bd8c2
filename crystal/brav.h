// Expansion of the atom list by the lattice-centring translations.
#pragma once

#include <string>

#include "driver/job_state.h"

namespace korva {

// Appends one shifted copy of every atom per centring vector of the lattice
// named by the first letter of sg_name (I, A, B, C: one vector; F: three;
// P, R and anything else: none).  The atom arrays are sized by the job
// routine for four times the atoms read.
void bravai(intensity_data& d, const std::string& sg_name);

}  // namespace korva
