// The one-page psi-scan diagram: title, header panel, calculated (and
// measured) profile, and the psi-lambda strip of the strong events with its
// psi axis and legend.  Everything goes through the primitives of plot/ps.h
// except the few fixed legend lines of symbo1.
#include "plot/diagram.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "io/format.h"
#include "io/text.h"
#include "plot/ps.h"

namespace korva {

namespace {

constexpr float missing = 1.0e20f;

// One branch of an event's psi-lambda curve: at most one point per wavelength.
constexpr int32 max_branch_points = 1001;
struct branch {
  std::array<float, max_branch_points> x{}, y{};
  int32 n = 0;
  void add(float px, float py) {
    if (n < max_branch_points) {
      x[static_cast<std::size_t>(n)] = px;
      y[static_cast<std::size_t>(n)] = py;
      ++n;
    }
  }
};

// Moves x to the nearer side of the strip (x 1 or 21).
void snap(float& x) { x = std::fabs(x - 1.0f) < std::fabs(x - 21.0f) ? 1.0f : 21.0f; }

// Two-digit text of a clock field, leading zero kept.
std::string two_digits(int32 v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", static_cast<int>(((v % 100) + 100) % 100));
  return buf;
}

// Reference mark at height y on both sides of the main frame, labelled on the left.
void mark(intensity_data& d, float y, const char* label) {
  plot(d, 0.7f, y, 3);
  plot(d, 1.0f, y, 2);
  symbol(d, -0.3f, y, 0.5f, label, 0.0f, 5);
  plot(d, 21.0f, y, 3);
  plot(d, 21.3f, y, 2);
}

// Drawing height of an intensity v in a band of height h starting at base.
// A band whose top equals its bottom has no scale: everything lies on the bottom.
float band_height(float v, float top, float bottom, float h, float base) {
  if (top == bottom) return base;
  float y = (std::min(v, top) - bottom) * h / (top - bottom) + base;
  return std::isfinite(y) ? y : base;
}

// Points of one event's curve through the wavelength band, one per branch.
void trace_event(const intensity_data& d, const plot_event& ev, float dpc, branch& b, branch& a) {
  const float width = std::fabs(d.lam_hi - d.lam_lo);
  const float half_band = 0.5f * (d.lam_hi - d.lam_lo);
  for (int32 w = 0; w <= 1000; ++w) {
    const float lam = w == 1000 ? d.lam_hi : d.lam_lo + static_cast<float>(w) * width * 0.001f;
    const float inv_l2 = 1.0f / (lam * lam);
    if (ev.ev_g2 > 4.0f * inv_l2) continue;  // the vector cannot reach the Ewald sphere
    const float s = std::sqrt(ev.ev_n2 * (inv_l2 - ev.ev_p2 / 4.0f));
    const float c = (ev.ev_g2 - ev.ev_gp) * 0.5f / s;
    if (!(c >= -1.0f && c <= 1.0f)) continue;  // no crossing (NaN included)
    const float ang = std::acos(c);
    float p[2] = {(ev.ev_azim + ang) / 0.0174533f + d.PsiD, (ev.ev_azim - ang) / 0.0174533f + d.PsiD};
    const float y = 2.5f + (lam - d.lam_lo) / half_band;
    for (int k = 0; k < 2; ++k) {
      float& q = p[k];
      if (q > 180.0f || q < -180.0f) q -= q > 0 ? 360.0f : -360.0f;
      if (d.irad > 0 && d.psia >= 0.0f && q < 0.0f) q += 360.0f;  // scans of 0 to 360
      if (d.psia < q && q <= d.psie) (k == 0 ? b : a).add(1.0f + (q - d.psia) / dpc, y);
    }
  }
}

// Draws the branches of one event, closing their ends at the strip's sides
// or joining them where the event turns back inside the band.
void draw_event(intensity_data& d, branch& b, branch& a) {
  if (b.n > 0 && a.n > 0) {
    if (b.y[0] != 2.5f) snap(b.x[0]);
    if (a.y[0] != 2.5f) snap(a.x[0]);
    const std::size_t lb = static_cast<std::size_t>(b.n - 1), la = static_cast<std::size_t>(a.n - 1);
    if (std::fabs(b.x[lb] - a.x[la]) < 18.0f) {
      plot(d, b.x[lb], b.y[lb], 3);
      plot(d, a.x[la], a.y[la], 2);
    } else {
      if (b.y[lb] != 4.5f) snap(b.x[lb]);
      if (a.y[la] != 4.5f) snap(a.x[la]);
    }
    line1(d, b.x, b.y, 20.0f, b.n);
    line1(d, a.x, a.y, 20.0f, a.n);
    return;
  }
  branch& only = b.n > 0 ? b : a;
  if (only.n == 0) return;
  const std::size_t last = static_cast<std::size_t>(only.n - 1);
  if (only.y[last] != 4.5f) snap(only.x[last]);
  if (only.y[0] != 2.5f) snap(only.x[0]);
  line1(d, only.x, only.y, 20.0f, only.n);
}

// A fixed legend line written straight into the plot file.
void put_line(intensity_data& d, const std::string& s) {
  if (d.plot) std::fputs(s.c_str(), d.plot);
}

// s blank-padded to n characters, as one line.
std::string padded_line(std::string_view s, std::size_t n) { return io::pad(s, n) + "\n"; }

void legend_move(intensity_data& d, float x, float y) {
  put_line(d, io::format(R"(2F6.1," m")", {x * pt_per_cm, y * pt_per_cm}));
}

}  // namespace

void uplot(intensity_data& d) {
  const int32 nstep = static_cast<int32>(std::lround((d.psie - d.psia) * d.zsw));
  // Grid points actually held by each profile.
  const int32 npt = std::clamp(nstep + 1, 0, static_cast<int32>(d.aint.size()));
  const int32 nptm = std::clamp(nstep + 1, 0, static_cast<int32>(d.aintm.size()));
  const bool scan = d.has_scan == 1;
  const float dpc = (d.psie - d.psia) * 0.05f;  // psi degrees per cm: the scan spans 20 cm
  // Without a psi range there is one point and no spacing.
  const float dx = d.zsw * dpc != 0.0f ? 1.0f / (d.zsw * dpc) : 0.0f;
  const float h = scan ? 7.0f : 14.0f;

  // Title and header panel.
  plots(d);
  newpen(d, 0);
  fonts(d, 0.5f, "Times-Bold");
  symbol(d, 1.0f, 20.5f, 0.5f, d.title, 0.0f, 80);
  fonts(d, 0.5f, "Times-Roman");
  transl(d, -0.5f, 0.0f);

  const clock_reading now = d.clock();
  symbol(d, 22.0f, 20.0f, 0.5f, "Date:", 0.0f, 5);
  symbol(d, 23.5f, 20.0f, 0.5f, two_digits(now.day) + " . " + two_digits(now.month) + " . " + two_digits(now.year),
         0.0f, 12);
  symbol(d, 22.0f, 19.4f, 0.5f, "Time:", 0.0f, 5);
  symbol(d, 23.5f, 19.4f, 0.5f,
         two_digits(now.hour) + " . " + two_digits(now.minute) + " . " + two_digits(now.second), 0.0f, 12);

  fonts(d, 0.5f, "Times-Bold");
  symbol(d, 22.0f, 18.5f, 0.5f, "hkl-prim:", 0.0f, 9);
  number(d, 25.2f, 18.5f, 0.5f, static_cast<float>(d.h1), 0.0f, -1);
  number(d, 26.2f, 18.5f, 0.5f, static_cast<float>(d.k1), 0.0f, -1);
  number(d, 27.2f, 18.5f, 0.5f, static_cast<float>(d.l1), 0.0f, -1);

  fonts(d, 0.5f, "Symbol");  // shows lambda, theta and phi
  symbol(d, 22.0f, 17.5f, 0.5f, "l:", 0.0f, 2);
  symbol(d, 22.0f, 16.8f, 0.5f, "q-", 0.0f, 2);
  symbol(d, 22.0f, 15.6f, 0.5f, "j-", 0.0f, 2);

  fonts(d, 0.5f, "Times-Roman");
  if (d.anode == "dl")
    number(d, 23.0f, 17.5f, 0.5f, (d.lam_lo + d.lam_hi) * 0.5f, 0.0f, 64);
  else
    symbol(d, 23.0f, 17.5f, 0.5f, d.anode, 0.0f, 2);
  symbol(d, 22.5f, 16.8f, 0.5f, "prim:", 0.0f, 5);
  number(d, 24.0f, 16.8f, 0.5f, d.theta_prim, 0.0f, 52);
  symbol(d, 22.0f, 16.2f, 0.5f, "F-prim:", 0.0f, 7);
  number(d, 24.0f, 16.2f, 0.5f, d.fprim, 0.0f, 72);
  symbol(d, 22.5f, 15.6f, 0.5f, "prim:", 0.0f, 5);
  number(d, 24.0f, 15.6f, 0.5f, d.phprim, 0.0f, 72);

  fonts(d, 0.5f, "Times-Bold");
  symbol(d, 22.0f, 11.8f, 0.5f, "Simulation calculated with", 0.0f, 26);
  fonts(d, 0.4f, "Times-Roman");
  symbol(d, 22.0f, 11.1f, 0.4f, "step-width", 0.0f, 14);
  number(d, 25.5f, 11.1f, 0.4f, 1.0f / d.zsw, 0.0f, 53);
  symbol(d, 22.0f, 10.6f, 0.4f, "divergence-p", 0.0f, 14);
  number(d, 25.5f, 10.6f, 0.4f, d.div_par, 0.0f, 53);
  symbol(d, 22.0f, 10.1f, 0.4f, "divergence-s", 0.0f, 14);
  number(d, 25.5f, 10.1f, 0.4f, d.div_norm, 0.0f, 53);
  symbol(d, 22.0f, 9.6f, 0.4f, "mosaic-radius", 0.0f, 14);
  number(d, 25.5f, 9.6f, 0.4f, d.block_r, 0.0f, d.block_r < 10.0f ? 53 : 50);
  symbol(d, 22.0f, 9.1f, 0.4f, "mosaic-spread", 0.0f, 14);
  number(d, 25.5f, 9.1f, 0.4f, d.mosaic, 0.0f, 53);

  fonts(d, 0.5f, "Times-Bold");
  if (d.nnn > 0) {
    symbol(d, 22.0f, 8.6f, 0.5f, "nnn", 0.0f, 14);
    number(d, 25.5f, 8.6f, 0.5f, static_cast<float>(d.nnn), 0.0f, 50);
  } else {
    symbol(d, 22.0f, 8.4f, 0.5f, "without interference term,", 0.0f, 26);
  }
  symbol(d, 22.0f, 7.8f, 0.5f, "taking into account events", 0.0f, 26);
  symbol(d, 22.0f, 7.2f, 0.5f, "with I (cps) >", 0.0f, 14);
  number(d, 25.0f, 7.2f, 0.5f, d.ithresh, 0.0f, 74);

  fonts(d, 0.5f, "Times-Roman");
  if (d.has_scan > 0) {
    symbol(d, 22.0f, 14.6f, 0.5f, "Imax-obs (cps):", 0.0f, 15);
    number(d, 25.3f, 14.6f, 0.5f, d.meas_max, 0.0f, 92);
    symbol(d, 22.0f, 14.0f, 0.5f, "Imin-obs (cps):", 0.0f, 15);
    number(d, 25.3f, 14.0f, 0.5f, d.meas_min, 0.0f, 92);
  }
  symbol(d, 22.0f, 6.2f, 0.5f, "Imax-calc(cps):", 0.0f, 15);
  number(d, 25.3f, 6.2f, 0.5f, d.calc_max, 0.0f, 92);
  symbol(d, 22.0f, 5.6f, 0.5f, "Imin-calc(cps):", 0.0f, 15);
  number(d, 25.3f, 5.6f, 0.5f, d.calc_min, 0.0f, 92);

  // Main frame and intensity axis titles.
  transl(d, 0.5f, 0.0f);
  frame(d, 0, 1.0f, 21.0f, 4.5f, 20.3f);
  fonts(d, 0.5f, "Times-Roman");
  if (scan) {
    symbol(d, 0.7f, 15.5f, 0.5f, "I-obs (cps)", 90.0f, 12);
    symbol(d, 0.7f, 7.5f, 0.5f, "I-calc (cps)", 90.0f, 12);
  } else {
    symbol(d, 0.7f, 15.5f, 0.5f, "I-calc (cps)", 90.0f, 12);
  }

  if (d.plot_imax > 0.0f) {
    d.calc_max = d.plot_imax;
    d.meas_max = d.plot_imax;
  }

  // Calculated profile in the lower band.
  newpen(d, 0);
  for (int32 j = 0; j < npt; ++j) d.aint[j] = band_height(d.aint[j], d.calc_max, d.calc_min, h, 4.8f);
  if (d.calc_max != d.calc_min) {
    const float yp = (d.iprim_calc - d.calc_min) / (d.calc_max - d.calc_min) * h + 4.8f;
    if (std::isfinite(yp)) mark(d, yp, "Iprim");
  }
  mark(d, h + 4.8f, "Imax");
  mark(d, 4.8f, "Imin");
  symbol(d, 21.5f, 5.0f, 0.5f, "Iprim-calc(cps):", 0.0f, 16);
  number(d, 24.8f, 5.0f, 0.5f, d.iprim_calc, 0.0f, 92);
  line(d, dx, d.aint, npt);

  // Measured profile in the upper band; missing points keep their mark.
  if (scan) {
    newpen(d, 1);
    const float base = h + 5.8f;
    for (int32 j = 0; j < nptm; ++j)
      if (d.aintm[j] < missing) d.aintm[j] = band_height(d.aintm[j], d.meas_max, d.meas_min, h, base);
    newpen(d, 0);
    // Without a measured range the Iprim height is undefined: no mark.
    if (d.meas_iprim > d.meas_min && d.meas_max != d.meas_min) {
      const float yp = (d.meas_iprim - d.meas_min) / (d.meas_max - d.meas_min) * h + base;
      if (std::isfinite(yp)) mark(d, yp, "Iprim");
    }
    mark(d, 2.0f * h + 5.8f, "Imax");
    mark(d, base, "Imin");
    symbol(d, 21.5f, 13.4f, 0.5f, "Iprim-obs (cps):", 0.0f, 16);
    number(d, 24.8f, 13.4f, 0.5f, d.meas_iprim, 0.0f, 92);
    newpen(d, 1);
    line2(d, dx, d.aintm, d.meas_shift, nptm);
  }

  // Psi-lambda strip: the band limits of the two lines, then the events.
  newpen(d, 0);
  frame(d, 0, 1.0f, 21.0f, 2.5f, 4.5f);
  dash(d, 0);
  const float band = d.lam_hi - d.lam_lo;
  // A band of zero width has no wavelength scale: the limits lie on the
  // strip's edges and no event curves are drawn.
  const bool has_band = band != 0.0f && std::isfinite(band);
  float y1 = has_band ? 2.5f + 4.0f * d.hw1 / band : 2.5f;
  float y2 = has_band ? 4.5f - 4.0f * d.hw2 / band : 4.5f;
  if (!std::isfinite(y1)) y1 = 2.5f;
  if (!std::isfinite(y2)) y2 = 4.5f;
  plot(d, 1.0f, y1, 3);
  plot(d, 21.0f, y1, 2);
  plot(d, 1.0f, y2, 3);
  plot(d, 21.0f, y2, 2);
  dash(d, 1);

  branch b, a;
  const int32 nev = std::clamp(d.n_plot, 0, max_events);
  for (int32 i = 0; i < nev; ++i) {
    const plot_event& ev = d.events[i];
    dash(d, static_cast<int32>(std::lround(ev.ev_style)));
    b.n = 0;
    a.n = 0;
    if (!has_band || dpc == 0.0f) continue;
    trace_event(d, ev, dpc, b, a);
    draw_event(d, b, a);
  }

  dash(d, 0);
  fonts(d, 0.5f, "Symbol");
  axis(d, 1.0f, 2.5f, "y", 1, 20.0f, 0.0f, d.psia, dpc);
  fonts(d, 0.5f, "Symbol");
  symbol(d, 0.5f, 3.2f, 0.5f, "l", 0.0f, 1);

  transl(d, -0.5f, 0.0f);
  symbo1(d, d.n_plot, d.n_range);
  plot(d, 0.0f, 0.0f, 999);
}

void symbo1(intensity_data& d, int32 plotted, int32 in_range) {
  const std::string times = padded_line("/Times-Roman findfont [14 0 0 14 0 0] makefont setfont", 80);
  put_line(d, times);
  legend_move(d, 22.0f, 3.9f);
  if (plotted == in_range) {
    put_line(d, "(All events) s\n");
  } else if (plotted < 1) {
    put_line(d, "(No events) s\n");
  } else {
    put_line(d, "(Events with I(cps) >) s\n");
    number(d, 26.0f, 3.9f, 0.2f, d.drumin, 0.0f, 92);
  }
  legend_move(d, 22.0f, 3.3f);
  put_line(d, "(are plotted in the) s\n");
  legend_move(d, 22.0f, 2.7f);
  put_line(d, padded_line("/Symbol findfont [14 0 0 14 0 0] makefont setfont", 80));
  put_line(d, "(y-l) s\n");
  put_line(d, times);
  put_line(d, "(-diagram) s\n");
}

}  // namespace korva
