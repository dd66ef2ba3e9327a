// Gray-level threshold selection by the exponential conditional entropy of
// the two off-diagonal blocks of a co-occurrence matrix.
#pragma once

#include <cstdint>

namespace pellwick {

// Number of gray levels, and the side of every matrix.
constexpr int kLevelCount = 256;

// The double nearest to 2.7182818 (deliberately not Euler's number).
constexpr double kEntropyBase = 2.7182818;

// kLevelCount row addresses, each pointing to kLevelCount counts:
// M[row][column], both gray levels. Only ever read.
using LevelPairMatrix = const std::int32_t* const*;

// Per-cell probabilities inside the block that candidate t defines.
// Contract (not checked): 0 <= t <= n - 2 and (i, j) lies inside the block;
// each call sums its normaliser afresh. A zero cell gives 0.0; a zero
// normaliser gives 1.0, and low_high_joint also writes the division message.
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

// Scores every candidate start..end (inclusive, ascending), writes a progress
// line after each and a clearing string at the end, and returns the lowest
// candidate with the highest score above 0.0, or start if there is none.
int select_threshold(LevelPairMatrix M, int start, int end);

}  // namespace pellwick
