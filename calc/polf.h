// Polarisation factors of the scattering paths of one multiple-diffraction
// event, for one state of the incident polarisation.
#pragma once

namespace korva {

// th1, th2, th3: Bragg angles (radians) of primary, secondary and coupling
// reflection; (e1, e2, e3): incident polarisation, perpendicular to the
// incident beam (1, 0, 0).  Results:
//   o1 = |D1|^2   primary          o2 = |D2|^2   secondary
//   o3 = |D12|^2  primary, then coupling into k2
//   o4 = |D21|^2  secondary, then coupling into k1
//   o5 = cosine between D21 and D1 (agreement of the two waves in k1)
// A polarisation that vanishes on a path gives factors 0 for every result
// that needs its direction.
void polfa(float th1, float th2, float th3, float e1, float e2, float e3, float& o1, float& o2, float& o3, float& o4,
           float& o5);

}  // namespace korva
