// Work arrays of the job state.
#include <cstdint>
#include <new>

#include "driver/job.h"
#include "io/format.h"

namespace korva {

namespace {
// Beyond these sizes a job is refused rather than left to exhaust memory.
constexpr std::int64_t max_atom_slots = 16 * 1024 * 1024;  // 4 * n_atoms
constexpr std::int64_t max_species = 1024 * 1024;
constexpr std::int64_t max_profile_points = 64 * 1024 * 1024;
}  // namespace

bool allocate_atoms(intensity_data& d) {
  const std::int64_t slots = 4 * static_cast<std::int64_t>(d.n_atoms);
  bool ok = d.n_atoms >= 0 && d.n_species >= 0 && slots <= max_atom_slots && d.n_species <= max_species;
  if (ok) {
    try {
      d.xa.assign(slots, {});
      d.bt.assign(slots, {});
      d.u.assign(slots, {});
      d.afact.assign(slots, 0.0f);
      d.fnr.assign(slots, 0.0f);
      d.atn.assign(d.n_species, std::string(4, ' '));
      d.formfa.assign(d.n_species, {});
      d.fjs.assign(d.n_species, 0.0f);
      d.fj2s.assign(d.n_species, 0.0f);
      d.anz.assign(d.n_species, 0.0f);
      d.nor.assign(d.n_species, 0);
      d.ff.assign(d.n_species, {});
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  if (!ok) {
    release_arrays(d);
    io::write(*d.out, R"(/,/," Dynamical array allocation failed",/," Number of atoms is to large",/,)"
                      R"(" Please contact the author of KORVA-xx!")");
  }
  return ok;
}

bool allocate_profiles(intensity_data& d) {
  const std::int64_t points = static_cast<std::int64_t>(d.nstep) + 1;
  bool ok = d.nstep >= 0 && points <= max_profile_points;
  if (ok) {
    try {
      d.aint.assign(points, 0.0f);
      d.aintm.assign(points, 1.0e20f);
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  if (!ok) {
    d.aint.clear();
    d.aintm.clear();
    io::write(*d.out, R"(/,/," Dynamical array allocation failed",/,)"
                      R"(" Number of steps = (psie - psia)*zsw is to large",/,)"
                      R"(" Please reduce the number of steps in your input file!")");
  }
  return ok;
}

void release_arrays(intensity_data& d) {
  auto drop = [](auto& v) { std::decay_t<decltype(v)>().swap(v); };
  drop(d.xa);
  drop(d.bt);
  drop(d.u);
  drop(d.afact);
  drop(d.fnr);
  drop(d.atn);
  drop(d.formfa);
  drop(d.fjs);
  drop(d.fj2s);
  drop(d.anz);
  drop(d.nor);
  drop(d.ff);
  drop(d.aint);
  drop(d.aintm);
  drop(d.sf_a);
  drop(d.sf_b);
  drop(d.sf_f);
}

}  // namespace korva
