// Psi offset between the diffractometer's zero and the reference direction.
#pragma once

#include "driver/job_state.h"

namespace korva {

// Sets d.PsiD (degrees, in [-180, 180]): the psi of the reference direction
// (x, y, z) (reciprocal-lattice coordinates) in the frame given by the phi
// and chi angles of the primary h1, k1, l1 under the orientation matrix ub
// (ub[i][j] = element (i+1, j+1)).  A primary or reference vector of
// length 0 gives PsiD = 0.
void upsi(intensity_data& d, float x, float y, float z, const float ub[3][3]);

}  // namespace korva
