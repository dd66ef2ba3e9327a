#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "testing/capture.h"
#include "testing/matrix_file.h"

namespace pellwick::testing {

std::string captured_stdout(const std::function<void()>& f) {
  std::fflush(stdout);
  std::FILE* file = std::tmpfile();
  const int saved = dup(1);
  if (file == nullptr || saved < 0 || dup2(fileno(file), 1) < 0) std::abort();
  f();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  if (!text.empty() && std::fread(&text[0], 1, text.size(), file) != text.size()) std::abort();
  std::fclose(file);
  return text;
}

std::string read_matrix_file(const std::string& file, TestMatrix& M) {
  std::ifstream in(file);
  if (!in) return file + ": cannot be read";
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::istringstream cells(line);
    long long row = 0, column = 0, count = 0;
    std::string rest;
    const std::string where = file + ":" + std::to_string(number) + ": ";
    if (!(cells >> row >> column >> count) || (cells >> rest))
      return where + "expected 'row column count'";
    if (row < 0 || row >= kLevelCount || column < 0 || column >= kLevelCount)
      return where + "level outside 0.." + std::to_string(kLevelCount - 1);
    if (count < INT32_MIN || count > INT32_MAX) return where + "count outside the 32-bit range";
    M.at(static_cast<int>(row), static_cast<int>(column)) = static_cast<std::int32_t>(count);
  }
  if (in.bad()) return file + ": read error";
  return "";
}

}  // namespace pellwick::testing
