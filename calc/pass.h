// Working values of the multiple-diffraction calculation: the per-job
// reference direction, the values of one wavelength pass, and the event
// table of the pass.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "driver/job_state.h"

namespace korva {

// One multiple-diffraction event: 27 reals in their fixed order.
struct event_record {
  float trphi, h2, k2, l2, f2, th2, h3, k3, l3, f3, th3;
  float i_exc, i_dec, p12, abs23, side, fwhm, ev_beta, psi, ph2, ph3;
  float ev_azim, ev_g2, ev_p2, ev_gp, ev_n2, ev_style;
};
static_assert(sizeof(event_record) == 27 * sizeof(float));

struct calc_state {
  // Reference direction (reciprocal-lattice coordinates), its length and
  // the index-space cross product c = r x h1.
  float ref_dir[3] = {};
  float ref_len = 0;
  float ref_c[3] = {};

  // Current line of the radiation.
  int32 pass = 1;
  float lam_cur = 0, dl_cur = 0, rel_cur = 0;

  // Primary reflection and band constants of the pass.
  float th1 = 0, astar1 = 1, lam_c = 0;
  float k_lmin = 0, k_lmax = 0, inv_lam = 0, inv_lam2 = 0;
  float rho_c = 0, rho_lmin = 0, rho_lmax = 0, psi_hw = 0;
  float pol1 = 1, delta1 = 0, lor1 = 0, a1 = 0, a2 = 0;
  float path_factor = 1, x1 = 0, y_path1 = 0, R1 = 0, I_scale = 0, iprim_pass = 0;

  // Event search of the pass.
  int32 hmax = 0, kmax = 0, lmax = 0;
  int32 n_events = 0, n_stored = 0, n_inrange = 0;
  std::vector<event_record> ev_tab = std::vector<event_record>(max_events);

  // Profile extremes and their psi.
  float calc_max_psi = 0, calc_min_psi = 0;
};

// Everything one event hands from the search to the intensity and the profile.
struct event_geometry {
  float h2_perp = 0, z_off = 0, cos_beta = 0, beta = 0, BETA = 0;
  float th2 = 0, th3 = 0, f2 = 0, ph2 = 0, f3 = 0, ph3 = 0;
  float psi_io = 0, psi_oi = 0;
};

struct event_intensity {
  float p12 = 0, Pint = 0, w_in = 0, w_out = 0, fwhm = 0, L2 = 0;
  float abs23 = 1, U = 0, S = 0, Ipk = 0, trphi = 0, iprim_red = 0;
};

// Primary reflection of the pass: Bragg angle, acceptance, extinction and
// calculated intensity.  False (after a message) when the line cannot
// reflect the primary.
bool primary_pass(intensity_data& d, calc_state& cs);

// Intensity, widths and peak height of the events of one lattice point.
void event_power(const intensity_data& d, const calc_state& cs, const event_geometry& g, event_intensity& e);

// Adds the two events of one lattice point to the calculated profile.
void add_to_profile(intensity_data& d, const calc_state& cs, const event_geometry& g, const event_intensity& e);

// Extremes of the profile after the last pass; I-prim added to every point.
void profile_statistics(intensity_data& d, calc_state& cs);

// Searches the events of one pass.  False when the job must stop.
bool search_events(intensity_data& d, calc_state& cs);

// Listing of one pass, and the summary with the profile file.  The summary
// says whether there is something to draw.
void list_pass(intensity_data& d, calc_state& cs);
bool list_summary(intensity_data& d, calc_state& cs, const std::string& calfile);

// The whole calculation: reference direction, psi offset and the passes.
bool run_passes(intensity_data& d, calc_state& cs);

}  // namespace korva
