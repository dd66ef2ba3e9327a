#include "threshold/fast_scan.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "threshold/kernels.h"
#include "threshold/probability.h"

namespace pellwick::detail {
namespace {

// A row with at most this many non-zero cells is visited through its packed
// non-zero cells; a denser one through all its cells from the first non-zero
// one to the last, the zeros between them adding +0.0 terms.
constexpr int kPackedRowLimit = kLevelCount / 2;

// Where the non-zero cells are.
struct NonZeroCells {
  // Lowest and highest non-zero column of each row (kLevelCount and -1 if none).
  std::array<int, kLevelCount> first{};
  std::array<int, kLevelCount> last{};
  // The packed rows' counts and columns, row r in [packed_begin[r],
  // packed_begin[r + 1]); empty for the other rows.
  std::array<std::uint32_t, kLevelCount + 1> packed_begin{};
  std::vector<std::int32_t> counts;
  std::vector<std::uint8_t> columns;
  std::size_t cells = 0;  // non-zero cells in all

  bool packed(int r) const { return packed_begin[r + 1] > packed_begin[r]; }
};

// Fills `nz`; false if the matrix has a negative entry.
bool find_non_zero(LevelPairMatrix M, NonZeroCells& nz) {
  std::array<int, kLevelCount> per_row{};
  std::size_t packed = 0;
  for (int r = 0; r < kLevelCount; ++r) {
    // Plain loops over the whole row, which compilers vectorise; the ends
    // are looked for only in rows that have non-zero cells.
    const std::int32_t* cells = M[r];
    std::int32_t any_negative = 0;  // its sign bit tells
    int count = 0;
    for (int c = 0; c < kLevelCount; ++c) {
      count += cells[c] != 0;
      any_negative |= cells[c];
    }
    if (any_negative < 0) return false;
    nz.first[r] = kLevelCount;
    nz.last[r] = -1;
    if (count > 0) {
      int first = 0, last = kLevelCount - 1;
      while (cells[first] == 0) ++first;
      while (cells[last] == 0) --last;
      nz.first[r] = first;
      nz.last[r] = last;
    }
    per_row[r] = count;
    nz.cells += static_cast<std::size_t>(count);
    if (count <= kPackedRowLimit) packed += static_cast<std::size_t>(count);
  }
  nz.counts.reserve(packed);
  nz.columns.reserve(packed);
  for (int r = 0; r < kLevelCount; ++r) {
    if (per_row[r] <= kPackedRowLimit) {
      for (int c = nz.first[r]; c <= nz.last[r]; ++c) {
        if (M[r][c] == 0) continue;
        nz.counts.push_back(M[r][c]);
        nz.columns.push_back(static_cast<std::uint8_t>(c));
      }
    }
    nz.packed_begin[r + 1] = static_cast<std::uint32_t>(nz.counts.size());
  }
  return true;
}

// Up to kMaxLanes consecutive candidates t0, t0 + 1, ..., one per lane, and
// what their blocks need. Totals are exact integers in doubles (below 2^47),
// as in the reference, and go through kernel_normaliser().
struct Group {
  int t0 = 0;
  int used = 0;  // lanes holding a candidate
  // [column * kMaxLanes + lane]: the column's total inside lane's block that
  // holds it (rows 0..t above the candidate t, rows t+1.. at or below it).
  std::array<double, kLevelCount * kMaxLanes> column_total{};
  std::array<std::array<double, kMaxLanes>, 2> total{};         // [side][lane]
  std::array<std::array<std::uint8_t, kLevelCount>, 2> column_lanes{};  // [side][column]
};

enum SideIndex { kLowHigh = 0, kHighLow = 1 };

// Bits of the lanes, among the first `used` of a group starting at t0, whose
// candidate t is below level: t < level.
unsigned lanes_below(int level, int t0, int used) {
  return (1u << std::clamp(level - t0, 0, used)) - 1;
}

// Groups in ascending order, each computed from the one before.
class Groups {
 public:
  Groups(LevelPairMatrix M, const NonZeroCells& nz) : M_(M), nz_(nz) {
    for (int r = 0; r < kLevelCount; ++r) {
      low_split_[r] = high_split_[r] = nz.packed_begin[r];
      for (int c = 0; c < kLevelCount; ++c) column_total_[c] += M[r][c];
    }
  }

  // Totals are sums of at most 2^16 counts below 2^31: exact in 64-bit
  // integers, which add without a chain of rounding steps and convert to
  // double exactly (below 2^53), so any order gives the reference's values.

  void next(int t0, int used, Group& g) {
    g.t0 = t0;
    g.used = used;
    for (int lane = 0; lane < kMaxLanes; ++lane) {
      const int t = t0 + lane;
      if (lane >= used) {  // no candidate: nothing is added in this lane
        g.total[kLowHigh][lane] = g.total[kHighLow][lane] = 1.0;
        for (int c = 0; c < kLevelCount; ++c) g.column_total[c * kMaxLanes + lane] = 1.0;
        continue;
      }
      for (; rows_below_ <= t; ++rows_below_)
        for (int c = 0; c < kLevelCount; ++c) low_[c] += M_[rows_below_][c];
      std::int64_t low_high = 0, high_low = 0;
      for (int c = 0; c < kLevelCount; ++c) {
        const std::int64_t in_block = c > t ? low_[c] : column_total_[c] - low_[c];
        low_high += c > t ? in_block : 0;
        high_low += c > t ? 0 : in_block;
        g.column_total[c * kMaxLanes + lane] = kernel_normaliser(static_cast<double>(in_block));
      }
      g.total[kLowHigh][lane] = kernel_normaliser(static_cast<double>(low_high));
      g.total[kHighLow][lane] = kernel_normaliser(static_cast<double>(high_low));
    }
    const unsigned all = (1u << used) - 1;
    for (int c = 0; c < kLevelCount; ++c) {
      // Column c lies in the low-high block when c > t, else in the high-low one.
      const unsigned below = lanes_below(c, t0, used);
      g.column_lanes[kLowHigh][c] = static_cast<std::uint8_t>(below);
      g.column_lanes[kHighLow][c] = static_cast<std::uint8_t>(all & ~below);
    }
    // Packed rows: where their columns above t0 and above the last candidate start.
    const int last = t0 + used - 1;
    for (int r = 0; r < kLevelCount; ++r) {
      const std::uint32_t end = nz_.packed_begin[r + 1];
      while (low_split_[r] < end && nz_.columns[low_split_[r]] <= t0) ++low_split_[r];
      while (high_split_[r] < end && nz_.columns[high_split_[r]] <= last) ++high_split_[r];
    }
  }

  // The runs of one side of the group `g` most recently computed, in row order.
  std::size_t runs(const Group& g, SideIndex side, Run* out) const {
    const int t0 = g.t0, last = g.t0 + g.used - 1;
    const unsigned all = (1u << g.used) - 1;
    std::size_t count = 0;
    // Low-high: rows 0..last, columns above t0; high-low: rows above t0,
    // columns up to last. Each lane takes its own part through the masks.
    const int first_row = side == kLowHigh ? 0 : t0 + 1;
    const int end_row = side == kLowHigh ? std::min(last, kLevelCount - 2) + 1 : kLevelCount;
    for (int r = first_row; r < end_row; ++r) {
      // Row r lies in the low-high block when r <= t, else in the high-low one.
      const unsigned below = lanes_below(r, t0, g.used);
      const unsigned lanes = side == kLowHigh ? all & ~below : below;
      const int low = side == kLowHigh ? std::max(nz_.first[r], t0 + 1) : nz_.first[r];
      const int high = side == kLowHigh ? nz_.last[r] : std::min(nz_.last[r], last);
      if (low > high || lanes == 0) continue;
      if (nz_.packed(r)) {
        const std::uint32_t from = side == kLowHigh ? low_split_[r] : nz_.packed_begin[r];
        const std::uint32_t to = side == kLowHigh ? nz_.packed_begin[r + 1] : high_split_[r];
        if (from == to) continue;
        out[count++] = {&nz_.counts[from], &nz_.columns[from], 0, static_cast<int>(to - from),
                        lanes};
      } else {
        out[count++] = {M_[r] + low, nullptr, low, high - low + 1, lanes};
      }
    }
    return count;
  }

 private:
  LevelPairMatrix M_;
  const NonZeroCells& nz_;
  int rows_below_ = 0;  // rows summed into low_
  std::array<std::int64_t, kLevelCount> low_{};
  std::array<std::int64_t, kLevelCount> column_total_{};
  // Per packed row: index of its first column above t0, and above the last candidate.
  std::array<std::uint32_t, kLevelCount> low_split_{};
  std::array<std::uint32_t, kLevelCount> high_split_{};
};

// Everything a fast scan works in, allocated once per call.
struct Workspace {
  NonZeroCells nz;
  Group group;
  std::array<Run, kLevelCount> runs;
};

}  // namespace

bool fast_scores(const Kernels& kernels, LevelPairMatrix M, int first, int last,
                 double* scores) {
  const auto work = std::make_unique<Workspace>();
  if (!find_non_zero(M, work->nz)) return false;
  if (work->nz.cells == 0) {  // every block is empty of counts: every score is +0.0
    std::fill(scores, scores + (last - first + 1), 0.0);
    return true;
  }
  Groups groups(M, work->nz);
  Group& g = work->group;
  for (int t0 = first; t0 <= last; t0 += kernels.lanes) {
    groups.next(t0, std::min(kernels.lanes, last - t0 + 1), g);
    std::array<std::array<double, kMaxLanes>, 2> sums{};
    for (SideIndex side : {kLowHigh, kHighLow}) {
      const std::size_t count = groups.runs(g, side, work->runs.data());
      const Side s{g.column_total.data(), g.column_lanes[side].data(), g.total[side].data()};
      kernels.sum_side(work->runs.data(), count, s, sums[side].data());
    }
    for (int lane = 0; lane < g.used; ++lane)
      scores[t0 + lane - first] = sums[kLowHigh][lane] + sums[kHighLow][lane];
  }
  return true;
}

}  // namespace pellwick::detail
