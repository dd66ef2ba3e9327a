// A kLevelCount x kLevelCount matrix owned by a test, and a stdout capture.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "threshold/threshold.h"

namespace pellwick::testing {

struct Cell {
  int row;
  int column;
  std::int32_t count;
};

class TestMatrix {
 public:
  TestMatrix() : counts_(kLevelCount * kLevelCount, 0) {
    for (int r = 0; r < kLevelCount; ++r) rows_[r] = &counts_[r * kLevelCount];
  }
  TestMatrix(std::initializer_list<Cell> cells) : TestMatrix() {
    for (const Cell& cell : cells) at(cell.row, cell.column) = cell.count;
  }
  TestMatrix(const TestMatrix& other) : TestMatrix() { counts_ = other.counts_; }
  TestMatrix& operator=(const TestMatrix&) = delete;

  std::int32_t& at(int row, int column) { return counts_[row * kLevelCount + column]; }
  operator LevelPairMatrix() const { return rows_.data(); }

 private:
  std::vector<std::int32_t> counts_;
  std::array<const std::int32_t*, kLevelCount> rows_{};
};

// Runs f with standard output captured; returns the text it wrote.
template <class F>
std::string captured_stdout(F&& f) {
  ::testing::internal::CaptureStdout();
  f();
  return ::testing::internal::GetCapturedStdout();
}

}  // namespace pellwick::testing
