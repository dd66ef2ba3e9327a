// The probability rules shared by the per-cell functions and every scan.
#pragma once

#include <cmath>

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

// Contribution of a non-zero cell with joint probability p and conditional
// probability q. The power is the C library's, correctly or faithfully
// rounded for every exponent.
inline double entropy_term(double p, double q) {
  return p * std::pow(kEntropyBase, 1.0 - q);
}

}  // namespace pellwick::detail
