// Linear absorption coefficient and density of the crystal.
#pragma once

#include "driver/job_state.h"

namespace korva {

// Atomic absorption data for Z = 1..83 (row Z-1): five triples (C, D, e)
// followed by the atomic weight A.  The mass absorption coefficient is
// C lambda^3 - D lambda^4 (cm^2/g, lambda in A) on the range ending at the
// edge wavelength e; triples beyond an element's last range are 0, and from
// Z = 64 on the first triple is empty.
extern const float vic_table[83][16];
// Standard atomic weights for Z = 1..92 (element Z-1), g/mol.
extern const float atom_weight[92];

// X-rays: mu (cm^-1) at wavelength lambda (A) and density (g/cm^3) of the
// cell of volume vol (A^3) holding d.anz[j] atoms of atomic number d.nor[j].
void mue(intensity_data& d, float lambda, float vol, float& mu, int32 n_species,
         float& density);
// Neutrons: density only.
void mue_n(intensity_data& d, float vol, int32 n_species, float& density);

}  // namespace korva
