#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "testing/capture.h"
#include "testing/test_matrix.h"
#include "threshold/criterion.h"

namespace pellwick {
namespace {

using testing::captured_stdout;
using testing::Cell;
using testing::TestMatrix;

// The two cells of one low-high column, 1 then 3, summed in visiting order.
double one_and_three_score() {
  double sum = 0.0;
  sum += 0.25 * std::pow(kEntropyBase, 1.0 - 0.25);
  sum += 0.75 * std::pow(kEntropyBase, 1.0 - 0.75);
  return sum;
}

struct ScoreCase {
  const char* name;
  std::vector<Cell> cells;
  std::vector<int> candidates;
  double expected;
};

void PrintTo(const ScoreCase& c, std::ostream* os) { *os << c.name; }

class ScoreTable : public ::testing::TestWithParam<ScoreCase> {};

TEST_P(ScoreTable, ScoresExactlyAndSilently) {
  const ScoreCase& c = GetParam();
  TestMatrix M;
  for (const Cell& cell : c.cells) M.at(cell.row, cell.column) = cell.count;
  for (int t : c.candidates) {
    double score = -1.0;
    EXPECT_EQ(captured_stdout([&] { score = threshold_score(t, M, kLevelCount); }), "");
    EXPECT_EQ(score, c.expected) << "candidate " << t;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Criterion, ScoreTable,
    ::testing::Values(
        ScoreCase{"AllZero", {}, {0, 1, 127, 253, 254}, 0.0},
        ScoreCase{"OneLowHighCell", {{3, 200, 5}}, {3, 100, 199}, 1.0},
        ScoreCase{"OneHighLowCell", {{200, 3, 7}}, {3, 100, 199}, 1.0},
        ScoreCase{"CellOutsideBothBlocks", {{3, 200, 5}}, {2, 200, 254}, 0.0},
        ScoreCase{"OneAndThreeInAColumn", {{0, 9, 1}, {4, 9, 3}}, {4, 5, 8},
                  one_and_three_score()},
        ScoreCase{"HighLowTotalCancelsSilently", {{5, 0, 2}, {6, 1, -2}}, {2},
                  2.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Criterion, CandidatesWithEmptyBlocksReadNoRow) {
  const std::vector<const std::int32_t*> no_rows(kLevelCount, nullptr);
  for (int t : {INT_MIN, -2, -1, 255, 256, INT_MAX}) {
    EXPECT_EQ(threshold_score(t, no_rows.data(), kLevelCount), 0.0) << t;
    EXPECT_EQ(low_high_entropy(t, no_rows.data(), kLevelCount), 0.0) << t;
    EXPECT_EQ(high_low_entropy(t, no_rows.data(), kLevelCount), 0.0) << t;
  }
}

TEST(Criterion, CountsEveryNonZeroLowHighCellThatMeetsAZeroTotal) {
  // Candidates 1..4 hold both cells in the low-high block, whose total is 0:
  // each cell takes p = 1 and q = 1 and so adds exactly 1. Cells 4 and -4 of
  // the high-low block (candidates 0..6) fall back the same way, uncounted.
  const TestMatrix M{{0, 5, 3}, {1, 6, -3}, {2, 9, 0}, {7, 0, 4}, {8, 0, -4}};
  struct Expected { int t; double score; int fallbacks; };
  for (const Expected& e : {Expected{2, 4.0, 2}, Expected{0, 3.0, 0}, Expected{6, 2.0, 0}}) {
    detail::Score score;
    EXPECT_EQ(captured_stdout([&] { score = detail::score_candidate(e.t, M, detail::library_power); }),
              "");
    EXPECT_EQ(score.value, e.score) << e.t;
    EXPECT_EQ(score.division_fallbacks, e.fallbacks) << e.t;
    EXPECT_EQ(threshold_score(e.t, M, kLevelCount), e.score) << e.t;
  }
}

TEST(Criterion, OverflowingPowersOfOppositeSignsMakeNaN) {
  // Column 20 totals -1 and column 21 totals 1, so the cells 1000 and -1000
  // both have q = -1000 and an infinite power, with p = 200 and -200.
  const TestMatrix M{{0, 20, 1000}, {1, 20, -1001}, {0, 21, -1000}, {1, 21, 1001},
                     {0, 22, 5}};
  EXPECT_TRUE(std::isnan(threshold_score(10, M, kLevelCount)));
  EXPECT_EQ(threshold_score(0, M, kLevelCount), 1.0);
}

// The criterion written cell by cell from the per-cell functions, each of
// which sums its normaliser afresh: slow, and the plainest reading of the
// definition.
double literal_entropy(int t, LevelPairMatrix M, bool low_high) {
  const int n = kLevelCount;
  const auto joint = low_high ? low_high_joint : high_low_joint;
  const auto conditional = low_high ? low_high_conditional : high_low_conditional;
  const long long first_row = low_high ? 0 : t + 1LL, last_row = low_high ? t : n - 1;
  const long long first_col = low_high ? t + 1LL : 0, last_col = low_high ? n - 1 : t;
  double sum = 0.0;
  for (long long i = first_row; i <= last_row; ++i) {
    for (long long j = first_col; j <= last_col; ++j) {
      const double p = joint(int(i), int(j), t, M, n);
      if (p == 0.0) {
        sum += p;
      } else {
        sum += p * std::pow(kEntropyBase, 1.0 - conditional(int(i), int(j), t, M, n));
      }
    }
  }
  return sum;
}

TEST(Criterion, BlockTotalsOnceAgreeWithPerCellSumsBitForBit) {
  std::mt19937 rng(20261211);
  for (int trial = 0; trial < 6; ++trial) {
    TestMatrix M;
    // Small counts of both signs, so that totals cancel now and then.
    std::uniform_int_distribution<int> level(0, kLevelCount - 1), count(-3, 4);
    for (int k = 0; k < 14; ++k) M.at(level(rng), level(rng)) = count(rng);
    for (int t = -1; t <= kLevelCount; t += 1 + trial) {
      const double literal = literal_entropy(t, M, true) + literal_entropy(t, M, false);
      const double fast = threshold_score(t, M, kLevelCount);
      if (std::isnan(literal)) {
        ASSERT_TRUE(std::isnan(fast));
      } else {
        ASSERT_EQ(fast, literal) << "trial " << trial << ", candidate " << t;
      }
    }
  }
}

}  // namespace
}  // namespace pellwick
