// Primary-extinction factor y of a spherical mosaic block.
#pragma once

#include "driver/job_state.h"

namespace korva {

// y = <J0^2(2 x sqrt(a b))> over the volume of the sphere, a and b the paths
// in and out in units of the radius; x = radius / extinction length.
// Rows in descending x: row 0 is x = 30.0, row 300 is x = 0.  Columns
// theta = 0, 5, ..., 90 degrees.
extern const float yp_table[301][19];

// Copies yp_table into d.yp in ascending x (d.yp[k] is x = 0.1 k).
void chuk1(intensity_data& d);

// y for x >= 0 and the Bragg angle theta in degrees, by bilinear
// interpolation in d.yp.  From x = 30 on the last row is continued as
// y ~ 1/x.  Arguments outside the table are held at its edges; a NaN
// argument gives NaN.
float chuk(const intensity_data& d, float x, float theta);

}  // namespace korva
