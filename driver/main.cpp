// Program entry: one job from standard input, the listing on standard output.
#include <cstdio>
#include <iostream>
#include <memory>

#include "driver/job.h"

int main() {
  std::ios::sync_with_stdio(false);
  auto d = std::make_unique<korva::intensity_data>();
  d->out = &std::cout;
  d->job.attach(&std::cin);
  d->version = korva::pad("KORVA-99, Version 01.2 (4. 4. 2001)", 45);
  std::string scanfile(72, ' '), calfile(72, ' '), plotfile(72, ' ');
  const int status = korva::korva(*d, scanfile, calfile, plotfile);
  std::cout.flush();
  return status;
}
