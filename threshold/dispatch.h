// Which fast path scans: the one table of instruction sets, best first.
// Adding an instruction set is a kernel file, its compile flags, and a row
// in the table of dispatch.cpp.
#pragma once

#include <string>
#include <vector>

#include "threshold/kernels.h"

namespace pellwick::detail {

struct SimdPath {
  const char* name;      // what PELLWICK_SIMD names it by
  bool (*available)();   // whether this build, CPU and OS can run it
  Kernels (*kernels)();  // only called if available()
};

// Every path, best first; the last one, "portable", runs everywhere.
const std::vector<SimdPath>& simd_paths();

// The path named by `requested` if it is available, else the best available
// one (so an unknown or unavailable name falls back; path.name tells which
// ran). nullptr or "" asks for the best.
const SimdPath& choose_path(const char* requested);

// choose_path() of the environment variable PELLWICK_SIMD.
const SimdPath& preferred_path();

}  // namespace pellwick::detail
