// X-ray form factors and structure factor.
#include "crystal/fcal.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <new>
#include <string_view>

#include "io/format.h"

namespace korva {

void upform(intensity_data& d, const std::string& symbol, int32 j, int32& nor_out) {
  std::string sym = symbol;
  sym.resize(4, ' ');
  for (const ff_entry& e : ff_table) {
    if (sym != std::string_view(e.symbol, 4)) continue;
    nor_out = e.z;
    auto& ff = d.formfa[j - 1];
    std::copy(e.coef, e.coef + 13, ff.begin());
    ff[13] = e.smax;
    // Dispersion terms only for the tabulated tube lines; any other line
    // keeps the values of the job file.
    const std::string_view an = std::string_view(d.anode).substr(0, 2);
    int32 col = an == "Cu" ? 0 : an == "Mo" ? 2 : an == "Ag" ? 4 : -1;
    if (col >= 0) {
      d.fjs[j - 1] = e.disp[col];
      d.fj2s[j - 1] = e.disp[col + 1];
    }
    return;
  }
  io::write(*d.out,
            R"(" The chemical symbol: ",A4," does not correspond to an"," atom/ion name",/,)"
            R"(" given in the Table 6.1.1.4 of the Internatio","nal Tables for Crystallography,",/,)"
            R"(" Vol. C, p. 500 - 502")",
            {sym});
  d.err_flag = 1;
}

float f0_of(const std::array<float, 14>& ff, float s) {
  const float s2 = s * s;
  if (s <= ff[13]) {
    return ff[0] * std::exp(-ff[1] * s2) + ff[2] * std::exp(-ff[3] * s2) +
           ff[4] * std::exp(-ff[5] * s2) + ff[6] * std::exp(-ff[7] * s2) + ff[8];
  }
  return std::exp(ff[9] + ff[10] * s + 0.1f * ff[11] * s2 + 0.01f * ff[12] * s2 * s);
}

namespace {

// Per-operator constants of one reflection: the transformed indices, their
// products for the quadratic form, and the translation term.
struct op_terms {
  int32 ih, ik, il;
  float hp, kp, lp, ht;
  float hh, kk, ll, hk2, hl2, kl2;
};

bool sf_scratch(intensity_data& d) {
  const std::size_t na = static_cast<std::size_t>(std::max(d.n_atoms, 0));
  const std::size_t nt = static_cast<std::size_t>(std::max(d.n_species, 0));
  try {
    if (d.sf_a.size() < na) d.sf_a.resize(na);
    if (d.sf_b.size() < na) d.sf_b.resize(na);
    if (d.sf_f.size() < nt) d.sf_f.resize(nt);
  } catch (const std::bad_alloc&) {
    io::write(*d.out,
              R"(/,/," Dynamical array allocation failed",/," Number of atoms is to large",/,)"
              R"(" Please contact the author of KORVA-xx!")");
    d.err_flag = 1;
    return false;
  }
  return true;
}

// Warning for a quadratic form below zero; when it makes T exceed 1 the
// error record follows and the call ends.  Returns false on the error.
bool check_displacement(intensity_data& d, const op_terms& o, int32 atom,
                        const std::array<float, 6>& b, float q, bool with_values) {
  if (with_values) {
    io::write(*d.out,
              R"~(/,/,"The quadratic form for hkl = ",3I5,/,/,)~"
              R"~("   b1*h*h+b2*k*k+b3*l*l+2*b4*h*k+2*b5*h*l+2*b6*k*l =",F10.2,/,/,)~"
              R"~(" of the atom",I4," is not positive definite",/,/,)~"
              R"~("please check the corresponding temperature parameters:",/,6F10.5)~",
              {o.ih, o.ik, o.il, q, atom, b[0], b[1], b[2], b[3], b[4], b[5]});
  } else {
    io::write(*d.out,
              R"~(/,/,"The quadratic form for hkl = ",3I5,/,/,)~"
              R"~("   b1*h*h+b2*k*k+b3*l*l+2*b4*h*k+2*b5*h*l+2*b6*k*l",/,/,)~"
              R"~(" of the atom",I4," is not positive definite",/,/,)~"
              R"~("please check the corresponding temperature parameters:",/,6F10.5)~",
              {o.ih, o.ik, o.il, atom, b[0], b[1], b[2], b[3], b[4], b[5]});
  }
  const float t = std::exp(-q);
  if (!(t > 1.0f)) return true;
  if (with_values) {
    io::write(*d.out,
              R"~(/,/,"Temperature factor for hkl = ",3I5,/,/,)~"
              R"~(" T=exp(-(b1*h*h+b2*k*k+b3*l*l+2*b4*h*k+2*b5*h*l+2*b6*k*l) =",F10.3,/,/,)~"
              R"~(" of the atom",I4," is greater than 1!",/,/,)~"
              R"~("please check the corresponding temperature parameters:",/,6F10.5)~",
              {o.ih, o.ik, o.il, t, atom, b[0], b[1], b[2], b[3], b[4], b[5]});
  } else {
    io::write(*d.out,
              R"~(/,/,"Temperature factor for hkl = ",3I5,/,/,)~"
              R"~(" T=exp(-(b1*h*h+b2*k*k+b3*l*l+2*b4*h*k+2*b5*h*l+2*b6*k*l)",/,/,)~"
              R"~(" of the atom",I4," is greater than 1!",/,/,)~"
              R"~("please check the corresponding temperature parameters:",/,6F10.5)~",
              {o.ih, o.ik, o.il, atom, b[0], b[1], b[2], b[3], b[4], b[5]});
  }
  d.err_flag = 1;
  return false;
}

// Truncation toward zero, held inside the integer range for absurd input.
int32 truncated_index(float v) {
  if (!(v > -1.0e9f)) return v != v ? 0 : -1000000000;
  if (v > 1.0e9f) return 1000000000;
  return static_cast<int32>(v);
}

}  // namespace

bool sf_atom_sums(intensity_data& d, int32 h, int32 k, int32 l, bool with_values) {
  if (!sf_scratch(d)) return false;
  const int32 na = std::max(d.n_atoms, 0);
  const int32 ns = std::clamp(d.ns, 0, max_ops);
  const bool centro = d.centro == 1;
  float* A = d.sf_a.data();
  float* B = d.sf_b.data();
  std::fill(A, A + na, 0.0f);
  std::fill(B, B + na, 0.0f);

  const float fh = static_cast<float>(h), fk = static_cast<float>(k), fl = static_cast<float>(l);
  for (int32 j = 0; j < ns; ++j) {
    const auto& r = d.sym_r[j];
    const float* t = d.sym_t[j];
    op_terms o;
    // Indices transformed by the transposed rotation, truncated toward zero;
    // the translation term uses the original indices.
    o.ih = truncated_index(fh * r[0][0] + fk * r[1][0] + fl * r[2][0]);
    o.ik = truncated_index(fh * r[0][1] + fk * r[1][1] + fl * r[2][1]);
    o.il = truncated_index(fh * r[0][2] + fk * r[1][2] + fl * r[2][2]);
    o.ht = fh * t[0] + fk * t[1] + fl * t[2];
    o.hp = static_cast<float>(o.ih);
    o.kp = static_cast<float>(o.ik);
    o.lp = static_cast<float>(o.il);
    const std::int64_t ih = o.ih, ik = o.ik, il = o.il;
    o.hh = static_cast<float>(ih * ih);
    o.kk = static_cast<float>(ik * ik);
    o.ll = static_cast<float>(il * il);
    o.hk2 = static_cast<float>(2 * ih * ik);
    o.hl2 = static_cast<float>(2 * ih * il);
    o.kl2 = static_cast<float>(2 * ik * il);

    for (int32 i = 0; i < na; ++i) {
      const auto& x = d.xa[i];
      const auto& b = d.bt[i];
      const float phi = 6.283185f * (o.hp * x[0] + o.kp * x[1] + o.lp * x[2] + o.ht);
      const float q = b[0] * o.hh + b[1] * o.kk + b[2] * o.ll + b[3] * o.hk2 + b[4] * o.hl2 +
                      b[5] * o.kl2;
      // exp(-q) can only exceed 1 for q below zero
      if (q < 0.0f) [[unlikely]] {
        if (!check_displacement(d, o, i + 1, b, q, with_values)) return false;
      }
      const float T = std::exp(-q);
      A[i] += T * std::cos(phi);
      if (!centro) B[i] += T * std::sin(phi);
    }
  }
  // The inversion-related half of the operators: centres at the origin, so
  // the cosine sums double and the sine sums cancel.
  if (centro) {
    for (int32 i = 0; i < na; ++i) A[i] = 2.0f * A[i];
  }
  return true;
}

float sf_phase(float re, float im) {
  if (re == 0.0f || im == 0.0f) {
    if (im == 0.0f) return re < 0.0f ? 3.1415927f : 0.0f;
    return im > 0.0f ? 1.5707963f : -1.5707963f;
  }
  float ph = std::atan2(im, re);
  if (ph < -0.001f) ph += 6.2831855f;
  return ph;
}

void fcalc1(intensity_data& d, int32 h, int32 k, int32 l, float s, float& F, float& phase) {
  if (!sf_scratch(d)) return;
  if (s > 6.0f) {
    F = 0.0f;
    phase = 0.0f;
    return;
  }
  if (!sf_atom_sums(d, h, k, l, true)) return;

  const int32 nt = std::max(d.n_species, 0);
  for (int32 p = 0; p < nt; ++p) {
    float f = f0_of(d.formfa[p], s) + d.fjs[p];
    if (f < 0.0f) f = 0.0f;
    d.sf_f[p] = f;
  }

  const float* A = d.sf_a.data();
  const float* B = d.sf_b.data();
  const int32 na = std::max(d.n_atoms, 0);
  float re = 0.0f, im = 0.0f;
  // (f + i f'') (A + i B), weighted by the occupancy
  if (d.centro == 1) {
    for (int32 i = 0; i < na; ++i) {
      const int32 p = static_cast<int32>(d.fnr[i]);
      if (p < 1 || p > nt) continue;
      const float w = d.afact[i];
      re += A[i] * w * d.sf_f[p - 1];
      im += A[i] * w * d.fj2s[p - 1];
    }
  } else {
    for (int32 i = 0; i < na; ++i) {
      const int32 p = static_cast<int32>(d.fnr[i]);
      if (p < 1 || p > nt) continue;
      const float w = d.afact[i];
      const float f = d.sf_f[p - 1], f2 = d.fj2s[p - 1];
      re += (f * A[i] - f2 * B[i]) * w;
      im += (f2 * A[i] + f * B[i]) * w;
    }
  }
  F = std::sqrt(re * re + im * im);
  d.f_im = im;
  phase = sf_phase(re, im);
}

}  // namespace korva
