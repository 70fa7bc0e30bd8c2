// The job routine: one job in a fixed sequence of phases.
#include <cmath>
#include <cstdio>
#include <memory>

#include "crystal/chuk.h"
#include "driver/clock.h"
#include "driver/job.h"
#include "driver/setup.h"
#include "io/format.h"

namespace korva {

namespace {

void close_plot(intensity_data& d) {
  if (d.plot) {
    std::fclose(d.plot);
    d.plot = nullptr;
  }
}

// Orderly end of a job that stopped on an error: the listing stays as
// written, the plot file as created, the work arrays are released.
int stop(intensity_data& d) {
  release_arrays(d);
  close_plot(d);
  d.out->flush();
  return 1;
}

}  // namespace

int korva(intensity_data& d, std::string& scanfile, std::string& calfile, std::string& plotfile) {
  d.meas_iprim = 0;
  d.meas_iprim_err = 0;
  d.err_flag = 0;
  d.clock_on = 0;
  d.n_strong = 0;
  d.theta_prim = 0;
  chuk1(d);

  io::write(*d.out, "23X,A45", {d.version});
  io::write(*d.out, "23X,A,/", {"KORVA psi-scan calculator, by the KORVA developers"});
  zeit(d);

  if (!read_title_and_plotfile(d, plotfile)) return stop(d);
  if (!open_plotfile(d, plotfile)) return stop(d);
  if (!read_crystal_and_beam(d)) return stop(d);
  if (!allocate_atoms(d)) return stop(d);
  if (!read_symmetry(d)) return stop(d);
  if (!read_species(d)) return stop(d);
  if (!read_atoms(d)) return stop(d);
  if (!read_primary(d)) return stop(d);
  if (!read_orientation(d, scanfile)) return stop(d);

  // Psi grid: nstep + 1 points.
  const float steps = std::round((d.psie - d.psia) * d.zsw);
  d.nstep = (std::isfinite(steps) && steps >= 0.0f && steps < 2.0e9f) ? static_cast<int32>(steps) : -1;
  if (!allocate_profiles(d)) return stop(d);

  if (!crystal_setup(d)) return stop(d);
  auto cs = std::make_unique<calc_state>();
  if (!run_calculation(d, *cs, scanfile)) return stop(d);

  calfile = make_calfile(scanfile, plotfile);
  if (!finish_job(d, *cs, calfile)) return stop(d);

  zeit(d);
  release_arrays(d);
  close_plot(d);
  d.out->flush();
  return 0;
}

std::string make_calfile(std::string& scanfile, std::string& plotfile) {
  auto strip_leading = [](std::string& s) {
    const auto p = s.find_first_not_of(' ');
    s = pad(p == std::string::npos ? std::string() : s.substr(p), 72);
  };
  std::string* name;
  int32 cut;
  if (trim_right(scanfile).empty()) {
    strip_leading(plotfile);
    name = &plotfile;
    cut = 3;
  } else {
    strip_leading(scanfile);
    name = &scanfile;
    cut = 4;
  }
  const int32 len = static_cast<int32>(trim_right(*name).size());
  int32 k = std::abs(len - cut);
  if (k > 72) k = 72;
  return pad(name->substr(0, k) + ".cal", 72);
}

}  // namespace korva
