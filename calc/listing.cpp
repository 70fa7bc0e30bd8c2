// Results listing: the event section of every wavelength pass, the summary
// of the calculated scan, and the profile file.
#include <cmath>
#include <cstdio>

#include "calc/pass.h"
#include "io/format.h"
#include "io/text.h"

namespace korva {

namespace {

float phase_deg(float ph) {
  float p = ph * rad_to_deg;
  if (p > 180.0f) p -= 360.0f;
  return p;
}
}  // namespace

void list_pass(intensity_data& d, calc_state& cs) {
  cs.n_events *= 2;
  const float lam = cs.lam_cur;
  const int32 n_prager = static_cast<int32>(4.0f * d.vol * std::cos(cs.th1) * pi_float * pi_float / (lam * lam * lam));
  if (d.phprim_rad > pi_float) d.phprim_rad -= 2.0f * pi_float;

  // The measured I-prim of a tube holds both lines, 1 : 0.5.
  float meas = d.meas_iprim, meas_err = d.meas_iprim_err;
  if (d.irad == 0) {
    const float share = cs.pass == 1 ? 2.0f / 3.0f : 0.5f;
    d.meas_iprim *= share;
    d.meas_iprim_err *= share;
    meas = d.meas_iprim;
    meas_err = d.meas_iprim_err;
  }

  io::write(*d.out,
            R"(/,/,20X,"*** Multiple diffraction events ***",/,/,"           calculated for the primary reflection:",3*I3,/,/,)"
            R"(" wavelength        :",F8.5,/," deltalambda/lambda:",F8.5,/,/," divergence of the primary beam",/,)"
            R"(" parallel to the scattering plane of the primary reflection:",F6.4,/,)"
            R"(" normal   to the scattering plane of the primary reflection:",F6.4,/,/,)"
            R"(" mosaic spread (degrees)  :",F7.3,/," mosaic block radius (mue):",F7.2,/,)"
            R"(" Maximum possible h, k, l  :",3*I5,/," Reference direction       :",3*F5.1,3X,/,)"
            R"(" Psi=0 difference between diffractometer and ","reference direction: PsiD =",F8.2)",
            {d.h1, d.k1, d.l1, lam, cs.dl_cur, d.div_par, d.div_norm, d.mosaic, d.block_r, cs.hmax, cs.kmax, cs.lmax,
             cs.ref_dir[0], cs.ref_dir[1], cs.ref_dir[2], d.PsiD});
  io::write(*d.out,
            R"L(/,/," theta                of the primary reflection:",F7.2,/,)L"
            R"L(" Interplanar spacing  of the primary reflection:",F7.4,/,)L"
            R"L(" fcalc                of the primary reflection:",F7.2,/,)L"
            R"L(" calculated intensity of the primary reflection:",F12.2,/,)L"
            R"L(" measured intensity   of the primary reflection:",F12.2," +/- ",F8.2,2X,"in the psi-interval:",2*F10.3,/,)L"
            R"L(" phase                of the primary reflection:",F7.2,/,)L"
            R"L(" Lorentz-factor       of the primary reflection:",F7.2,/,)L"
            R"L(" absorption factor    of the primary reflection:",F7.2,/,)L"
            R"L(" FWHM (theta-scan)    of the primary reflection:",F7.3,/,)L"
            R"L(" Darwin-width         of the monochromator     :",F7.5,/,/,/,)L"
            R"L(" Multiple diffraction-events with intensity greater than",F10.4,/,/,)L"
            R"L(2(3X,"H",3X,"K",3X,"L",6X,"F",5X,"phi",2X,"THETA"),6X,"Ikorva",6X,"Iaufhe",3X,"p12",1X," abs*",5X,3X,)L"
            R"L("TRPHI",5X," PSI",2X,"FWHM",4X,"BETA",/)L",
            {cs.th1 * rad_to_deg, d.d1, d.fprim, cs.iprim_pass, meas, meas_err, d.psi_int_a, d.psi_int_b,
             d.phprim_rad * rad_to_deg, cs.lor1, cs.astar1, (cs.a1 - cs.a2) * rad_to_deg, rad_to_deg * d.darwin_w * std::tan(d.theta_m),
             d.drumin});

  if (d.drumin > 0.0f) {
    // Bubble sort by psi; equal psi keep their order.
    auto& tab = cs.ev_tab;
    bool swapped = true;
    while (swapped) {
      swapped = false;
      for (int32 i = 0; i + 1 < cs.n_stored; ++i)
        if (tab[i].psi > tab[i + 1].psi) {
          std::swap(tab[i], tab[i + 1]);
          swapped = true;
        }
    }
    for (int32 i = 0; i < cs.n_stored; ++i) {
      const event_record& r = tab[i];
      if (cs.pass == 1) d.events[i] = {r.ev_azim, r.ev_g2, r.ev_p2, r.ev_gp, r.ev_n2, r.ev_style};
      if (!(d.psia <= r.psi && r.psi <= d.psie)) continue;
      float tr = r.trphi * rad_to_deg;
      for (int n = 0; n < 2 && tr > 180.0f; ++n) tr -= 360.0f;
      const float inv_fwhm = r.fwhm > 0.0f ? 1.0f / r.fwhm : 0.0f;
      io::write(*d.out, "2(3*I4,F8.2,F7.1,F7.2),2*F12.2,2*F6.2,A5,F8.2,F9.3,F6.3,F8.2",
                {static_cast<int>(r.h2), static_cast<int>(r.k2), static_cast<int>(r.l2), r.f2, phase_deg(r.ph2),
                 r.th2 * rad_to_deg, static_cast<int>(r.h3), static_cast<int>(r.k3), static_cast<int>(r.l3), r.f3,
                 phase_deg(r.ph3), r.th3 * rad_to_deg, r.i_exc * inv_fwhm, r.i_dec * inv_fwhm, r.p12, 1.0f / r.abs23,
                 r.side > 1.0f ? "o-i" : "i-o", tr, r.psi, r.fwhm, r.ev_beta});
    }
  }
  io::write(*d.out,
            R"L(/,/," Number of events in a 360 degree scan"," (extinct/non extinct)                    :",I7,/,)L"
            R"L(" Number of operative reflections (Prager formula)",31X,":",I7)L",
            {cs.n_events, n_prager});
}

bool list_summary(intensity_data& d, calc_state& cs, const std::string& calfile) {
  if (d.zsw_in > 0.0f)
    io::write(*d.out,
              R"L(/," Maximum calculated intensity                    (cps)    :",F10.2,"    at psi =",F8.3,/,)L"
              R"L(" I-prim                                          (cps)    :",F10.2,/,)L"
              R"L(" Minimum calculated intensity                    (cps)    :",F10.2,"    at psi =",F8.3,/)L",
              {d.calc_max, cs.calc_max_psi, d.iprim_calc, d.calc_min, cs.calc_min_psi});
  if (d.irad == 0) d.theta_prim *= 0.5f;
  io::write(*d.out,
            R"(" Scan calculated for",/," psia                        :",F8.3,/,)"
            R"(" psie                        :",F8.3,/," number of steps per degree  :",F8.3)",
            {d.psia, d.psie, d.zsw});
  io::write(*d.out, R"(" phase shift interval factor :",I5)", {d.nnn});

  // Profile file: psi, calculated and, where measured, measured intensity.
  const std::string name = io::trim_right(calfile);
  std::FILE* f = std::fopen(name.c_str(), "w");
  if (!f) io::write(*d.out, R"(/," The profile file cannot be created: ",A)", {name});
  const float step = 1.0f / d.zsw;
  for (int32 j = 0; j <= d.nstep; ++j) {
    const float psi_j = d.psia + static_cast<float>(j) * step;
    if (d.aint[j] < 0.0f) d.aint[j] = 0.0f;
    if (!f) continue;
    const std::string rec = d.aintm[j] < 1.0e20f ? io::format("F10.3,2*F20.4", {psi_j, d.aint[j], d.aintm[j]})
                                                 : io::format("F10.3,F20.4", {psi_j, d.aint[j]});
    std::fputs(rec.c_str(), f);
  }
  if (f) std::fclose(f);

  if (d.n_strong > 0 && d.calc_max > d.calc_min) {
    io::write(*d.out,
              d.irad == 0 ? R"(/,/," Number of multiple diffraction events in the 360 degree psi-scan",/,)"
                            R"(" (K-alpha1 + K-alpha2) with intensity > ",E10.2," : ",I10)"
                          : R"(/,/," Number of multiple diffraction events in the 360 degree psi-scan",/,)"
                            R"(" with intensity > ",E10.2," : ",I10)",
              {0.01f * d.drumin, d.n_strong});
    return true;
  } else {
    io::write(*d.out,
              R"(/,/," The number of multiple diffraction events with intensities > 0.01 times drumin is zero!",/,)"
              R"(" No graphical output is produced.",/," Please decrease drumin on the seventh input line")");
  }
  return false;
}

}  // namespace korva
