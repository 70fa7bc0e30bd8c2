// Runs one job in-process with a fixed clock, for exact listings in tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "driver/job.h"

namespace korva::testing {

inline clock_reading fixed_clock() { return {2001, 4, 4, 10, 0, 0, 0}; }

struct job_result {
  std::string listing;
  int status = 0;
  std::string calfile;
};

// Runs the job text in the folder dir (created when missing), so that the
// plot and profile files land there.
inline job_result run_job(const std::string& job_text, const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir);
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  auto d = std::make_unique<intensity_data>();
  std::istringstream in(job_text);
  std::ostringstream out;
  d->out = &out;
  d->job.attach(&in);
  d->clock = fixed_clock;
  d->version = pad("KORVA-99, Version 01.2 (4. 4. 2001)", 45);
  std::string scanfile(72, ' '), calfile(72, ' '), plotfile(72, ' ');
  job_result r;
  r.status = korva(*d, scanfile, calfile, plotfile);
  r.listing = out.str();
  r.calfile = trim_right(calfile);
  std::filesystem::current_path(cwd);
  return r;
}

inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline std::filesystem::path scratch_dir(const std::string& name) {
  return std::filesystem::temp_directory_path() / ("korva_test_" + name);
}

}  // namespace korva::testing
