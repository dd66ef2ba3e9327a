#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "threshold/console.h"
#include "threshold/fast_scan.h"
#include "threshold/threshold.h"

namespace pellwick {

namespace detail {

int select_threshold_on(Path path, LevelPairMatrix M, int start, int end) {
  // Only candidates 0..n-2 have non-empty blocks; the others score 0.0.
  const int first = static_cast<int>(std::max<std::int64_t>(start, 0));
  const int last = static_cast<int>(std::min<std::int64_t>(end, kLevelCount - 2));
  std::vector<double> scores;
  if (path != Path::reference && first <= last) {
    try {
      scores.resize(static_cast<std::size_t>(last - first + 1));
      if (!fast_scores(path, M, first, last, scores.data())) scores.clear();
    } catch (const std::bad_alloc&) {
      scores.clear();  // the reference needs no memory of its own
    }
  }
  const auto score_of = [&](int t) {
    if (scores.empty()) return threshold_score(t, M, kLevelCount);
    return t >= first && t <= last ? scores[static_cast<std::size_t>(t - first)] : 0.0;
  };

  const bool flush_each_line = console::stdout_is_terminal();
  double best_score = 0.0;
  int best_level = start;
  // A 64-bit counter, so that end == INT_MAX ends the loop.
  for (std::int64_t candidate = start; candidate <= end; ++candidate) {
    const int t = static_cast<int>(candidate);
    const double score = score_of(t);
    if (score > best_score) {  // strictly: ties keep the lower level, NaN never wins
      best_score = score;
      best_level = t;
    }
    console::write_progress_line(t, best_score, best_level, flush_each_line);
  }
  console::write_clearing_string();
  return best_level;
}

}  // namespace detail

int select_threshold(LevelPairMatrix M, int start, int end) {
  return detail::select_threshold_on(detail::preferred_path(), M, start, end);
}

}  // namespace pellwick
