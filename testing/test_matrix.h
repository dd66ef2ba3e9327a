// A kLevelCount x kLevelCount matrix owned by a test or a benchmark.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
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

}  // namespace pellwick::testing
