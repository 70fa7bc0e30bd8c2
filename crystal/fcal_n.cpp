// Neutron scattering lengths and structure factor.
#include "crystal/fcal_n.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "crystal/fcal.h"
#include "io/format.h"

namespace korva {

const std::array<nb_entry, nb_table_size> nb_table = {{
    {"H   ", -3.739f}, {"He  ", 3.26f}, {"Li  ", -1.9f}, {"Be  ", 7.79f}, {"B   ", 5.3f},
    {"C   ", 6.646f}, {"N   ", 9.36f}, {"O   ", 5.803f}, {"F   ", 5.654f}, {"Ne  ", 4.547f},
    {"Na  ", 3.63f}, {"Mg  ", 5.375f}, {"Al  ", 3.449f}, {"Siv ", 4.149f}, {"P   ", 5.13f},
    {"S   ", 2.847f}, {"Cl  ", 9.577f}, {"Ar  ", 1.909f}, {"K   ", 3.71f}, {"Ca  ", 4.9f},
    {"Sc  ", 12.29f}, {"Ti  ", -3.438f}, {"V   ", -0.3824f}, {"Cr  ", 3.635f}, {"Mn  ", -3.73f},
    {"Fe  ", 9.54f}, {"Co  ", 2.5f}, {"Ni  ", 10.3f}, {"Cu  ", 7.718f}, {"Zn  ", 5.689f},
    {"Ga  ", 7.2879f}, {"Ge  ", 8.1929f}, {"As  ", 6.58f}, {"Se  ", 7.97f}, {"Br  ", 6.795f},
    {"Kr  ", 7.8f}, {"Rb  ", 7.08f}, {"Sr  ", 7.02f}, {"Y   ", 7.75f}, {"Zr  ", 7.16f},
    {"Nb  ", 7.054f}, {"Mo  ", 6.95f}, {"Tc  ", 6.8f}, {"Ru  ", 7.21f}, {"Rh  ", 5.88f},
    {"Pd  ", 5.91f}, {"Ag  ", 5.922f}, {"Cd  ", 5.1f}, {"In  ", 4.065f}, {"Sn  ", 6.2257f},
    {"Sb  ", 5.57f}, {"Te  ", 5.8f}, {"I   ", 5.28f}, {"Xe  ", 4.85f}, {"Cs  ", 5.42f},
    {"Ba  ", 5.06f}, {"La  ", 8.24f}, {"Ce  ", 4.84f}, {"Pr  ", 4.45f}, {"Nd  ", 7.69f},
    {"Pm  ", 12.6f}, {"Sm  ", 4.2f}, {"Eu  ", 6.73f}, {"Gd  ", 9.5f}, {"Tb  ", 7.38f},
    {"Dy  ", 16.9f}, {"Ho  ", 8.08f}, {"Er  ", 8.03f}, {"Tm  ", 7.07f}, {"Yb  ", 12.41f},
    {"Lu  ", 7.21f}, {"Hf  ", 7.77f}, {"Ta  ", 6.91f}, {"W   ", 4.77f}, {"Re  ", 9.2f},
    {"Os  ", 11.0f}, {"Ir  ", 10.6f}, {"Pt  ", 9.6f}, {"Au  ", 7.63f}, {"Hg  ", 12.692f},
    {"Tl  ", 8.776f}, {"Pb  ", 9.4017f}, {"Bi  ", 8.5307f}, {"Po  ", 0.0f}, {"At  ", 0.0f},
    {"Rn  ", 0.0f}, {"Fr  ", 0.0f}, {"Ra  ", 10.0f}, {"Ac  ", 0.0f}, {"Th  ", 10.63f},
    {"Pa  ", 9.1f}, {"U   ", 8.417f},
}};

void upform_n(intensity_data& d, const std::string& symbol, int32& nor_out, float& b) {
  std::string sym = symbol;
  sym.resize(4, ' ');
  for (int32 k = 0; k < nb_table_size; ++k) {
    if (sym != std::string_view(nb_table[k].symbol, 4)) continue;
    nor_out = k + 1;
    if (b != 0.0f) return;  // a length from the job file wins
    b = nb_table[k].b;
    if (b == 0.0f) {
      io::write(*d.out, R"(" The scattering length is not known for the atomic number ",I3)",
                {k + 1});
    }
    return;
  }
  io::write(*d.out, R"(" The chemical symbol: ",A4," does not correspond to an"," atom name")",
            {sym});
  d.err_flag = 1;
}

void fcalc1_n(intensity_data& d, int32 h, int32 k, int32 l, float& F, float& phase) {
  // Lengths do not depend on the scattering angle: every reflection is
  // computed, with the same operator/atom sums as for X-rays.
  if (!sf_atom_sums(d, h, k, l, false)) return;

  const float* A = d.sf_a.data();
  const float* B = d.sf_b.data();
  const int32 na = std::max(d.n_atoms, 0);
  const int32 nt = std::max(d.n_species, 0);
  float re = 0.0f, im = 0.0f;
  if (d.centro == 1) {
    for (int32 i = 0; i < na; ++i) {
      const int32 p = static_cast<int32>(d.fnr[i]);
      if (p < 1 || p > nt) continue;
      re += A[i] * d.afact[i] * d.fjs[p - 1];
    }
  } else {
    for (int32 i = 0; i < na; ++i) {
      const int32 p = static_cast<int32>(d.fnr[i]);
      if (p < 1 || p > nt) continue;
      const float w = d.afact[i];
      re += w * A[i] * d.fjs[p - 1];
      im += w * B[i] * d.fjs[p - 1];
    }
  }
  F = std::sqrt(re * re + im * im);
  d.f_im = im;
  phase = sf_phase(re, im);
}

}  // namespace korva
