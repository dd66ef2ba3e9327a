#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "threshold/console.h"
#include "testing/capture.h"
#include "testing/test_matrix.h"
#include "threshold/threshold.h"

namespace pellwick {
namespace {

std::string progress_line(int level, double best, int best_level) {
  char line[console::kMaxProgressLine];
  return {line, console::format_progress_line(line, level, best, best_level)};
}

TEST(ProgressLine, HasTheExactBytes) {
  const std::string line = progress_line(7, 1.5, 3);
  EXPECT_EQ(line,
            "-> buscando threshold: (nivel gris:   7) (entropia maxima: 1.500000 en   3)\r");
  EXPECT_EQ(line.size(), 76u);  // 75 characters and the carriage return
  EXPECT_EQ(progress_line(-100, 0.0, 12345),
            "-> buscando threshold: (nivel gris: -100) (entropia maxima: 0.000000 en 12345)\r");
}

// The score is formatted without printf; it must print the digits printf
// prints in the C locale, whatever the magnitude.
TEST(ProgressLine, ScoreDigitsMatchPrintfInTheCLocale) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> exponent(-30.0, 300.0), mantissa(1.0, 10.0);
  std::vector<double> scores = {0.0,       1e-7,      5e-7,     0.0000005,  0.0000015,
                                2.5e-6,    0.1234565, 1.9999995, 5.4365636, 123456.5,
                                1e300,     DBL_MAX,   DBL_MIN,  HUGE_VAL,   -2.5};
  for (int i = 0; i < 20000; ++i) scores.push_back(mantissa(rng) * std::pow(10.0, exponent(rng)));
  for (int i = 0; i < 20000; ++i) scores.push_back(std::ldexp(double(rng() % 20000001), -23));
  for (double score : scores) {
    char expected[2 * console::kMaxProgressLine];
    std::snprintf(expected, sizeof expected,
                  "-> buscando threshold: (nivel gris: %3d) (entropia maxima: %f en %3d)\r", 42,
                  score, 7);
    ASSERT_EQ(progress_line(42, score, 7), expected) << score;
  }
}

TEST(ProgressLine, KeepsTheDecimalPointUnderADecimalCommaLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "the de_DE.UTF-8 locale is missing (generate it with locale-gen)";
  char printed[32];
  std::snprintf(printed, sizeof printed, "%f", 1.5);
  const std::string with_locale = printed;
  const testing::TestMatrix M{{0, 5, 6}, {1, 5, 11}};
  const std::string out = testing::captured_stdout([&] { select_threshold(M, 2, 2); });
  std::setlocale(LC_ALL, "C");
  ASSERT_EQ(with_locale, "1,500000");  // the locale really is active
  EXPECT_NE(out.find("(entropia maxima: 1.595012 en   2)\r"), std::string::npos) << out;
}

}  // namespace
}  // namespace pellwick
