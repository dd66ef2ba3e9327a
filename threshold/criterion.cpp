#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "threshold/console.h"
#include "threshold/probability.h"
#include "threshold/threshold.h"

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
template <class JointProbability, class Power>
double block_entropy(LevelPairMatrix M, Span rows, Span columns, JointProbability joint,
                     Power power) {
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
      const double p = joint(m, total);
      sum += p * power(1.0 - detail::probability(m, column_totals[c]));
    }
  }
  return sum;
}

template <class Power>
double score_with(int t, LevelPairMatrix M, int n, Power power) {
  assert(n <= kLevelCount);
  const double low_high = block_entropy(M, low_rows(t), high_columns(t, n),
                                        detail::low_high_joint_probability, power);
  return low_high +
         block_entropy(M, high_rows(t, n), low_columns(t), detail::probability, power);
}

// The C library's power: correctly or faithfully rounded for every exponent.
double library_power(double y) { return std::pow(kEntropyBase, y); }

}  // namespace

namespace detail {

double threshold_score_with(int t, LevelPairMatrix M, int n, double (*power)(double)) {
  return score_with(t, M, n, power);
}


double low_high_joint_probability(double m, double block_total) {
  if (block_total == 0.0) console::write_division_message();
  return probability(m, block_total);
}

}  // namespace detail

double low_high_joint(int i, int j, int t, LevelPairMatrix M, int n) {
  const double m = M[i][j];
  if (m == 0.0) return m;
  return detail::low_high_joint_probability(
      m, block_total(M, low_rows(t), high_columns(t, n)));
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
  assert(n <= kLevelCount);
  return block_entropy(M, low_rows(t), high_columns(t, n),
                       detail::low_high_joint_probability, library_power);
}

double high_low_entropy(int t, LevelPairMatrix M, int n) {
  assert(n <= kLevelCount);
  return block_entropy(M, high_rows(t, n), low_columns(t), detail::probability, library_power);
}

double threshold_score(int t, LevelPairMatrix M, int n) {
  return score_with(t, M, n, library_power);
}

}  // namespace pellwick
