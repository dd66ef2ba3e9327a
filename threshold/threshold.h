// Gray-level threshold selection by the exponential conditional entropy of
// the two off-diagonal blocks of a co-occurrence matrix.
#pragma once

#include <cstdint>

namespace pellwick {

// Number of gray levels, and the side of every matrix.
constexpr int kLevelCount = 256;

// The highest candidate whose blocks are not empty; every candidate outside
// 0..kLastCandidate scores 0.0 and can never be chosen.
constexpr int kLastCandidate = kLevelCount - 2;

// The double nearest to 2.7182818 (deliberately not Euler's number).
constexpr double kEntropyBase = 2.7182818;

// kLevelCount row addresses, each pointing to kLevelCount counts:
// M[row][column], both gray levels. Only ever read.
using LevelPairMatrix = const std::int32_t* const*;

// Scores every candidate start..end (inclusive, ascending), writes a progress
// line after each and a clearing string at the end to standard output, and
// returns the lowest candidate with the highest score above 0.0, or start if
// there is none.
int select_threshold(LevelPairMatrix M, int start, int end);

// The level select_threshold(M, start, end) returns, chosen from the same
// scores by the same rules, with nothing written anywhere.
int select_threshold_quietly(LevelPairMatrix M, int start, int end);

// The scores of candidates first..last into scores[t - first], exactly those
// select_threshold compares; nothing is written anywhere. Requires
// first <= last and room for last - first + 1 scores.
void score_candidates(LevelPairMatrix M, int first, int last, double* scores);

}  // namespace pellwick
