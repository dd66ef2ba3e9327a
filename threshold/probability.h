// The probability rules shared by the per-cell functions and every scan.
#pragma once

#include "threshold/threshold.h"

namespace pellwick::detail {

// Share of a non-zero count m in its normaliser (a block or column total).
// A zero normaliser, possible only with negative entries, gives 1.0 instead
// of a division by zero.
inline double probability(double m, double normaliser) {
  return normaliser == 0.0 ? 1.0 : m / normaliser;
}

// As probability(), for the joint probability of a low-high cell: that block
// reports each fall-back on standard output, one line per cell.
double low_high_joint_probability(double m, double block_total);

// threshold_score() with another power function y -> kEntropyBase^y in
// place of the C library's pow, so that other ways of scoring can be checked
// against it to the bit.
double threshold_score_with(int t, LevelPairMatrix M, int n, double (*power)(double));

}  // namespace pellwick::detail
