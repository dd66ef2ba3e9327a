// Leaf routines of the fast scan, one set per instruction set. They see only
// plain arrays, so that code built for AVX2 or AVX-512 never runs on a
// machine without it.
//
// A kernel scores up to `lanes` consecutive candidates at once, one vector
// lane each, visiting the cells of one side (the low-high or the high-low
// blocks) in row-major order: every cell that lies in a lane's block adds
// its term to that lane's sum, so that each sum takes its block's terms one
// by one, in visiting order, exactly as the reference does.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellwick::detail {

constexpr int kMaxLanes = 8;

// Cells of one matrix row, in column order: either `width` consecutive cells
// from first_column on (columns == nullptr), with counts[k] in column
// first_column + k, or `width` scattered ones, counts[k] in columns[k]. Bit
// l of lanes is set if the row lies in lane l's block.
struct Run {
  const std::int32_t* counts;
  const std::uint8_t* columns;
  int first_column;
  int width;
  unsigned lanes;
  // With cached terms: pairs[k] is the (column, count) pair of cell k, 0 for
  // a zero count (see Kernels::add_cached).
  const std::uint32_t* pairs;
};

// One side of a group of candidates.
struct Side {
  const double* column_total;         // [column * kMaxLanes + lane]: the column's total inside
                                      // the lane's block, through kernel_normaliser()
  const std::uint8_t* column_lanes;   // [column]: lanes whose block holds the column
  const double* total;                // [lane]: the block total, through kernel_normaliser()
};

struct Kernels {
  int lanes;
  // For each cell of the runs with count m in column c, and each lane l whose
  // block holds it (run.lanes & side.column_lanes[c], bit l):
  //   sums[l] += (m / total[l]) * kEntropyBase^(1 - m / column_total[c][l]).
  // Requires integers 0 <= m <= column_total[c][l] and m <= total[l] in those
  // lanes; a zero count adds +0.0.
  void (*sum_side)(const Run* runs, std::size_t count, const Side& side, double* sums);
  // The terms of distinct (column, count) pairs, each computed once per side:
  // for each listed pair p = list[k] (count m = counts[p] > 0 in column
  // c = columns[p]), every lane's
  //   terms[p * kMaxLanes + l] = (m / total[l]) * kEntropyBase^(1 - m / column_total[c][l]),
  // operation for operation as sum_side computes it. Lanes whose block does
  // not hold the column get a finite value that add_cached never adds.
  void (*pair_terms)(const std::uint32_t* list, std::size_t n, const std::int32_t* counts,
                     const std::uint8_t* columns, const Side& side, double* terms);
  // sum_side with each cell's term read from terms[run.pairs[k] * kMaxLanes],
  // where pair 0 (zero counts) holds +0.0 in every lane: the same additions
  // in the same order.
  void (*add_cached)(const Run* runs, std::size_t count, const Side& side, const double* terms,
                     double* sums);
  // out[k] = exp_base(y[k]) for k < n, n a multiple of 8, over exp_base's domain.
  void (*exp_base)(const double* y, std::size_t n, double* out);
};

// One per instruction set; dispatch.cpp lists them and says which the CPU runs.
Kernels portable_kernels();
Kernels avx2_kernels();    // needs AVX2 and FMA
Kernels avx512_kernels();  // needs AVX-512F, AVX2 and FMA

}  // namespace pellwick::detail
