// Run clock: date and time at the first call, elapsed time afterwards.
#pragma once
#include "driver/job_state.h"

namespace korva {
void zeit(intensity_data& d);
}
