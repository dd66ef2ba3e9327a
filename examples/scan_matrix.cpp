// Scans a co-occurrence matrix stored as "row column count" lines and prints
// the chosen threshold: scan_matrix FILE [START END], range 0..255 by default.
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <vector>

#include "threshold/threshold.h"

namespace {

bool parse_level(const char* text, int& level) {
  char* rest = nullptr;
  errno = 0;
  const long value = std::strtol(text, &rest, 10);
  if (errno != 0 || rest == text || *rest != '\0' || value < INT_MIN || value > INT_MAX) return false;
  level = static_cast<int>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using pellwick::kLevelCount;
  if (argc != 2 && argc != 4) {
    std::cerr << "usage: scan_matrix FILE [START END]\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "scan_matrix: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::vector<std::int32_t> counts(kLevelCount * kLevelCount, 0);
  long row = 0, column = 0, count = 0;
  while (in >> row >> column >> count) {
    if (row < 0 || row >= kLevelCount || column < 0 || column >= kLevelCount ||
        count < INT32_MIN || count > INT32_MAX) {
      std::cerr << "scan_matrix: bad cell " << row << " " << column << " " << count << "\n";
      return 1;
    }
    counts[row * kLevelCount + column] = static_cast<std::int32_t>(count);
  }
  if (!in.eof()) {
    std::cerr << "scan_matrix: " << argv[1] << " is not a list of 'row column count' lines\n";
    return 1;
  }
  std::array<const std::int32_t*, kLevelCount> rows{};
  for (int r = 0; r < kLevelCount; ++r) rows[r] = &counts[r * kLevelCount];

  int start = 0, end = kLevelCount - 1;
  if (argc == 4 && !(parse_level(argv[2], start) && parse_level(argv[3], end))) {
    std::cerr << "scan_matrix: START and END must be integers\n";
    return 2;
  }
  const int level = pellwick::select_threshold(rows.data(), start, end);
  std::fflush(stdout);
  std::cout << "\r" << argv[1] << ": threshold " << level << std::endl;
  return 0;
}
