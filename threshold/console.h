// The scan's texts on standard output. Every text goes out in one stdio call,
// so lines of concurrent scans interleave whole, and is formatted without the
// process locale: the decimal separator is always a point.
#pragma once

#include <cstddef>

namespace pellwick::console {

// Room for the widest progress line: two 11-character levels and a score
// printed in full fixed-point (309 integer digits at most).
constexpr std::size_t kMaxProgressLine = 448;

// The clearing string: this many spaces, which blank the longest ordinary
// progress line and a little more.
constexpr std::size_t kClearingWidth = 77;

// "-> buscando threshold: (nivel gris: %3d) (entropia maxima: %f en %3d)\r"
// in the C locale; returns its length.
std::size_t format_progress_line(char (&out)[kMaxProgressLine], int level,
                                 double best_score, int best_level);

// Whether writes must be flushed at once (standard output is a terminal).
bool stdout_is_terminal();

void write_progress_line(int level, double best_score, int best_level,
                         bool flush);
// kClearingWidth spaces that blank the last progress line; always flushed, so that a
// scan's output is complete when it returns.
void write_clearing_string();
void write_division_message();

}  // namespace pellwick::console
