// Scale of the calculation: the incident intensity from the reference
// reflections of a measured scan file, or the default of the radiation.
#include <cstdio>

#include "calc/scale.h"
#include "driver/clock.h"
#include "io/format.h"
#include "io/text.h"

namespace korva {

bool scan_setup(intensity_data& d, const std::string& scanfile) {
  d.n_ref = 0;
  d.scale_sum = 0;
  if (d.has_scan == 1) {
    const std::string name = io::trim_right(scanfile);
    std::FILE* f = std::fopen(name.c_str(), "r");
    if (!f) {
      io::write(*d.out, R"(/,/,5X,A,/," there is no such file or directory, or the file is empty,",/," check your input!")",
                {scanfile});
      return false;
    }
    std::fclose(f);
    d.scan_ext = name.size() >= 3 ? name.substr(name.size() - 3) : (name + "   ").substr(0, 3);
    io::write(*d.out, R"(" Calculation of the scale factor using the reference"," reflections of the file:",/,3X,A72)",
              {scanfile});
    d.meas_max = 0;
    d.meas_min = 1.0e6f;
    // No reader fills the measured profile yet: the file is checked and left
    // unread, so its scan cannot be compared.
    d.has_scan = 0;
    if (d.err_flag == 1) return false;
    if (d.meas_min < 0.0f) d.meas_min = 0.0f;
    if (d.n_ref > 0) {
      d.i0 = d.scale_sum / static_cast<float>(d.n_ref);
      d.scale_sum = d.i0;
      if (d.irad == 0)
        io::write(*d.out,
                  R"(/," Radius of the crystal (muemeter)       :",F10.5,/," crystal cross section (mm**2)          :",F10.5,/,)"
                  R"(" I0(K-alpha1+2; counts * mm-2 * sec-1)  :",E10.4)",
                  {d.radius * 1.0e4f, d.cross_sec * 100.0f, 0.01f * d.i0 * 1.5f});
      else
        io::write(*d.out,
                  R"(/," Radius of the crystal (muemeter)       :",F10.5,/," crystal cross section (mm**2)          :",F10.5,/,)"
                  R"(" I0(counts * mm-2 * sec-1)              :",E10.4)",
                  {d.radius * 1.0e4f, d.cross_sec * 100.0f, 0.01f * d.i0});
      zeit(d);
    } else {
      io::write(*d.out, R"(/," There are no reference reflections in the file",/)");
    }
  }
  if (d.n_ref == 0) {
    io::write(*d.out,
              R"L(" Scale factor estimated from the incident intensity I0:",/," I0 (counts * mm-2 * sec-1)        :",E10.4,/,)L"
              R"L(" Volume of the sample (mm-3)       :",E10.4,5X," (Radius of the sample (mm):",F10.4," )")L",
              {0.01f * d.i0, d.vol_sample * 0.001f, d.radius * 10.0f});
    zeit(d);
  }
  return true;
}

}  // namespace korva
