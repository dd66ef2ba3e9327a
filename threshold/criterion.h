// The criterion cell by cell and block by block: the internals behind
// threshold.h, for the scan and for the tests. Everything here only computes;
// the scan is the one place that writes.
#pragma once

#include "threshold/threshold.h"

namespace pellwick {

// Per-cell probabilities inside the block that candidate t defines, n being
// the level count (kLevelCount). Contract (not checked): 0 <= t <= n - 2 and
// (i, j) lies inside the block; each call sums its normaliser afresh. A zero
// cell gives 0.0, a zero normaliser 1.0 (see probability()).
double low_high_joint(int i, int j, int t, LevelPairMatrix M, int n);
double low_high_conditional(int i, int j, int t, LevelPairMatrix M, int n);
double high_low_joint(int i, int j, int t, LevelPairMatrix M, int n);
double high_low_conditional(int i, int j, int t, LevelPairMatrix M, int n);

// Exponential conditional entropy of the block of rows 0..t x columns
// t+1..n-1 (low-high) or rows t+1..n-1 x columns 0..t (high-low); 0.0 when
// the block is empty, which is the case for any t outside 0..n-2.
// Requires n <= kLevelCount.
double low_high_entropy(int t, LevelPairMatrix M, int n);
double high_low_entropy(int t, LevelPairMatrix M, int n);

// low_high_entropy(t) + high_low_entropy(t), evaluated in that order.
double threshold_score(int t, LevelPairMatrix M, int n);

namespace detail {

// A candidate's score, and the number of non-zero low-high cells that met a
// zero block total (possible only with negative entries): the scan reports
// each of them with one line before the candidate's progress line.
struct Score {
  double value = 0.0;
  int division_fallbacks = 0;
};

// y -> kEntropyBase^y.
using Power = double (*)(double);

// The C library's pow: correctly or faithfully rounded for every exponent.
double library_power(double y);

// threshold_score(t) with the given power function, so that other ways of
// scoring can be checked against it to the bit; any int t.
Score score_candidate(int t, LevelPairMatrix M, Power power);

}  // namespace detail
}  // namespace pellwick
