#include "threshold/console.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define PELLWICK_ISATTY(fd) _isatty(fd)
#define PELLWICK_FILENO(f) _fileno(f)
#else
#include <unistd.h>
#define PELLWICK_ISATTY(fd) isatty(fd)
#define PELLWICK_FILENO(f) fileno(f)
#endif

namespace pellwick::console {
namespace {

constexpr char kProgressHead[] = "-> buscando threshold: (nivel gris: ";
constexpr char kProgressMiddle[] = ") (entropia maxima: ";
constexpr char kProgressAt[] = " en ";
constexpr char kProgressTail[] = ")\r";
constexpr char kDivisionMessage[] = "Division por cero => p=1\n";

// Appends a literal without its terminating NUL.
template <std::size_t N>
char* put(char* at, const char (&text)[N]) {
  std::memcpy(at, text, N - 1);
  return at + N - 1;
}

// printf's "%3d": right-aligned in at least three characters, never cut.
char* put_level(char* at, char* end, int level) {
  char digits[12];
  const auto written = std::to_chars(digits, digits + sizeof digits, level).ptr;
  const auto width = static_cast<std::size_t>(written - digits);
  for (std::size_t pad = width; pad < 3; ++pad) *at++ = ' ';
  return std::to_chars(at, end, level).ptr;
}

// Lost text is acceptable: a failed or short write is deliberately ignored.
void write_out(const char* text, std::size_t size, bool flush) {
  std::fwrite(text, 1, size, stdout);
  if (flush) std::fflush(stdout);
}

}  // namespace

std::size_t format_progress_line(char (&out)[kMaxProgressLine], int level,
                                 double best_score, int best_level) {
  char* const end = out + kMaxProgressLine;
  char* at = put(out, kProgressHead);
  at = put_level(at, end, level);
  at = put(at, kProgressMiddle);
  // Same digits as printf's "%f" in the C locale (exact, round-half-even).
  at = std::to_chars(at, end, best_score, std::chars_format::fixed, 6).ptr;
  at = put(at, kProgressAt);
  at = put_level(at, end, best_level);
  at = put(at, kProgressTail);
  return static_cast<std::size_t>(at - out);
}

bool stdout_is_terminal() { return PELLWICK_ISATTY(PELLWICK_FILENO(stdout)) != 0; }

void write_progress_line(int level, double best_score, int best_level,
                         bool flush) {
  char line[kMaxProgressLine];
  write_out(line, format_progress_line(line, level, best_score, best_level),
            flush);
}

void write_clearing_string() {
  char spaces[kClearingWidth];
  std::memset(spaces, ' ', sizeof spaces);
  write_out(spaces, sizeof spaces, true);
}

void write_division_message() {
  write_out(kDivisionMessage, sizeof kDivisionMessage - 1, stdout_is_terminal());
}

}  // namespace pellwick::console
