#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "testing/capture.h"
#include "testing/test_matrix.h"
#include "threshold/threshold.h"

namespace pellwick {
namespace {

using testing::captured_stdout;
using testing::TestMatrix;

const std::string kClearing(77, ' ');

std::string progress(const std::string& level, const std::string& best,
                     const std::string& best_level) {
  return "-> buscando threshold: (nivel gris: " + level + ") (entropia maxima: " +
         best + " en " + best_level + ")\r";
}

struct Scan {
  int level;
  std::string out;
};

Scan scan(LevelPairMatrix M, int start, int end) {
  Scan s{};
  s.out = captured_stdout([&] { s.level = select_threshold(M, start, end); });
  return s;
}

TEST(SelectThreshold, WritesProgressLinesThenTheClearingString) {
  // Cell (0, 2) lies in the low-high block of candidates 0 and 1 only: the
  // tie goes to 0, and later lines keep showing it.
  const TestMatrix M{{0, 2, 9}};
  const Scan s = scan(M, 0, 3);
  EXPECT_EQ(s.level, 0);
  EXPECT_EQ(s.out, progress("  0", "1.000000", "  0") + progress("  1", "1.000000", "  0") +
                       progress("  2", "1.000000", "  0") +
                       progress("  3", "1.000000", "  0") + kClearing);
}

TEST(SelectThreshold, ScoresWithTheBaseNotEulersNumber) {
  // Cells 6 and 11 in one low-high column: 1.5950125 - 2.1e-9 with the base,
  // just above the rounding point with e.
  const TestMatrix M{{0, 5, 6}, {1, 5, 11}};
  EXPECT_EQ(scan(M, 2, 2).out, progress("  2", "1.595012", "  2") + kClearing);
}

TEST(SelectThreshold, RangesThatAreEmptyOrAtTheLimits) {
  const TestMatrix zeros;
  const TestMatrix one_cell{{3, 200, 5}};  // scores 1.0 for candidates 3..199

  Scan s = scan(zeros, 10, 9);
  EXPECT_EQ(s.level, 10);
  EXPECT_EQ(s.out, kClearing);

  s = scan(zeros, INT_MAX, INT_MAX);
  EXPECT_EQ(s.level, INT_MAX);
  EXPECT_EQ(s.out, progress("2147483647", "0.000000", "2147483647") + kClearing);

  s = scan(zeros, INT_MIN, INT_MIN);
  EXPECT_EQ(s.out, progress("-2147483648", "0.000000", "-2147483648") + kClearing);

  s = scan(zeros, 7, 7);
  EXPECT_EQ(s.level, 7);

  s = scan(zeros, -5, 300);
  EXPECT_EQ(s.level, -5);
  EXPECT_EQ(std::count(s.out.begin(), s.out.end(), '\r'), 306);
  EXPECT_EQ(s.out.substr(0, s.out.find('\r') + 1), progress(" -5", "0.000000", " -5"));

  s = scan(one_cell, -5, 300);
  EXPECT_EQ(s.level, 3);
  EXPECT_NE(s.out.find(progress("300", "1.000000", "  3") + kClearing), std::string::npos);
}

TEST(SelectThreshold, DivisionMessagesPrecedeTheirCandidatesLine) {
  // Candidates 1..4 see a zero low-high total with two non-zero cells.
  const TestMatrix M{{0, 5, 3}, {1, 6, -3}};
  const std::string two_messages = "Division por cero => p=1\nDivision por cero => p=1\n";
  const Scan s = scan(M, 0, 5);
  EXPECT_EQ(s.level, 1);
  EXPECT_EQ(s.out, progress("  0", "1.000000", "  0") + two_messages +
                       progress("  1", "2.000000", "  1") + two_messages +
                       progress("  2", "2.000000", "  1") + two_messages +
                       progress("  3", "2.000000", "  1") + two_messages +
                       progress("  4", "2.000000", "  1") +
                       progress("  5", "2.000000", "  1") + kClearing);
}

TEST(SelectThreshold, NaNNeverWinsAndInfinityStaysBest) {
  // Candidates 1..19 score NaN here: infinite terms of both signs.
  const TestMatrix nan_scores{{0, 20, 1000}, {1, 20, -1001}, {0, 21, -1000},
                              {1, 21, 1001}, {0, 22, 5}};
  Scan s = scan(nan_scores, 0, 19);
  EXPECT_EQ(s.level, 0);
  EXPECT_NE(s.out.find(progress(" 19", "1.000000", "  0")), std::string::npos);

  // Candidates 1..19 score +infinity here: only one term overflows.
  const TestMatrix infinite{{0, 20, 1000}, {1, 20, -1001}, {0, 22, 2}};
  s = scan(infinite, 0, 3);
  EXPECT_EQ(s.level, 1);
  EXPECT_NE(s.out.find(progress("  3", "inf", "  1")), std::string::npos);
}

}  // namespace
}  // namespace pellwick
