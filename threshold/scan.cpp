#include <cstdint>

#include "threshold/console.h"
#include "threshold/threshold.h"

namespace pellwick {

int select_threshold(LevelPairMatrix M, int start, int end) {
  const bool flush_each_line = console::stdout_is_terminal();
  double best_score = 0.0;
  int best_level = start;
  // A 64-bit counter, so that end == INT_MAX ends the loop.
  for (std::int64_t candidate = start; candidate <= end; ++candidate) {
    const int t = static_cast<int>(candidate);
    const double score = threshold_score(t, M, kLevelCount);
    if (score > best_score) {  // strictly: ties keep the lower level, NaN never wins
      best_score = score;
      best_level = t;
    }
    console::write_progress_line(t, best_score, best_level, flush_each_line);
  }
  console::write_clearing_string();
  return best_level;
}

}  // namespace pellwick
