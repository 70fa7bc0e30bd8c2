// Absorption correction factor A* of a spherical crystal.
#pragma once

namespace korva {

// A* = 1 / <exp(-mu (path in + path out))> over the volume of the sphere.
// Rows mu R = 0.0, 0.1, ..., 10.0 (rows 0..100) and 10.5, 11.0, ..., 31.5
// (rows 101..143); columns theta = 0, 5, ..., 90 degrees.
extern const float astar_table[144][19];

// A* for mu R (0 <= mu R < 31.5) and the Bragg angle theta in degrees, by
// bilinear interpolation in astar_table.  Arguments outside the table are
// held at its edges; a NaN argument gives NaN.
float absor1(float mur, float theta);

}  // namespace korva
