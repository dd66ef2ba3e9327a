// The scan on a chosen path, for the tests, the fuzzer and the benchmark;
// threshold.h's functions run it on the preferred path.
#pragma once

#include "threshold/kernels.h"
#include "threshold/threshold.h"

namespace pellwick::detail {

// `kernels` == nullptr scans with the reference criterion and the C
// library's pow; so does any path for a matrix with negative entries (or
// when memory for the fast scan runs out).
int select_threshold_on(const Kernels* kernels, LevelPairMatrix M, int start, int end);
int select_threshold_quietly_on(const Kernels* kernels, LevelPairMatrix M, int start, int end);
void score_candidates_on(const Kernels* kernels, LevelPairMatrix M, int first, int last,
                         double* scores);

}  // namespace pellwick::detail
