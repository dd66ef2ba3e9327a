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

#include "threshold/exp_base.h"
#include "threshold/fast_scan.h"
#include "threshold/kernels.h"
#include "threshold/probability.h"
#include "threshold/tests/capture.h"
#include "threshold/tests/matrices.h"

namespace pellwick {
namespace {

using detail::Path;
using testing::TestMatrix;

std::vector<Path> fast_paths() {
  std::vector<Path> paths;
  for (Path path : {Path::scalar, Path::avx2, Path::avx512})
    if (detail::path_available(path)) paths.push_back(path);
  return paths;
}

const char* name(Path path) {
  return path == Path::avx512 ? "avx512" : path == Path::avx2 ? "avx2" : "scalar";
}

detail::Kernels kernels(Path path) {
#if defined(PELLWICK_X86_KERNELS)
  if (path == Path::avx512) return detail::avx512_kernels();
  if (path == Path::avx2) return detail::avx2_kernels();
#endif
  return detail::scalar_kernels();
}

// Exponents in [0, 1): both ends, both sides of every table point, and a
// million uniform and a million bit-pattern samples.
std::vector<double> exponents() {
  std::vector<double> y = {0.0, 0x1p-1074, 0x1p-60, 0x1p-53, 1e-300, 0.5,
                           std::nextafter(1.0, 0.0), 1.0 - 0x1p-47};
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

TEST(ExpBase, IsFaithfulAndIdenticalOnEveryPath) {
  const std::vector<double> y = exponents();
  std::vector<double> scalar(y.size());
  kernels(Path::scalar).exp_base(y.data(), y.size(), scalar.data());

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
    ASSERT_TRUE(scalar[i] == down || scalar[i] == up)
        << "E^" << y[i] << ": " << scalar[i] << " is not next to the exact value";
    mpfr_sub_d(error, exact, scalar[i], MPFR_RNDN);
    const double ulp = std::nextafter(down, 4.0) - down;
    worst_ulps = std::max(worst_ulps, std::fabs(mpfr_get_d(error, MPFR_RNDN)) / ulp);
  }
  mpfr_clears(base, exact, error, static_cast<mpfr_ptr>(nullptr));
  EXPECT_EQ(scalar[0], 1.0);  // E^0, exactly
  EXPECT_LT(worst_ulps, 1.0);
  RecordProperty("worst_error_ulps", std::to_string(worst_ulps));

  for (Path path : fast_paths()) {
    std::vector<double> out(y.size());
    kernels(path).exp_base(y.data(), y.size(), out.data());
    for (std::size_t i = 0; i < y.size(); ++i)
      ASSERT_EQ(out[i], scalar[i]) << name(path) << ": E^" << y[i];
  }
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

TEST(FastScan, ScoresEqualTheReferenceWithTheSamePowerBitForBit) {
  for (const Subject& s : subjects()) {
    std::vector<double> expected(255);
    for (int t = 0; t <= 254; ++t)
      expected[t] = detail::threshold_score_with(t, s.matrix, kLevelCount, detail::exp_base);
    for (Path path : fast_paths()) {
      for (const Range& r : {Range{0, 254}, Range{7, 7}, Range{5, 20}, Range{240, 254}}) {
        std::vector<double> scores(r.end - r.start + 1, -1.0);
        ASSERT_TRUE(detail::fast_scores(path, s.matrix, r.start, r.end, scores.data()));
        for (int t = r.start; t <= r.end; ++t) {
          ASSERT_EQ(scores[t - r.start], expected[t])
              << s.name << ", " << name(path) << ", candidate " << t << " of " << r.start << ".."
              << r.end;
        }
      }
    }
  }
}

TEST(FastScan, LevelsAndOutputEqualTheLibraryPowerReference) {
  for (const Subject& s : subjects()) {
    for (const Range& r : kRanges) {
      int expected_level = 0;
      const std::string expected = testing::captured_stdout([&] {
        expected_level = detail::select_threshold_on(Path::reference, s.matrix, r.start, r.end);
      });
      for (Path path : fast_paths()) {
        int level = 0;
        const std::string out = testing::captured_stdout(
            [&] { level = detail::select_threshold_on(path, s.matrix, r.start, r.end); });
        ASSERT_EQ(level, expected_level) << s.name << ", " << name(path);
        ASSERT_EQ(out, expected) << s.name << ", " << name(path);
      }
      // The scores themselves differ from the library's only through the power.
      for (int t = std::max(r.start, 0); t <= std::min(r.end, 254); ++t) {
        const double with_library = threshold_score(t, s.matrix, kLevelCount);
        const double with_ours = detail::threshold_score_with(t, s.matrix, kLevelCount, detail::exp_base);
        ASSERT_NEAR(with_ours, with_library, 1e-14 * with_library) << s.name << ", " << t;
      }
    }
  }
}

TEST(FastScan, LeavesMatricesWithNegativeEntriesToTheReference) {
  const TestMatrix M{{0, 5, 3}, {1, 6, -3}, {40, 90, 7}};
  double score = 0.0;
  for (Path path : fast_paths()) EXPECT_FALSE(detail::fast_scores(path, M, 0, 10, &score));
  const std::string expected =
      testing::captured_stdout([&] { detail::select_threshold_on(Path::reference, M, 0, 60); });
  EXPECT_NE(expected.find("Division por cero"), std::string::npos);
  for (Path path : fast_paths()) {
    EXPECT_EQ(testing::captured_stdout([&] { detail::select_threshold_on(path, M, 0, 60); }),
              expected);
  }
}

TEST(FastScan, EnvironmentChoosesAnAvailablePath) {
  const char* saved = std::getenv("PELLWICK_SIMD");
  const std::string restore = saved != nullptr ? saved : "";
  for (const char* asked : {"scalar", "avx2", "avx512", "bogus"}) {
    setenv("PELLWICK_SIMD", asked, 1);
    const Path chosen = detail::preferred_path();
    EXPECT_TRUE(detail::path_available(chosen)) << asked;
    if (std::string(asked) == "scalar") {
      EXPECT_EQ(chosen, Path::scalar);
    }
    if (std::string(asked) == "avx2" && detail::path_available(Path::avx2)) {
      EXPECT_EQ(chosen, Path::avx2);
    }
  }
  if (saved != nullptr) {
    setenv("PELLWICK_SIMD", restore.c_str(), 1);
  } else {
    unsetenv("PELLWICK_SIMD");
  }
}

}  // namespace
}  // namespace pellwick
