// Crystal setup with its report, the calculation phases and the end of a job.
#pragma once

#include <string>

#include "calc/pass.h"
#include "driver/job_state.h"

namespace korva {

// Crystal setup interleaved with the setup report.  False: the job stops.
bool crystal_setup(intensity_data& d);
// Measured scan, scale, event search, intensities and the event listing.
bool run_calculation(intensity_data& d, calc_state& cs, std::string& scanfile);
// Profile statistics, comparison, profile file, summary and diagram.
bool finish_job(intensity_data& d, calc_state& cs, const std::string& calfile);

}  // namespace korva
