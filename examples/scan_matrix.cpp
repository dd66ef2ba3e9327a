// Scans a co-occurrence matrix stored as "row column count" lines and prints
// the chosen threshold: scan_matrix FILE [START END], range 0..255 by default.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "testing/matrix_file.h"
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
  if (argc != 2 && argc != 4) {
    std::cerr << "usage: scan_matrix FILE [START END]\n";
    return 2;
  }
  int start = 0, end = pellwick::kLevelCount - 1;
  if (argc == 4 && !(parse_level(argv[2], start) && parse_level(argv[3], end))) {
    std::cerr << "scan_matrix: START and END must be integers\n";
    return 2;
  }
  pellwick::testing::TestMatrix M;
  const std::string error = pellwick::testing::read_matrix_file(argv[1], M);
  if (!error.empty()) {
    std::cerr << "scan_matrix: " << error << "\n";
    return 1;
  }
  const int level = pellwick::select_threshold(M, start, end);
  std::fflush(stdout);
  std::cout << "\r" << argv[1] << ": threshold " << level << std::endl;
  return 0;
}
