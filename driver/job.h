// The job routine and the pieces of its run sequence that live in driver/.
#pragma once

#include <string>

#include "driver/job_state.h"
#include "io/text.h"

namespace korva {

// Runs one job: reads the job file from d.job, writes the listing to *d.out.
// Returns the exit status of the program: 0 when the job ran to its end,
// 1 when it stopped on an error (the listing says why).
int korva(intensity_data& d, std::string& scanfile, std::string& calfile, std::string& plotfile);

// Work arrays: group 1 after job line 7, group 2 once nstep is known.
// Each returns false (and prints the failure message) when it cannot allocate.
bool allocate_atoms(intensity_data& d);
bool allocate_profiles(intensity_data& d);
void release_arrays(intensity_data& d);

// Name of the profile file, built from the scan-file or plot-file name.
// Leading blanks of the chosen name are removed in place.
std::string make_calfile(std::string& scanfile, std::string& plotfile);

// Job-file reader, in the order of the file.  Each returns false after it
// has printed why the job must stop.
bool read_title_and_plotfile(intensity_data& d, std::string& plotfile);
bool open_plotfile(intensity_data& d, const std::string& plotfile);
bool read_crystal_and_beam(intensity_data& d);  // lines 3 to 7
bool read_symmetry(intensity_data& d);
bool read_species(intensity_data& d);
bool read_atoms(intensity_data& d);
bool read_primary(intensity_data& d);
bool read_orientation(intensity_data& d, std::string& scanfile);

// Prints two empty lines and a read-error message.
void report_read_error(intensity_data& d, const char* message);

using io::pad;
using io::trim_right;

}  // namespace korva
