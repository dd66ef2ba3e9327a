// The fast scan: every candidate's score computed ahead of the progress
// output, with totals kept per candidate, only non-zero cells visited, and
// the block sums of several candidates interleaved in vector lanes. Each
// block sum still adds its terms one by one in visiting order, so the only
// difference from the reference criterion is the power function (exp_base,
// faithfully rounded, instead of the C library's pow).
#pragma once

#include "threshold/kernels.h"
#include "threshold/threshold.h"

namespace pellwick::detail {

// How the terms are found: each cell's computed as it is visited (direct),
// each distinct (column, count) pair's computed once per side (cached), or
// cached where the matrix's pairs repeat enough for that to pay (automatic).
// All three give the same bits.
enum class TermMode { automatic, direct, cached };

// Scores of the candidates first..last (0 <= first <= last <= kLastCandidate)
// into scores[0 .. last - first], with the given kernels. Returns false,
// having scored nothing, for a matrix with a negative entry: the kernels rely
// on a non-zero cell's normalisers being positive. May throw std::bad_alloc.
bool fast_scores(const Kernels& kernels, LevelPairMatrix M, int first, int last,
                 double* scores, TermMode mode = TermMode::automatic);

}  // namespace pellwick::detail
