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
  std::size_t cells = 0;     // non-zero cells in all
  std::size_t distance = 0;  // the sum of their distances |column - row| from the diagonal

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
    int distance = 0;
    for (int c = 0; c < kLevelCount; ++c) {
      count += cells[c] != 0;
      distance += (cells[c] != 0) * (c > r ? c - r : r - c);
      any_negative |= cells[c];
    }
    nz.distance += static_cast<std::size_t>(distance);
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

// Within one side of one group, a cell's terms depend only on its column and
// its count, and photographs' matrices repeat those pairs a lot (few, small
// counts in each column). Numbering the distinct (column, count) pairs once
// lets each side compute a pair's terms once and then add them cell by cell
// in visiting order: the same terms in the same order, so the same bits, for
// a fraction of the power evaluations.
struct PairIds {
  // Pair 0 stands for a zero count; pairs 1.. for the distinct non-zero ones.
  std::vector<std::int32_t> counts{0};
  std::vector<std::uint8_t> columns{0};
  // The pair of every cell, [row * kLevelCount + column], and of each packed
  // cell (parallel to NonZeroCells::counts).
  std::vector<std::uint32_t> cells;
  std::vector<std::uint32_t> packed;

  std::size_t pairs() const { return counts.size() - 1; }
  const std::uint32_t* row(int r) const { return &cells[std::size_t(r) * kLevelCount]; }
};

// The distinct counts of one column, through a small table that stays in
// the first-level cache (a column holds at most kLevelCount counts).
class ColumnPairs {
 public:
  void clear() { pair_.fill(0); }

  // The pair of count m (> 0) in this column; a new one gets new_pair().
  template <class NewPair>
  std::uint32_t of(std::int32_t m, NewPair new_pair) {
    int slot = static_cast<int>((std::uint32_t(m) * 0x9E3779B1u) >> 23);  // 9 bits
    while (pair_[slot] != 0 && count_[slot] != m) slot = (slot + 1) & (kSlots - 1);
    if (pair_[slot] == 0) {
      count_[slot] = m;
      pair_[slot] = new_pair();
    }
    return pair_[slot];
  }

 private:
  static constexpr int kSlots = 2 * kLevelCount;  // open addressing, at most half full
  std::array<std::int32_t, kSlots> count_;
  std::array<std::uint32_t, kSlots> pair_;  // 0: free
};

// The share of distinct pairs among the non-zero cells, from every eighth
// column: distinctness lies within a column, so a sample of whole columns
// tells it well, for an eighth of the work of numbering them all.
double pair_share(LevelPairMatrix M) {
  ColumnPairs column;
  std::uint32_t pairs = 0, cells = 0;
  for (int c = 0; c < kLevelCount; c += 8) {
    column.clear();
    for (int r = 0; r < kLevelCount; ++r) {
      if (M[r][c] == 0) continue;
      ++cells;
      column.of(M[r][c], [&] { return ++pairs; });
    }
  }
  return cells == 0 ? 1.0 : double(pairs) / double(cells);
}

// Numbers the pairs column by column.
void number_pairs(LevelPairMatrix M, const NonZeroCells& nz, PairIds& ids) {
  ColumnPairs column;
  ids.counts.reserve(nz.cells + 1);
  ids.columns.reserve(nz.cells + 1);
  ids.cells.assign(std::size_t(kLevelCount) * kLevelCount, 0);
  for (int c = 0; c < kLevelCount; ++c) {
    column.clear();
    for (int r = 0; r < kLevelCount; ++r) {
      const std::int32_t m = M[r][c];
      if (m == 0) continue;
      ids.cells[std::size_t(r) * kLevelCount + c] = column.of(m, [&] {
        ids.counts.push_back(m);
        ids.columns.push_back(static_cast<std::uint8_t>(c));
        return static_cast<std::uint32_t>(ids.counts.size() - 1);
      });
    }
  }
  ids.packed.resize(nz.counts.size());
  for (int r = 0; r < kLevelCount; ++r) {
    for (std::uint32_t k = nz.packed_begin[r]; k < nz.packed_begin[r + 1]; ++k)
      ids.packed[k] = ids.cells[std::size_t(r) * kLevelCount + nz.columns[k]];
  }
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
  // With `ids`, each run also gets its cells' pairs.
  std::size_t runs(const Group& g, SideIndex side, Run* out, const PairIds* ids) const {
    const int t0 = g.t0, last = g.t0 + g.used - 1;
    const unsigned all = (1u << g.used) - 1;
    std::size_t count = 0;
    // Low-high: rows 0..last, columns above t0; high-low: rows above t0,
    // columns up to last. Each lane takes its own part through the masks.
    const int first_row = side == kLowHigh ? 0 : t0 + 1;
    const int end_row = side == kLowHigh ? std::min(last, kLastCandidate) + 1 : kLevelCount;
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
                        lanes, ids != nullptr ? &ids->packed[from] : nullptr};
      } else {
        out[count++] = {M_[r] + low, nullptr, low, high - low + 1, lanes,
                        ids != nullptr ? ids->row(r) + low : nullptr};
      }
    }
    return count;
  }

 private:
  LevelPairMatrix M_;
  const NonZeroCells& nz_;
  int rows_below_ = 0;  // rows summed into low_
  // Totals are sums of at most 2^16 counts below 2^31: exact in 64-bit
  // integers, which add without a chain of rounding steps and convert to
  // double exactly (below 2^53), so any order gives the reference's values.
  std::array<std::int64_t, kLevelCount> low_{};
  std::array<std::int64_t, kLevelCount> column_total_{};
  // Per packed row: index of its first column above t0, and above the last candidate.
  std::array<std::uint32_t, kLevelCount> low_split_{};
  std::array<std::uint32_t, kLevelCount> high_split_{};
};

// The terms of one side's pairs, each computed once (see PairIds).
class PairTerms {
 public:
  explicit PairTerms(std::size_t pairs)
      : terms_((pairs + 1) * kMaxLanes, 0.0), seen_(pairs + 1, 0), list_(pairs + 2) {}

  void sum(const Kernels& kernels, const PairIds& ids, const Run* runs, std::size_t count,
           const Side& side, double* sums) {
    // The pairs of this side's cells, each once. Without branches on the
    // data: every pair is written to the list, and kept if it is new.
    ++side_;
    std::size_t n = 0;
    std::uint32_t* const list = list_.data();
    std::uint32_t* const seen = seen_.data();
    const std::uint32_t side_mark = side_;
    for (const Run* run = runs; run != runs + count; ++run) {
      for (int k = 0; k < run->width; ++k) {
        const std::uint32_t p = run->pairs[k];
        list[n] = p;
        n += (seen[p] != side_mark) & (p != 0);
        seen[p] = side_mark;
      }
    }
    kernels.pair_terms(list, n, ids.counts.data(), ids.columns.data(), side, terms_.data());
    kernels.add_cached(runs, count, side, terms_.data(), sums);
  }

 private:
  std::vector<double> terms_;       // [pair * kMaxLanes + lane]; pair 0 stays +0.0
  std::vector<std::uint32_t> seen_;  // [pair]: the last side that listed it
  std::vector<std::uint32_t> list_;
  std::uint32_t side_ = 0;
};

// Where pairs pay for numbering them, as measured on photographs' matrices:
// enough non-zero cells for the numbering to be a small part of the work,
// not so many that the matrix is dense (random dense counts hardly repeat);
// cells far enough from the diagonal on average, since a cell is visited by
// as many candidates as its distance (photographs with a gain: 35 to 50; a
// loss: 15); and few enough distinct pairs (with a gain: 15 to 28 percent of
// the cells).
constexpr std::size_t kMinCachedCells = 8192;
constexpr std::size_t kMaxCachedCells = kLevelCount * kLevelCount * 6 / 10;
constexpr std::size_t kMinMeanDistance = 25;
constexpr double kMaxPairShare = 0.35;

// Everything a fast scan works in, allocated once per call.
struct Workspace {
  NonZeroCells nz;
  Group group;
  std::array<Run, kLevelCount> runs;
  PairIds ids;
};

}  // namespace

bool fast_scores(const Kernels& kernels, LevelPairMatrix M, int first, int last,
                 double* scores, TermMode mode) {
  const auto work = std::make_unique<Workspace>();
  if (!find_non_zero(M, work->nz)) return false;
  if (work->nz.cells == 0) {  // every block is empty of counts: every score is +0.0
    std::fill(scores, scores + (last - first + 1), 0.0);
    return true;
  }
  std::unique_ptr<PairTerms> cached;
  const std::size_t cells = work->nz.cells;
  if (mode == TermMode::cached ||
      (mode == TermMode::automatic && cells >= kMinCachedCells && cells <= kMaxCachedCells &&
       work->nz.distance >= kMinMeanDistance * cells && pair_share(M) <= kMaxPairShare)) {
    number_pairs(M, work->nz, work->ids);
    cached = std::make_unique<PairTerms>(work->ids.pairs());
  }
  const PairIds* ids = cached ? &work->ids : nullptr;
  Groups groups(M, work->nz);
  Group& g = work->group;
  for (int t0 = first; t0 <= last; t0 += kernels.lanes) {
    groups.next(t0, std::min(kernels.lanes, last - t0 + 1), g);
    std::array<std::array<double, kMaxLanes>, 2> sums{};
    for (SideIndex side : {kLowHigh, kHighLow}) {
      const std::size_t count = groups.runs(g, side, work->runs.data(), ids);
      const Side s{g.column_total.data(), g.column_lanes[side].data(), g.total[side].data()};
      if (cached) {
        cached->sum(kernels, *ids, work->runs.data(), count, s, sums[side].data());
      } else {
        kernels.sum_side(work->runs.data(), count, s, sums[side].data());
      }
    }
    for (int lane = 0; lane < g.used; ++lane)
      scores[t0 + lane - first] = sums[kLowHigh][lane] + sums[kHighLow][lane];
  }
  return true;
}

}  // namespace pellwick::detail
