// Differential fuzzer: every fast path against the reference criterion with
// the same power function, on matrices and ranges made from the input.
// Any difference in a score's bits, the chosen level or the printed bytes
// aborts; so does any sanitizer finding.
#include <array>
#include <cmath>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "testing/capture.h"
#include "threshold/console.h"
#include "threshold/criterion.h"
#include "threshold/dispatch.h"
#include "threshold/exp_base.h"
#include "threshold/fast_scan.h"
#include "threshold/scan.h"

namespace {

using pellwick::kLastCandidate;
using pellwick::kLevelCount;
using pellwick::testing::captured_stdout;

// Reads the input as an endless stream of bytes (it wraps around).
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t byte() { return size_ == 0 ? 0 : data_[at_++ % size_]; }
  std::int32_t int32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
    return static_cast<std::int32_t>(v);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

struct Case {
  std::vector<std::int32_t> counts = std::vector<std::int32_t>(kLevelCount * kLevelCount, 0);
  std::array<const std::int32_t*, kLevelCount> rows{};
  int start = 0;
  int end = 0;
  std::int32_t& at(int r, int c) { return counts[std::size_t(r) * kLevelCount + c]; }
};

// Values that stress the arithmetic: zero, one, the int extremes, and
// counts whose block and column totals reach 2^31 * 2^16.
std::int32_t extreme(std::uint8_t b) {
  static const std::int32_t values[] = {0, 1, -1, 2, INT32_MAX, INT32_MIN, INT32_MAX - 1,
                                        1 << 30, -(1 << 30), 1000, 999983, 7};
  return values[b % (sizeof values / sizeof values[0])];
}

void make_case(Bytes& in, Case& c) {
  const int kind = in.byte() % 7;
  const int cells = 1 + in.byte() * 4;
  switch (kind) {
    case 0:  // sparse, any values
      for (int k = 0; k < cells; ++k) c.at(in.byte(), in.byte()) = in.int32();
      break;
    case 1:  // sparse, small non-negative counts
      for (int k = 0; k < cells; ++k) c.at(in.byte(), in.byte()) = in.byte() % 50;
      break;
    case 2:  // dense, positive
      for (int r = 0; r < kLevelCount; ++r)
        for (int col = 0; col < kLevelCount; ++col) c.at(r, col) = 1 + in.byte();
      break;
    case 3: {  // banded near the diagonal, like a photograph's
      const int width = 1 + in.byte() % 40;
      for (int r = 0; r < kLevelCount; ++r)
        for (int col = std::max(0, r - width); col <= std::min(kLevelCount - 1, r + width); ++col)
          c.at(r, col) = in.byte() % 7 == 0 ? 0 : in.byte();
      break;
    }
    case 4:  // extremes
      for (int k = 0; k < cells; ++k) c.at(in.byte(), in.byte()) = extreme(in.byte());
      break;
    case 5:  // dense near the int limit
      for (int r = 0; r < kLevelCount; ++r)
        for (int col = 0; col < kLevelCount; ++col) c.at(r, col) = INT32_MAX - in.byte();
      break;
    default:  // pairs that cancel block and column totals
      for (int k = 0; k < cells; ++k) {
        const int r = in.byte(), col = in.byte(), v = in.int32() % 100000;
        c.at(r, col) = v;
        c.at(in.byte() % (r + 1), col) = -v;
      }
      break;
  }
  for (int r = 0; r < kLevelCount; ++r) c.rows[r] = &c.counts[std::size_t(r) * kLevelCount];
  // A short range around the levels, now and then at the int limits; shorter
  // for dense matrices, whose candidates cost most.
  const int where = in.byte();
  const int length = in.byte() % (kind == 2 || kind == 5 ? 6 : 24);
  c.start = where >= 250 ? (where % 2 == 0 ? INT_MAX - length : INT_MIN) : where + in.byte() % 40 - 20;
  c.end = c.start > INT_MAX - length ? INT_MAX : c.start + length;
  if (in.byte() % 16 == 0) std::swap(c.start, c.end);  // an empty range
}

// The scan written out plainly, from the given scores of candidates
// first..last (the others score 0).
std::string expected_output(const Case& c, const std::vector<double>& scores, int first,
                            int last, int& level) {
  std::string out;
  double best = 0.0;
  level = c.start;
  char line[pellwick::console::kMaxProgressLine];
  for (std::int64_t t = c.start; t <= c.end; ++t) {
    const double score = t >= first && t <= last ? scores[std::size_t(t - first)] : 0.0;
    if (score > best) {
      best = score;
      level = int(t);
    }
    out.append(line, pellwick::console::format_progress_line(line, int(t), best, level));
  }
  return out + std::string(pellwick::console::kClearingWidth, ' ');
}

void fail(const char* what, const char* path, int detail) {
  std::fprintf(stderr, "difference: %s on path %s (%d)\n", what, path, detail);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  Case c;
  make_case(in, c);
  bool negative = false;
  for (std::int32_t v : c.counts) negative |= v < 0;

  const int first = std::max(c.start, 0), last = std::min(c.end, kLastCandidate);
  // The reference criterion with the fast paths' power, for the same bits
  // (that power's domain is that of matrices without negative entries).
  std::vector<double> want;
  for (int t = first; !negative && t <= last; ++t) {
    want.push_back(
        pellwick::detail::score_candidate(t, c.rows.data(), pellwick::detail::exp_base).value);
  }
  int expected_level = 0;
  std::string expected;
  if (negative) {  // every path takes the reference, and its library power
    expected = captured_stdout([&] {
      expected_level =
          pellwick::detail::select_threshold_on(nullptr, c.rows.data(), c.start, c.end);
    });
  } else {
    expected = expected_output(c, want, first, last, expected_level);
  }

  for (const auto& simd : pellwick::detail::simd_paths()) {
    if (!simd.available()) continue;
    const pellwick::detail::Kernels kernels = simd.kernels();
    const char* path = simd.name;
    // Both ways of finding the terms, whichever the matrix would get.
    for (auto mode : {pellwick::detail::TermMode::direct, pellwick::detail::TermMode::cached}) {
      if (first > last) break;
      std::vector<double> scores(std::size_t(last - first + 1));
      const bool scored =
          pellwick::detail::fast_scores(kernels, c.rows.data(), first, last, scores.data(), mode);
      if (scored == negative) fail("which matrices take the fast path", path, negative);
      for (std::size_t i = 0; scored && i < want.size(); ++i) {
        if (std::memcmp(&want[i], &scores[i], sizeof want[i]) != 0) fail("score bits", path, first + int(i));
      }
    }
    int level = 0;
    const std::string out = captured_stdout(
        [&] { level = pellwick::detail::select_threshold_on(&kernels, c.rows.data(), c.start, c.end); });
    if (level != expected_level) fail("level", path, level);
    if (out != expected) fail("printed bytes", path, int(out.size()));
    const int quiet =
        pellwick::detail::select_threshold_quietly_on(&kernels, c.rows.data(), c.start, c.end);
    if (quiet != expected_level) fail("quiet level", path, quiet);
  }
  return 0;
}
