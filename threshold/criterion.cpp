#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "threshold/criterion.h"
#include "threshold/probability.h"

namespace pellwick {
namespace {

// Inclusive range of indices; empty when first > last. The ends are 64-bit
// so that t + 1 is formed without overflow for every int candidate.
struct Span {
  std::int64_t first;
  std::int64_t last;
  bool empty() const { return first > last; }
};

Span low_rows(int t) { return {0, t}; }
Span high_rows(int t, int n) { return {std::int64_t{t} + 1, n - 1}; }
Span low_columns(int t) { return {0, t}; }
Span high_columns(int t, int n) { return {std::int64_t{t} + 1, n - 1}; }

// Entries are at most 2^31 in magnitude and a block has at most 2^16 of
// them, so every partial sum is an integer below 2^47: exact in a double, in
// any order of addition.
double block_total(LevelPairMatrix M, Span rows, Span columns) {
  double total = 0.0;
  for (auto r = rows.first; r <= rows.last; ++r)
    for (auto c = columns.first; c <= columns.last; ++c) total += M[r][c];
  return total;
}

double column_total(LevelPairMatrix M, Span rows, int column) {
  double total = 0.0;
  for (auto r = rows.first; r <= rows.last; ++r) total += M[r][column];
  return total;
}

// Sum of the block's terms, row by row and column by column, rounded after
// every addition. The block and column totals are exact, so computing them
// once per block gives the same terms as summing them afresh per cell.
// Counts the non-zero cells that met a zero block total into `fallbacks`.
double block_entropy(LevelPairMatrix M, Span rows, Span columns, detail::Power power,
                     int& fallbacks) {
  if (rows.empty() || columns.empty()) return 0.0;
  std::array<double, kLevelCount> column_totals{};
  for (auto r = rows.first; r <= rows.last; ++r)
    for (auto c = columns.first; c <= columns.last; ++c)
      column_totals[c] += M[r][c];
  double total = 0.0;
  for (auto c = columns.first; c <= columns.last; ++c) total += column_totals[c];

  double sum = 0.0;
  for (auto r = rows.first; r <= rows.last; ++r) {
    for (auto c = columns.first; c <= columns.last; ++c) {
      const double m = M[r][c];
      if (m == 0.0) continue;  // its joint probability is 0.0: adds nothing
      if (total == 0.0) ++fallbacks;
      const double p = detail::probability(m, total);
      sum += p * power(1.0 - detail::probability(m, column_totals[c]));
    }
  }
  return sum;
}

double low_high_block(int t, LevelPairMatrix M, int n, detail::Power power, int& fallbacks) {
  assert(n <= kLevelCount);
  return block_entropy(M, low_rows(t), high_columns(t, n), power, fallbacks);
}

// Only the low-high block's fall-backs are reported.
double high_low_block(int t, LevelPairMatrix M, int n, detail::Power power) {
  assert(n <= kLevelCount);
  int unreported = 0;
  return block_entropy(M, high_rows(t, n), low_columns(t), power, unreported);
}

// The low-high block first, then the high-low one.
detail::Score score_with(int t, LevelPairMatrix M, int n, detail::Power power) {
  detail::Score score;
  const double low_high = low_high_block(t, M, n, power, score.division_fallbacks);
  score.value = low_high + high_low_block(t, M, n, power);
  return score;
}

}  // namespace

namespace detail {

double library_power(double y) { return std::pow(kEntropyBase, y); }

Score score_candidate(int t, LevelPairMatrix M, Power power) {
  return score_with(t, M, kLevelCount, power);
}

}  // namespace detail

double low_high_joint(int i, int j, int t, LevelPairMatrix M, int n) {
  const double m = M[i][j];
  if (m == 0.0) return m;
  return detail::probability(m, block_total(M, low_rows(t), high_columns(t, n)));
}

double low_high_conditional(int i, int j, int t, LevelPairMatrix M, int) {
  const double m = M[i][j];
  if (m == 0.0) return m;
  return detail::probability(m, column_total(M, low_rows(t), j));
}

double high_low_joint(int i, int j, int t, LevelPairMatrix M, int n) {
  const double m = M[i][j];
  if (m == 0.0) return m;
  return detail::probability(m, block_total(M, high_rows(t, n), low_columns(t)));
}

double high_low_conditional(int i, int j, int t, LevelPairMatrix M, int n) {
  const double m = M[i][j];
  if (m == 0.0) return m;
  assert(t >= -1 && "rows t+1.. must exist");
  return detail::probability(m, column_total(M, high_rows(t, n), j));
}

double low_high_entropy(int t, LevelPairMatrix M, int n) {
  int unreported = 0;
  return low_high_block(t, M, n, detail::library_power, unreported);
}

double high_low_entropy(int t, LevelPairMatrix M, int n) {
  return high_low_block(t, M, n, detail::library_power);
}

double threshold_score(int t, LevelPairMatrix M, int n) {
  return score_with(t, M, n, detail::library_power).value;
}

}  // namespace pellwick
