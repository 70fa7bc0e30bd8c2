// Job-file reader: every line in its fixed order, with its checks and echo.
#include <cmath>
#include <cstdio>

#include "crystal/brav.h"
#include "crystal/fcal.h"
#include "crystal/fcal_n.h"
#include "crystal/raum.h"
#include "driver/job.h"
#include "io/format.h"
#include "io/read.h"

namespace korva {

using io::iv;
using io::rv;

void report_read_error(intensity_data& d, const char* message) {
  io::write(*d.out, "/,/,A", {message});
}

namespace {

bool failed(intensity_data& d, int status, const char* message) {
  d.read_status = status;
  if (status == io::read_ok) return false;
  report_read_error(d, message);
  return true;
}

// One-line message of a check and the stop it causes.
bool refuse(intensity_data& d, const char* message) {
  io::write(*d.out, "/,A", {message});
  return false;
}

}  // namespace

bool read_title_and_plotfile(intensity_data& d, std::string& plotfile) {
  if (failed(d, io::read_text(d.job, d.title, 80), "read-error in the first line of the input-file"))
    return false;
  io::write(*d.out, "/,/,1X,A80,/", {d.title});
  if (failed(d, io::read_text(d.job, plotfile, 72), "read-error in the second line of the input-file"))
    return false;
  return true;
}

bool open_plotfile(intensity_data& d, const std::string& plotfile) {
  d.plot_path = trim_right(plotfile);
  d.plot = d.plot_path.empty() ? nullptr : std::fopen(d.plot_path.c_str(), "w");
  if (d.plot) return true;
  io::write(*d.out, R"(/,/,5X,A72,/," there is no such file or directory, or the file is empty,",/," check your input!")",
            {plotfile});
  return false;
}

namespace {

// A wavelength not above 0 gives no Ewald sphere to work with.
bool wavelength_ok(intensity_data& d) {
  if (d.lambda > 0.0f) return true;
  return refuse(d, " The wavelength must be above 0");
}

// Radiation line: the first two characters choose the radiation.
bool read_radiation(intensity_data& d) {
  const char* msg = "read-error in the fourth line of the input-file";
  std::string line;
  if (failed(d, io::read_text(d.job, line, 72), msg)) return false;
  const std::string key = line.substr(0, 2);
  d.anode = key;
  d.lambda2 = d.dl2 = d.rel2 = 0;
  d.rel1 = 1;
  d.cad4_factor = 1;
  d.cos2tm = 1;
  if (key == "Cu" || key == "Mo" || key == "Ag") {
    struct tube {
      const char* name;
      float lambda, dl1, lambda2, dl2, cad4, cos2tm;
    };
    static const tube tubes[] = {
        {"Cu", 1.540598f, 0.000306f, 1.544426f, 0.000413f, 12.179f, 0.89423f},
        {"Mo", 0.7093f, 0.00041f, 0.71359f, 0.00045f, 16.68f, 0.97749f},
        {"Ag", 0.55942f, 0.00048f, 0.563811f, 0.00052f, 13.95f, 0.986f},
    };
    for (const tube& t : tubes) {
      if (key != t.name) continue;
      d.irad = 0;
      d.lambda = t.lambda;
      d.dl1 = t.dl1;
      d.lambda2 = t.lambda2;
      d.dl2 = t.dl2;
      d.rel2 = 0.5f;
      d.cad4_factor = t.cad4;
      d.cos2tm = t.cos2tm;
    }
    d.i0 = 2.0e9f;
    d.pol = 0;
    return true;
  }
  d.anode = "dl";
  if (key == "1 " || key == "2 ") {
    if (failed(d, io::read_free_text(line, {iv(d.irad), rv(d.lambda), rv(d.mono_a), iv(d.mono_h), iv(d.mono_k),
                                            iv(d.mono_l), rv(d.mono_f)}),
               msg))
      return false;
    if (!wavelength_ok(d)) return false;
    d.i0 = d.lambda == 1.275f ? 1.1e10f : 1.0e10f;
    d.pol = key[0] == '1' ? 1.0f : -1.0f;
    // h^2 + k^2 + l^2 in reals: large indices must not wrap around.
    const float h = static_cast<float>(d.mono_h), k = static_cast<float>(d.mono_k), l = static_cast<float>(d.mono_l);
    const float s = h * h + k * k + l * l;
    const float sine = d.lambda * std::sqrt(s) / d.mono_a * 0.5f;
    // A monochromator reflection that cannot reflect this wavelength
    // leaves no Bragg angle to work with.
    if (!(sine > 0.0f && sine < 1.0f))
      return refuse(d, " The monochromator reflection cannot diffract this wavelength");
    d.theta_m = std::asin(sine);
    d.darwin_w = 2.0f * 2.817938f * 1000.0f * d.mono_f / (d.mono_a * s * 1.0e8f);
    return true;
  }
  if (key == "3 ") {
    if (failed(d, io::read_free_text(line, {iv(d.irad), rv(d.lambda), rv(d.dl1)}), msg)) return false;
    d.i0 = 1.0e12f;
    d.pol = 1;
    return wavelength_ok(d);
  }
  if (failed(d, io::read_free_text(line, {rv(d.lambda), rv(d.dl1), rv(d.rel1), rv(d.lambda2), rv(d.dl2), rv(d.rel2)}),
             msg))
    return false;
  d.irad = 0;
  d.i0 = 2.0e9f;
  d.pol = 0;
  // The first line is always the shorter wavelength.
  if (d.lambda > d.lambda2) {
    std::swap(d.lambda, d.lambda2);
    std::swap(d.dl1, d.dl2);
    std::swap(d.rel1, d.rel2);
  }
  return wavelength_ok(d);
}

}  // namespace

bool read_crystal_and_beam(intensity_data& d) {
  if (failed(d, io::read_free(d.job, {rv(d.a), rv(d.b), rv(d.c), rv(d.alpha), rv(d.beta), rv(d.gamma)}),
             "read-error in the third line of the input-file"))
    return false;
  if (!read_radiation(d)) return false;

  float radius_um = 0;
  if (failed(d, io::read_free(d.job, {rv(d.div_par), rv(d.div_norm), rv(radius_um), rv(d.block_r), rv(d.mosaic)}),
             "read-error in the fifth line of the input-file"))
    return false;
  d.radius = radius_um * 1.0e-4f;
  d.ext_path = 4.0f / 3.0f * d.block_r * 1.0e-4f;
  if (d.irad == 1 || d.irad == 2) {
    const float div = d.div_par * deg_to_rad / std::tan(d.theta_m);
    d.dl1 = std::sqrt(div * div + d.darwin_w * d.darwin_w);
  }

  if (failed(d, io::read_free(d.job, {rv(d.psia), rv(d.psie), rv(d.zsw), iv(d.nnn), rv(d.drumin), rv(d.plot_imax)}),
             "read-error in the sixth line of the input-file"))
    return false;
  d.ithresh = 0.01f * d.drumin;
  d.zsw_in = d.zsw;
  d.zsw = std::fabs(d.zsw);

  if (d.irad == 0) {
    if (d.psia < -180.0f || d.psie > 180.0f) return refuse(d, " Psi-range is out of -180. to 180.");
  } else if (!((d.psia >= -180.0f && d.psie <= 180.0f) || (d.psia >= 0.0f && d.psie <= 360.0f))) {
    io::write(*d.out, R"(/," Psi-range is out of 0. to 360.",/,/,"                        or",/,/,)"
                      R"("                  -180. to 180.")");
    return false;
  }
  if (d.psie < d.psia) return refuse(d, " Psi-range is empty: psie is smaller than psia");
  // The grid point j lies at psia + j/zsw: no grid without steps.
  if (d.zsw == 0.0f) return refuse(d, " The number of steps per degree must not be 0");

  if (failed(d, io::read_free(d.job, {iv(d.sg_nr), iv(d.n_atoms), iv(d.n_species)}),
             "read-error in the seventh line of the input-file"))
    return false;
  if (d.sg_nr < 1) return refuse(d, " The space-group number must be at least 1");
  if (d.n_atoms < 1 || d.n_species < 1)
    return refuse(d, " The numbers of atoms and of chemical types must be at least 1");
  return true;
}

bool read_symmetry(intensity_data& d) {
  if (d.sg_nr <= 230) {
    raumgr(d, d.sg_nr, d.sg_name);
  } else {
    const char* msg = "read-error in the symmetry information lines of the input-file";
    io::free_reader rd(d.job);
    int32 centro = 0, ns = 0;
    if (failed(d, rd.get({iv(centro), iv(ns)}), msg)) return false;
    if (ns > max_ops) {
      io::write(*d.out, R"L(" The number of symmetry lines is to large",/," ( ns <= 24)")L");
      return false;
    }
    if (centro != 1 && centro != 2) return refuse(d, " The symmetry information must give centro = 1 or 2");
    if (ns < 1) return refuse(d, " The number of symmetry lines must be at least 1");
    d.centro = centro;
    d.ns = ns;
    for (int32 i = 0; i < ns; ++i)
      for (int r = 0; r < 3; ++r)
        if (failed(d, rd.get({rv(d.sym_t[i][r]), rv(d.sym_r[i][r][0]), rv(d.sym_r[i][r][1]), rv(d.sym_r[i][r][2])}),
                   msg))
          return false;
    io::write(*d.out, R"(I4," symmetry lines:")", {ns});
    for (int32 i = 0; i < ns; ++i) {
      std::vector<io::fitem> items;
      for (int r = 0; r < 3; ++r) {
        items.emplace_back(d.sym_t[i][r]);
        for (int k = 0; k < 3; ++k) items.emplace_back(d.sym_r[i][r][k]);
      }
      io::write(*d.out, "3X,F6.3,3*F4.0,3X,F6.3,3*F4.0,3X,F6.3,3*F4.0", items);
    }
    d.sg_name = pad("P", 30);
  }
  // Lattice-centring multiplicity from the lattice letter.
  const char letter = d.sg_name.empty() ? ' ' : d.sg_name[0];
  d.ncent = (letter == 'A' || letter == 'B' || letter == 'C' || letter == 'I') ? 2 : letter == 'F' ? 4 : 1;
  return true;
}

bool read_species(intensity_data& d) {
  const bool neutron = d.irad == 3;
  for (int32 j = 1; j <= d.n_species; ++j) {
    std::string line, sym;
    float f1 = 0, f2 = 0;
    int32 flag = 0;
    int status = io::read_text(d.job, line, 72);
    if (status == io::read_ok)
      status = neutron ? io::read_fixed(line, "A4,F10.4,10X,I1", {io::tv(sym), rv(f1), iv(flag)})
                       : io::read_fixed(line, "A4,F10.4,F10.4,I1", {io::tv(sym), rv(f1), rv(f2), iv(flag)});
    if (failed(d, status, "read-error in the chemical symbol lines of the input-file")) return false;
    d.atn[j - 1] = sym;
    d.fjs[j - 1] = f1;
    if (!neutron) d.fj2s[j - 1] = f2;
    d.uflag = flag;
    d.anz[j - 1] = 0;
    if (neutron)
      upform_n(d, d.atn[j - 1], d.nor[j - 1], d.fjs[j - 1]);
    else
      upform(d, d.atn[j - 1], j, d.nor[j - 1]);
    if (d.err_flag == 1) return false;
  }
  return true;
}

bool read_atoms(intensity_data& d) {
  for (int32 i = 0; i < d.n_atoms; ++i) {
    auto& x = d.xa[i];
    auto& b = d.bt[i];
    if (failed(d,
               io::read_free(d.job, {rv(d.fnr[i]), rv(d.afact[i]), rv(x[0]), rv(x[1]), rv(x[2]), rv(b[0]), rv(b[1]),
                                     rv(b[2]), rv(b[3]), rv(b[4]), rv(b[5])}),
               "read-error in the atom parameter lines of the input-file"))
      return false;
    // The type lookup takes the integral part of the type number.
    const float t = d.fnr[i];
    if (!(t >= 1.0f && t < static_cast<float>(d.n_species) + 1.0f)) {
      io::write(*d.out, R"(/," The chemical type number of atom",I5," is outside 1 to",I5)", {i + 1, d.n_species});
      return false;
    }
    // Cell counts: only an exact type number counts.
    for (int32 j = 1; j <= d.n_species; ++j)
      if (d.fnr[i] == static_cast<float>(j))
        d.anz[j - 1] += d.afact[i] * static_cast<float>(d.ns) * 2.0f * static_cast<float>(d.ncent) /
                        static_cast<float>(d.centro);
  }
  bravai(d, d.sg_name);
  return true;
}

bool read_primary(intensity_data& d) {
  float phase = 0;
  if (failed(d,
             io::read_free(d.job, {iv(d.h1), iv(d.k1), iv(d.l1), rv(d.fprim), rv(phase), rv(d.psi_int_a),
                                   rv(d.psi_int_b)}),
             "read-error in the primary reflection line of the input-file"))
    return false;
  d.phprim = phase;
  d.phprim_rad = phase * deg_to_rad;
  return true;
}

bool read_orientation(intensity_data& d, std::string& scanfile) {
  scanfile = std::string(72, ' ');
  d.has_scan = 0;
  d.ub_read = 0;
  auto& u = d.ub;
  const int status = io::read_free(d.job, {rv(u[0][0]), rv(u[0][1]), rv(u[0][2]), rv(u[1][0]), rv(u[1][1]),
                                           rv(u[1][2]), rv(u[2][0]), rv(u[2][1]), rv(u[2][2])});
  d.read_status = status;
  if (status > 0) {
    report_read_error(d, "read-error in the ub-matrix lines of the input-file");
    return false;
  }
  if (status < 0) return true;  // no orientation matrix, no scan file
  d.ub_read = 1;

  // Reciprocal constants from the columns of UB, for the report only.
  float len[3], dot[3];
  for (int j = 0; j < 3; ++j)
    len[j] = std::sqrt(u[0][j] * u[0][j] + u[1][j] * u[1][j] + u[2][j] * u[2][j]);
  auto col_dot = [&](int p, int q) { return u[0][p] * u[0][q] + u[1][p] * u[1][q] + u[2][p] * u[2][q]; };
  // Rounding may carry a cosine just past 1; a zero column leaves the angle
  // undefined (NaN), and it is printed so.
  auto angle = [](float c) {
    if (c > 1.0f) c = 1.0f;
    if (c < -1.0f) c = -1.0f;
    return std::acos(c) * rad_to_deg;
  };
  dot[0] = angle(col_dot(1, 2) / (len[1] * len[2]));
  dot[1] = angle(col_dot(0, 2) / (len[0] * len[2]));
  dot[2] = angle(col_dot(0, 1) / (len[0] * len[1]));
  io::write(*d.out, R"(/," UB-matrix:")");
  for (int i = 0; i < 3; ++i) io::write(*d.out, "3*F12.6", {u[i][0], u[i][1], u[i][2]});
  io::write(*d.out, R"(/," Reciprocal lattice constants calculated from the ","UB-matrix",/,3*F10.4,2X,3*F10.2)",
            {len[0], len[1], len[2], dot[0], dot[1], dot[2]});

  // The scan-file line is optional: a missing line leaves the name blank.
  std::string name(72, ' ');
  io::read_text(d.job, name, 72);
  scanfile = pad(name, 72);
  d.has_scan = trim_right(scanfile).empty() ? 0 : 1;
  return true;
}

}  // namespace korva
