// The fast paths against the reference scan, and their power function
// against MPFR.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "testing/capture.h"
#include "testing/matrices.h"
#include "threshold/criterion.h"
#include "threshold/dispatch.h"
#include "threshold/exp_base.h"
#include "threshold/fast_scan.h"
#include "threshold/scan.h"

namespace pellwick {
namespace {

using detail::Kernels;
using detail::SimdPath;
using testing::TestMatrix;

std::vector<std::string> path_names() {
  std::vector<std::string> names;
  for (const SimdPath& path : detail::simd_paths()) names.push_back(path.name);
  return names;
}

// One instance per path of the dispatch table; a path this CPU cannot run
// shows as skipped.
class OnEveryPath : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    for (const SimdPath& path : detail::simd_paths()) {
      if (GetParam() != path.name) continue;
      if (!path.available()) GTEST_SKIP() << path.name << " is not available on this CPU";
      kernels_ = path.kernels();
      return;
    }
    FAIL() << "no path " << GetParam();
  }
  Kernels kernels_{};
};

std::vector<double> exp_base_all(const Kernels& k, const std::vector<double>& y) {
  std::vector<double> out(y.size());
  k.exp_base(y.data(), y.size(), out.data());
  return out;
}

// Exponents over the whole domain [0, 1]: both ends, both sides of every
// table point, and a million uniform and a million bit-pattern samples.
std::vector<double> exponents() {
  std::vector<double> y = {0.0, 0x1p-1074, 0x1p-60, 0x1p-53, 1e-300, 0.5,
                           std::nextafter(1.0, 0.0), 1.0 - 0x1p-47, 1.0};
  for (int j = 1; j < 16; ++j) {
    y.push_back(j / 16.0);
    y.push_back(std::nextafter(j / 16.0, 0.0));
    y.push_back(std::nextafter(j / 16.0, 1.0));
  }
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int i = 0; i < 1000000; ++i) y.push_back(uniform(rng));
  for (int i = 0; i < 1000000; ++i) {  // all mantissas, exponents down to 2^-60
    const double v = std::ldexp(1.0 + std::ldexp(double(rng() >> 12), -52), -1 - int(rng() % 60));
    y.push_back(v < 1.0 ? v : 0.5);
  }
  while (y.size() % 8 != 0) y.push_back(0.25);
  return y;
}

TEST(ExpBase, IsFaithful) {
  const std::vector<double> y = exponents();
  std::vector<double> values(y.size());
  for (std::size_t i = 0; i < y.size(); ++i) values[i] = detail::exp_base(y[i]);

  mpfr_t base, exact, error;
  mpfr_inits2(160, base, exact, error, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_d(base, kEntropyBase, MPFR_RNDN);  // the double, exactly
  double worst_ulps = 0.0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    mpfr_t exponent;
    mpfr_init2(exponent, 64);
    mpfr_set_d(exponent, y[i], MPFR_RNDN);
    mpfr_pow(exact, base, exponent, MPFR_RNDN);
    mpfr_clear(exponent);
    const double down = mpfr_get_d(exact, MPFR_RNDD), up = mpfr_get_d(exact, MPFR_RNDU);
    ASSERT_TRUE(values[i] == down || values[i] == up)
        << "E^" << y[i] << ": " << values[i] << " is not next to the exact value";
    mpfr_sub_d(error, exact, values[i], MPFR_RNDN);
    const double ulp = std::nextafter(down, 4.0) - down;
    worst_ulps = std::max(worst_ulps, std::fabs(mpfr_get_d(error, MPFR_RNDN)) / ulp);
  }
  mpfr_clears(base, exact, error, static_cast<mpfr_ptr>(nullptr));
  EXPECT_EQ(detail::exp_base(0.0), 1.0);  // E^0, exactly
  EXPECT_LT(worst_ulps, 1.0);
  RecordProperty("worst_error_ulps", std::to_string(worst_ulps));
}

TEST_P(OnEveryPath, ExpBaseEqualsTheScalarFormOverTheWholeDomain) {
  const std::vector<double> y = exponents();
  const std::vector<double> out = exp_base_all(kernels_, y);
  for (std::size_t i = 0; i < y.size(); ++i)
    ASSERT_EQ(out[i], detail::exp_base(y[i])) << GetParam() << ": E^" << y[i];
}

struct Subject {
  std::string name;
  TestMatrix matrix;
};

std::vector<Subject> subjects() {
  std::vector<Subject> s;
  s.push_back({"dense", testing::dense_matrix(3)});
  s.push_back({"dense near the int limit", testing::dense_matrix(4, INT32_MAX - 1000, INT32_MAX)});
  s.push_back({"photo-like", testing::image_matrix(5, 320, 240, 10)});
  s.push_back({"photo-like, little noise", testing::image_matrix(6, 200, 150, 2)});
  s.push_back({"banded", testing::banded_matrix(7, 12, 300)});
  s.push_back({"wide band, sparse rows and dense rows", testing::banded_matrix(8, 90, 5)});
  s.push_back({"zeros", TestMatrix()});
  s.push_back({"corner cells", TestMatrix{{0, 255, 7}, {255, 0, 9}, {0, 0, 4}, {255, 255, 1}}});
  s.push_back({"tied candidates", TestMatrix{{0, 2, 9}, {200, 100, 9}}});
  TestMatrix sparse;
  std::mt19937 rng(9);
  for (int k = 0; k < 300; ++k) sparse.at(int(rng() % 256), int(rng() % 256)) = int(rng() % 100000);
  s.push_back({"scattered", sparse});
  return s;
}

struct Range {
  int start, end;
};
const Range kRanges[] = {{0, 255}, {3, 17}, {100, 100}, {250, 254}, {-5, 300}, {254, 300}};

TEST_P(OnEveryPath, ScoresEqualTheReferenceWithTheSamePowerBitForBit) {
  for (const Subject& s : subjects()) {
    std::vector<double> expected(kLastCandidate + 1);
    for (int t = 0; t <= kLastCandidate; ++t)
      expected[t] = detail::score_candidate(t, s.matrix, detail::exp_base).value;
    for (const Range& r : {Range{0, kLastCandidate}, Range{7, 7}, Range{5, 20}, Range{240, 254}}) {
      for (detail::TermMode mode : {detail::TermMode::direct, detail::TermMode::cached,
                                    detail::TermMode::automatic}) {
        std::vector<double> scores(r.end - r.start + 1, -1.0);
        ASSERT_TRUE(detail::fast_scores(kernels_, s.matrix, r.start, r.end, scores.data(), mode));
        for (int t = r.start; t <= r.end; ++t) {
          ASSERT_EQ(scores[t - r.start], expected[t])
              << s.name << ", " << GetParam() << ", term mode " << int(mode) << ", candidate "
              << t << " of " << r.start << ".." << r.end;
        }
      }
    }
  }
}

TEST_P(OnEveryPath, LevelsAndOutputEqualTheLibraryPowerReference) {
  for (const Subject& s : subjects()) {
    for (const Range& r : kRanges) {
      int expected_level = 0;
      const std::string expected = testing::captured_stdout([&] {
        expected_level = detail::select_threshold_on(nullptr, s.matrix, r.start, r.end);
      });
      int level = 0;
      const std::string out = testing::captured_stdout(
          [&] { level = detail::select_threshold_on(&kernels_, s.matrix, r.start, r.end); });
      ASSERT_EQ(level, expected_level) << s.name << ", " << GetParam();
      ASSERT_EQ(out, expected) << s.name << ", " << GetParam();
    }
  }
}

TEST(FastScan, ScoresDifferFromTheLibraryPowersOnlyInTheLastBits) {
  for (const Subject& s : subjects()) {
    for (int t = 0; t <= kLastCandidate; t += 3) {
      const double with_library = threshold_score(t, s.matrix, kLevelCount);
      const double with_ours = detail::score_candidate(t, s.matrix, detail::exp_base).value;
      ASSERT_NEAR(with_ours, with_library, 1e-14 * with_library) << s.name << ", " << t;
    }
  }
}

// The quiet entry and the printed scan choose from the same scores.
TEST_P(OnEveryPath, QuietEntryAgreesWithThePrintedScanAndWritesNothing) {
  for (const Subject& s : subjects()) {
    for (const Range& r : kRanges) {
      int printed = 0;
      testing::captured_stdout(
          [&] { printed = detail::select_threshold_on(&kernels_, s.matrix, r.start, r.end); });
      int quiet = 0;
      std::vector<double> scores(r.end - r.start + 1);
      EXPECT_EQ(testing::captured_stdout([&] {
        quiet = detail::select_threshold_quietly_on(&kernels_, s.matrix, r.start, r.end);
        detail::score_candidates_on(&kernels_, s.matrix, r.start, r.end, scores.data());
      }), "");
      ASSERT_EQ(quiet, printed) << s.name << ", " << GetParam() << ", " << r.start << ".." << r.end;
      for (int t = r.start; t <= r.end; ++t) {
        const double expected = t < 0 || t > kLastCandidate
                                    ? 0.0
                                    : detail::score_candidate(t, s.matrix, detail::exp_base).value;
        ASSERT_EQ(scores[t - r.start], expected) << s.name << ", " << GetParam() << ", " << t;
      }
    }
  }
}

TEST_P(OnEveryPath, LeavesMatricesWithNegativeEntriesToTheReference) {
  const TestMatrix M{{0, 5, 3}, {1, 6, -3}, {40, 90, 7}};
  double score = 0.0;
  EXPECT_FALSE(detail::fast_scores(kernels_, M, 0, 10, &score));
  const std::string expected =
      testing::captured_stdout([&] { detail::select_threshold_on(nullptr, M, 0, 60); });
  EXPECT_NE(expected.find("Division por cero"), std::string::npos);
  EXPECT_EQ(testing::captured_stdout([&] { detail::select_threshold_on(&kernels_, M, 0, 60); }),
            expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, OnEveryPath, ::testing::ValuesIn(path_names()),
                         [](const auto& info) { return info.param; });

TEST(Dispatch, PicksTheNamedPathOrFallsBackToTheBestAvailable) {
  const SimdPath* best = nullptr;
  for (const SimdPath& path : detail::simd_paths()) {
    if (path.available() && best == nullptr) best = &path;
  }
  ASSERT_NE(best, nullptr);
  EXPECT_STREQ(detail::simd_paths().back().name, "portable");
  EXPECT_TRUE(detail::simd_paths().back().available());
  for (const SimdPath& path : detail::simd_paths()) {
    EXPECT_STREQ(detail::choose_path(path.name).name, path.available() ? path.name : best->name);
  }
  for (const char* fallback : {"bogus", "", "scalar", "AVX2"})
    EXPECT_STREQ(detail::choose_path(fallback).name, best->name) << fallback;
  EXPECT_STREQ(detail::choose_path(nullptr).name, best->name);
}

}  // namespace
}  // namespace pellwick
