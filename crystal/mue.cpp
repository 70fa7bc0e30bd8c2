// Linear absorption coefficient (X-rays) and density of the crystal.
#include "crystal/mue.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "io/format.h"

namespace korva {

namespace {

constexpr const char* no_mu_z =
    R"(" The linear absorption coefficient cannot be"," calculated for the atomic number ",I3)";
constexpr const char* no_mu_lambda =
    R"(" The linear absorption coefficient cannot be"," calculated for the wavelength ",F10.5)";
constexpr const char* no_weight =
    R"(" The atomic weight is not known for the atomic number ",I3)";
constexpr const char* past_table =
    R"(" The absorption table of the atomic number ",I3," ends at",F8.4," A; its last range is extrapolated")";

// Triple (0..4) of the row whose range holds lambda.  Range k runs from the
// edge before it up to and including its own edge e_k: at the edge
// wavelength the photon energy just reaches the binding energy of the shell,
// so that shell already absorbs and the short-wavelength pair applies.
// Past the last edge there is no further range; the last pair is carried
// on and `past` is set.
int range_of(const float* row, float lambda, bool& past) {
  int last = -1;
  past = false;
  for (int k = 0; k < 5; ++k) {
    const float e = row[3 * k + 2];
    if (e <= 0.0f) continue;  // empty triple
    if (lambda <= e) return k;
    last = k;
  }
  past = true;
  return last;
}

}  // namespace

void mue(intensity_data& d, float lambda, float vol, float& mu, int32 n_species,
         float& density) {
  std::ostream& out = *d.out;
  const int32 n = static_cast<int32>(
      std::min<std::size_t>({static_cast<std::size_t>(std::max(n_species, 0)),
                             d.nor.size(), d.anz.size()}));

  // Compton (Klein-Nishina) scattering per electron, times Avogadro's number.
  // The bracket is a difference of terms near 2 that cancel to O(k^2), with
  // k = lambda_C / lambda of order 0.01; in single precision it would lose
  // most of its digits (2 % at 2 A, a sign change near 10 A), so it is
  // evaluated in double and only the result kept as a real.
  bool failed = false;
  float sigma = 0.0f;
  if (lambda > 0.0f) {
    const double k = 0.024262113 / lambda;
    const double t = 1.0 + 2.0 * k;
    const double L = std::log1p(2.0 * k);
    sigma = static_cast<float>(
        0.30044827 * (L / (2.0 * k) - (1.0 + 3.0 * k) / (t * t) +
                      ((1.0 + k) / (k * k)) * (2.0 * (1.0 + k) / t - L / k)));
  } else {
    io::write(out, no_mu_lambda, {lambda});
    failed = true;
  }

  bool no_density = false;
  float sa = 0.0f, sm = 0.0f;
  for (int32 j = 0; j < n; ++j) {
    const int32 z = d.nor[j];
    const float cnt = d.anz[j];
    if (z < 1 || z > 83) {
      io::write(out, no_mu_z, {z});
      failed = true;
      // the density still follows from the standard weight where it exists
      if (z >= 1 && z <= 92) {
        sa += atom_weight[z - 1] * cnt;
      } else {
        io::write(out, no_weight, {z});
        no_density = true;
      }
      continue;
    }
    const float* row = vic_table[z - 1];
    const float a = row[15];
    sa += a * cnt;
    if (!(lambda > 0.0f)) continue;  // no coefficient without a wavelength

    bool past = false;
    const int r = range_of(row, lambda, past);
    if (past) io::write(out, past_table, {z, row[3 * r + 2]});
    const float c = row[3 * r], dd = row[3 * r + 1];
    const float l3 = lambda * lambda * lambda;
    // Photoabsorption cannot be negative; C l^3 - D l^4 only turns over when
    // the last range is extrapolated far beyond its edge.
    const float photo = std::max(c * l3 - dd * l3 * lambda, 0.0f);
    const float m = photo + sigma * z / a;
    sm += a * m * cnt * 0.16604207f;
  }

  mu = failed ? 1.0f : 10.0f * sm / vol;
  density = no_density ? 0.0f : 10.0f * sa / (6.0225701f * vol);
}

void mue_n(intensity_data& d, float vol, int32 n_species, float& density) {
  const int32 n = static_cast<int32>(
      std::min<std::size_t>({static_cast<std::size_t>(std::max(n_species, 0)),
                             d.nor.size(), d.anz.size()}));
  float s = 0.0f;
  for (int32 j = 0; j < n; ++j) {
    const int32 z = d.nor[j];
    if (z < 1 || z > 92) {
      io::write(*d.out, no_weight, {z});
      density = 0.0f;
      return;
    }
    s += atom_weight[z - 1] * d.anz[j];
  }
  density = 10.0f * s / (6.0225701f * vol);
}

}  // namespace korva
