// Matrices stored as "row column count" lines, one per non-zero cell.
#pragma once

#include <string>

#include "testing/test_matrix.h"

namespace pellwick::testing {

// Reads `file` into `M`. Returns "" on success, else a one-line reason naming
// the file and the line: unreadable, not three integers, a level outside
// 0..kLevelCount-1, or a count outside the 32-bit range.
std::string read_matrix_file(const std::string& file, TestMatrix& M);

}  // namespace pellwick::testing
