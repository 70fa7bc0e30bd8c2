// One-page psi-scan diagram drawn with the plotting primitives.
#pragma once

#include "driver/job_state.h"

namespace korva {

// Draws the whole plot file.  Turns aint and aintm into drawing heights.
void uplot(intensity_data& d);

// Legend: which events the psi-lambda strip shows.
void symbo1(intensity_data& d, int32 plotted, int32 in_range);

}  // namespace korva
