// The one job record shared by every routine of a run, and the working
// values of the job routine.  Passed by reference; never global.
//
// Index conventions: the arrays are 0-based in C++.  Atom i (1-based in the
// job file) is element i-1; chemical type j is element j-1; symmetry operator
// i is element i-1.  The profiles aint/aintm run 0..nstep as on the psi grid.
#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "io/lines.h"

namespace korva {

using int32 = std::int32_t;

// Calendar reading for the run clock.  The source is a plain function so
// tests can play a run of any length.
struct clock_reading {
  int32 year, month, day, hour, minute, second, millisecond;
};
using clock_source = clock_reading (*)();
clock_reading system_clock_reading();

// One plot-event record (six reals per event) read by the diagram.
struct plot_event {
  float ev_azim = 0, ev_g2 = 0, ev_p2 = 0, ev_gp = 0, ev_n2 = 0, ev_style = 0;
};

// Angle conversions and pi as the calculation uses them, in single precision.
constexpr float deg_to_rad = 0.017453299f;
constexpr float rad_to_deg = 57.29578f;
constexpr float pi_float = 3.1415927f;

constexpr int32 max_ops = 24;
constexpr int32 max_events = 600;
constexpr int32 yp_rows = 301, yp_cols = 19;

struct intensity_data {
  // ---- streams of the job -------------------------------------------------
  std::ostream* out = &std::cout;  // the listing
  io::line_source job;             // the job file, read line by line
  std::string plot_path;           // file the plot text goes to
  std::FILE* plot = nullptr;       // plot file, open after job line 2

  // ---- work arrays, group 1 (after job line 7) ----------------------------
  std::vector<std::array<float, 3>> xa;       // 4*n_atoms
  std::vector<std::array<float, 6>> bt;       // 4*n_atoms, beta-ij after setup
  std::vector<std::array<float, 6>> u;        // 4*n_atoms, U-ij after setup
  std::vector<float> afact;                   // 4*n_atoms
  std::vector<float> fnr;                     // 4*n_atoms, type number as real
  std::vector<std::string> atn;               // n_species, 4 characters each
  std::vector<std::array<float, 14>> formfa;  // n_species
  std::vector<float> fjs, fj2s, anz;          // n_species
  std::vector<int32> nor;                     // n_species
  std::vector<std::array<float, 121>> ff;     // n_species
  // ---- work arrays, group 2 (when nstep is known) -------------------------
  std::vector<float> aint;   // 0..nstep, calculated profile
  std::vector<float> aintm;  // 0..nstep, measured profile, 1e20 = missing

  // ---- scalars and fixed arrays of the record -----------------------------
  int32 ns = 0, n_atoms = 0, n_species = 0, centro = 2;
  int32 n_plot = 0, n_range = 0, n_ref = 0, nnn = 0, irad = 0;
  int32 meas_shift = 0, h1 = 0, k1 = 0, l1 = 0, has_scan = 0;
  int32 err_flag = 0, clock_on = 0, read_status = 0, n_strong = 0;
  float sym_t[max_ops][3] = {};
  float sym_r[max_ops][3][3] = {};
  float f_im = 0, relv = 0, lambda = 0, cross_sec = 0;
  float cad4_factor = 1, cos2tm = 1, mur = 0, radius = 0;
  float scale_sum = 0, backgr = 0, psi_int_a = 0, psi_int_b = 0;
  plot_event events[max_events] = {};
  float lam_lo = 0, lam_hi = 0, hw1 = 0, hw2 = 0, PsiD = 0;
  float meas_max_psi = 0, meas_min_psi = 0, meas_min_err = 0, meas_max_err = 0;
  float meas_iprim_err = 0, meas_iprim = 0, iprim_calc = 0;
  float fprim = 0, phprim = 0;
  float calc_max = 0, calc_min = 0, meas_max = 0, meas_min = 0;
  float plot_imax = 0, psia = 0, psie = 0, zsw = 0, theta_prim = 0;
  float div_par = 0, div_norm = 0, block_r = 0, mosaic = 0;
  float drumin = 0, ithresh = 0;
  float yp[yp_rows][yp_cols] = {};  // extinction table, ascending x
  std::string title = std::string(80, ' ');
  std::string anode = "  ";
  std::string scan_ext = "   ";
  std::string version = std::string(45, ' ');

  // ---- working values of the job routine ----------------------------------
  float a = 0, b = 0, c = 0, alpha = 0, beta = 0, gamma = 0;
  float dl1 = 0, rel1 = 0, lambda2 = 0, dl2 = 0, rel2 = 0;
  float i0 = 0, pol = 0;
  float mono_a = 0;
  int32 mono_h = 0, mono_k = 0, mono_l = 0;
  float mono_f = 0, theta_m = 0, darwin_w = 0;
  int32 sg_nr = 0;
  std::string sg_name = std::string(30, ' ');
  int32 ncent = 1, uflag = 0;
  float phprim_rad = 0;
  float astar = 0, bstar = 0, cstar = 0;
  float cos_alphas = 0, cos_betas = 0, cos_gammas = 0;
  float vol = 0, rvol = 0;
  float metric[6] = {};  // a*^2, b*^2, c*^2, a*b*cos g*, a*c*cos b*, b*c*cos a*
  float d1 = 0, stl1 = 0, gh1 = 0, gh2 = 0, gh3 = 0, q1 = 0, inv_d1 = 0;
  float f000 = 0, mu = 0, density = 0;
  int32 f2zero = 0;
  float ub[3][3] = {};  // ub[i][j] = element (i+1, j+1) as read
  int32 ub_read = 0;
  float ext_path = 0, vol_sample = 0;
  int32 nstep = 0;
  float zsw_in = 0;

  // ---- run clock: kept between calls of zeit ------------------------------
  clock_source clock = system_clock_reading;
  int32 clock_start_day = 0, clock_start_seconds = 0;
  float clock_start = 0;

  // ---- scratch of the structure-factor routines (fcalc1, fcalc1_n) --------
  // Grown on first use and reused, so the per-event calls do not allocate.
  std::vector<float> sf_a, sf_b;  // per atom: sums A(i), B(i) over the operators
  std::vector<float> sf_f;        // per type: f0 + f' at the current s
};

}  // namespace korva
