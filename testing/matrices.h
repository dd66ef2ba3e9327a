// Matrices that tests and benchmarks share: dense, image-like, banded.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "testing/test_matrix.h"

namespace pellwick::testing {

// Every cell drawn from lo..hi.
inline TestMatrix dense_matrix(unsigned seed, std::int32_t lo = 1, std::int32_t hi = 1000) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::int32_t> count(lo, hi);
  TestMatrix M;
  for (int r = 0; r < kLevelCount; ++r)
    for (int c = 0; c < kLevelCount; ++c) M.at(r, c) = count(rng);
  return M;
}

// The co-occurrence matrix (right and lower neighbours) of a synthetic
// photograph: smooth shading, a few bright discs, and noise of the given
// amplitude, which sets how far the cells spread from the diagonal.
inline TestMatrix image_matrix(unsigned seed, int width, int height, int noise) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> jitter(-noise, noise);
  std::uniform_real_distribution<double> place(0.0, 1.0);
  struct Disc { double x, y, r, level; };
  std::vector<Disc> discs;
  for (int k = 0; k < 8; ++k)
    discs.push_back({place(rng) * width, place(rng) * height, 10 + place(rng) * height / 4,
                     150 + place(rng) * 90});
  std::vector<int> image(std::size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double level = 40 + 80.0 * x / width + 30 * std::sin(y / 40.0);
      for (const Disc& d : discs)
        if (std::hypot(x - d.x, y - d.y) < d.r) level = d.level - 0.1 * x * 40 / width;
      const int v = static_cast<int>(std::lround(level)) + jitter(rng);
      image[std::size_t(y) * width + x] = v < 0 ? 0 : v > 255 ? 255 : v;
    }
  }
  TestMatrix M;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int a = image[std::size_t(y) * width + x];
      if (x + 1 < width) ++M.at(a, image[std::size_t(y) * width + x + 1]);
      if (y + 1 < height) ++M.at(a, image[std::size_t(y + 1) * width + x]);
    }
  }
  return M;
}

// Cells within `width` of the diagonal, counts 1..hi, the rest zero.
inline TestMatrix banded_matrix(unsigned seed, int width, std::int32_t hi) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::int32_t> count(1, hi);
  TestMatrix M;
  for (int r = 0; r < kLevelCount; ++r)
    for (int c = 0; c < kLevelCount; ++c)
      if (std::abs(r - c) <= width) M.at(r, c) = count(rng);
  return M;
}

}  // namespace pellwick::testing
