#include <cstddef>
#include <cstdint>

#include "threshold/exp_base.h"
#include "threshold/kernels.h"

namespace pellwick::detail {
namespace {

void sum_side(const Run* runs, std::size_t count, const Side& side, double* sums) {
  for (const Run* run = runs; run != runs + count; ++run) {
    for (int k = 0; k < run->width; ++k) {
      const int c = run->columns != nullptr ? run->columns[k] : run->first_column + k;
      const double m = run->counts[k];
      if (m == 0.0 || (run->lanes & side.column_lanes[c] & 1u) == 0) continue;
      sums[0] += (m / side.total[0]) * exp_base(1.0 - m / side.column_total[c * kMaxLanes]);
    }
  }
}

void pair_terms(const std::uint32_t* list, std::size_t n, const std::int32_t* counts,
                const std::uint8_t* columns, const Side& side, double* terms) {
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint32_t p = list[k];
    const double m = counts[p];
    terms[p * kMaxLanes] =
        (m / side.total[0]) * exp_base(1.0 - m / side.column_total[columns[p] * kMaxLanes]);
  }
}

void add_cached(const Run* runs, std::size_t count, const Side& side, const double* terms,
                double* sums) {
  for (const Run* run = runs; run != runs + count; ++run) {
    for (int k = 0; k < run->width; ++k) {
      const int c = run->columns != nullptr ? run->columns[k] : run->first_column + k;
      if (run->counts[k] == 0 || (run->lanes & side.column_lanes[c] & 1u) == 0) continue;
      sums[0] += terms[run->pairs[k] * kMaxLanes];
    }
  }
}

void exp_base_n(const double* y, std::size_t n, double* out) {
  for (std::size_t k = 0; k < n; ++k) out[k] = exp_base(y[k]);
}

}  // namespace

Kernels portable_kernels() { return {1, sum_side, pair_terms, add_cached, exp_base_n}; }

}  // namespace pellwick::detail
