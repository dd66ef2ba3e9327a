#include "threshold/scan.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "threshold/console.h"
#include "threshold/criterion.h"
#include "threshold/dispatch.h"
#include "threshold/fast_scan.h"

namespace pellwick {
namespace detail {
namespace {

// The scores of a range of candidates: computed ahead on a fast path where
// it can, else candidate by candidate by the reference criterion, which
// needs no memory of its own. Only candidates 0..kLastCandidate have
// non-empty blocks; the others score 0.0.
class Scores {
 public:
  Scores(const Kernels* kernels, LevelPairMatrix M, int start, int end)
      : M_(M),
        first_(static_cast<int>(std::max<std::int64_t>(start, 0))),
        last_(static_cast<int>(std::min<std::int64_t>(end, kLastCandidate))) {
    if (kernels == nullptr || first_ > last_) return;
    try {
      fast_.resize(static_cast<std::size_t>(last_ - first_ + 1));
      if (!fast_scores(*kernels, M, first_, last_, fast_.data())) fast_.clear();
    } catch (const std::bad_alloc&) {
      fast_.clear();
    }
  }

  // The candidates that can score above 0.0; empty when first() > last().
  int first() const { return first_; }
  int last() const { return last_; }

  Score operator()(int t) const {
    if (t < first_ || t > last_) return {};
    if (fast_.empty()) return score_candidate(t, M_, library_power);
    return {fast_[static_cast<std::size_t>(t - first_)], 0};
  }

 private:
  LevelPairMatrix M_;
  int first_;
  int last_;
  std::vector<double> fast_;
};

// The selection rule, in one place: strictly higher wins, so ties keep the
// lower level, a NaN never wins and neither does a score of 0.0 or below.
struct Best {
  double score = 0.0;
  int level;

  void offer(int t, double candidate_score) {
    if (candidate_score > score) {
      score = candidate_score;
      level = t;
    }
  }
};

}  // namespace

int select_threshold_on(const Kernels* kernels, LevelPairMatrix M, int start, int end) {
  const Scores scores(kernels, M, start, end);
  const bool flush_each_line = console::stdout_is_terminal();
  Best best{0.0, start};
  // A 64-bit counter, so that end == INT_MAX ends the loop.
  for (std::int64_t candidate = start; candidate <= end; ++candidate) {
    const int t = static_cast<int>(candidate);
    const Score score = scores(t);
    for (int k = 0; k < score.division_fallbacks; ++k) console::write_division_message();
    best.offer(t, score.value);
    console::write_progress_line(t, best.score, best.level, flush_each_line);
  }
  console::write_clearing_string();
  return best.level;
}

int select_threshold_quietly_on(const Kernels* kernels, LevelPairMatrix M, int start, int end) {
  const Scores scores(kernels, M, start, end);
  Best best{0.0, start};
  for (int t = scores.first(); t <= scores.last(); ++t) best.offer(t, scores(t).value);
  return best.level;
}

void score_candidates_on(const Kernels* kernels, LevelPairMatrix M, int first, int last,
                         double* out) {
  const Scores scores(kernels, M, first, last);
  for (std::int64_t t = first; t <= last; ++t) *out++ = scores(static_cast<int>(t)).value;
}

}  // namespace detail

namespace {
detail::Kernels preferred_kernels() { return detail::preferred_path().kernels(); }
}  // namespace

int select_threshold(LevelPairMatrix M, int start, int end) {
  const detail::Kernels kernels = preferred_kernels();
  return detail::select_threshold_on(&kernels, M, start, end);
}

int select_threshold_quietly(LevelPairMatrix M, int start, int end) {
  const detail::Kernels kernels = preferred_kernels();
  return detail::select_threshold_quietly_on(&kernels, M, start, end);
}

void score_candidates(LevelPairMatrix M, int first, int last, double* scores) {
  const detail::Kernels kernels = preferred_kernels();
  detail::score_candidates_on(&kernels, M, first, last, scores);
}

}  // namespace pellwick
