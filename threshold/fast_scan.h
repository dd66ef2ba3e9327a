// The fast scan: every candidate's score computed ahead of the progress
// output, with totals kept per candidate, only non-zero cells visited, and
// the block sums of several candidates interleaved in vector lanes. Each
// block sum still adds its terms one by one in visiting order, so the only
// difference from the reference criterion is the power function (exp_base,
// faithfully rounded, instead of the C library's pow).
#pragma once

#include "threshold/threshold.h"

namespace pellwick::detail {

enum class Path { reference, scalar, avx2, avx512 };

// Whether this CPU and OS can run the path.
bool path_available(Path path);

// The best available path, unless the environment variable PELLWICK_SIMD
// ("avx512", "avx2" or "scalar") asks for another one that is available.
Path preferred_path();

// Scores of the candidates first..last (0 <= first <= last <= 254) into
// scores[0 .. last - first], on a fast path that path_available(). Returns
// false, having scored nothing, for a matrix with a negative entry: the fast
// paths rely on a non-zero cell's normalisers being positive. May throw
// std::bad_alloc.
bool fast_scores(Path path, LevelPairMatrix M, int first, int last, double* scores);

// select_threshold() on the given path; Path::reference, or a matrix with
// negative entries, scores with threshold_score().
int select_threshold_on(Path path, LevelPairMatrix M, int start, int end);

}  // namespace pellwick::detail
