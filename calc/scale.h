// Scale of the calculation from a measured scan file or the radiation.
#pragma once

#include <string>

#include "driver/job_state.h"

namespace korva {

// Opens a named scan file (it must exist) and fixes the incident intensity;
// writes the scale block and a run-time line.  False: the job stops.
bool scan_setup(intensity_data& d, const std::string& scanfile);

}  // namespace korva
