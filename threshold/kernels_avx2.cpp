// Built with AVX2 and FMA; only called after the CPU and the OS were checked.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "threshold/exp_base.h"
#include "threshold/kernels.h"

#define PELLWICK_INLINE inline __attribute__((always_inline))

namespace pellwick::detail {
namespace {

// exp_base() on 4 lanes; the table lookup is a gather.
// (Lanes outside their block, whose y may lie anywhere, are clamped into
// the table.)
PELLWICK_INLINE __m256d exp_base4(__m256d y) {
  const __m256d j = _mm256_round_pd(_mm256_mul_pd(y, _mm256_set1_pd(16.0)),
                                    _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  const __m256d r = _mm256_fnmadd_pd(j, _mm256_set1_pd(0.0625), y);  // exact, as in exp_base()
  const __m128i index = _mm256_cvttpd_epi32(
      _mm256_min_pd(_mm256_max_pd(j, _mm256_setzero_pd()), _mm256_set1_pd(16.0)));
  const __m256d high = _mm256_i32gather_pd(kExpBaseHigh, index, 8);
  const __m256d low = _mm256_i32gather_pd(kExpBaseLow, index, 8);
  __m256d a = _mm256_set1_pd(kExpBaseCoefficients[8]);
  for (int k = 7; k >= 0; --k) a = _mm256_fmadd_pd(a, r, _mm256_set1_pd(kExpBaseCoefficients[k]));
  return _mm256_add_pd(high, _mm256_fmadd_pd(high, _mm256_mul_pd(a, r), low));
}

// All-ones in the lanes whose bit is set.
PELLWICK_INLINE __m256d lane_mask(unsigned lanes) {
  const __m256i bits = _mm256_set_epi64x(8, 4, 2, 1);
  const __m256i set = _mm256_and_si256(_mm256_set1_epi64x(lanes), bits);
  return _mm256_castsi256_pd(_mm256_cmpeq_epi64(set, bits));
}

// The term of count m in column c, in every lane.
PELLWICK_INLINE __m256d term4(std::int32_t m, int c, const Side& side, __m256d total) {
  const __m256d count = _mm256_set1_pd(m);
  const __m256d p = _mm256_div_pd(count, total);
  const __m256d q = _mm256_div_pd(count, _mm256_loadu_pd(side.column_total + c * kMaxLanes));
  return _mm256_mul_pd(p, exp_base4(_mm256_sub_pd(_mm256_set1_pd(1.0), q)));
}

// Lanes outside their block add +0.0, which leaves a sum as it is.
PELLWICK_INLINE __m256d add_masked(__m256d sum, __m256d term, unsigned lanes) {
  return _mm256_add_pd(sum, _mm256_and_pd(term, lane_mask(lanes)));
}

void sum_side(const Run* runs, std::size_t count, const Side& side, double* sums) {
  const __m256d total = _mm256_loadu_pd(side.total);
  __m256d sum = _mm256_loadu_pd(sums);
  for (const Run* run = runs; run != runs + count; ++run) {
    for (int k = 0; k < run->width; ++k) {
      const int c = run->columns != nullptr ? run->columns[k] : run->first_column + k;
      sum = add_masked(sum, term4(run->counts[k], c, side, total),
                       run->lanes & side.column_lanes[c]);
    }
  }
  _mm256_storeu_pd(sums, sum);
}

void pair_terms(const std::uint32_t* list, std::size_t n, const std::int32_t* counts,
                const std::uint8_t* columns, const Side& side, double* terms) {
  const __m256d total = _mm256_loadu_pd(side.total);
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint32_t p = list[k];
    _mm256_storeu_pd(terms + p * kMaxLanes, term4(counts[p], columns[p], side, total));
  }
}

void add_cached(const Run* runs, std::size_t count, const Side& side, const double* terms,
                double* sums) {
  __m256d sum = _mm256_loadu_pd(sums);
  for (const Run* run = runs; run != runs + count; ++run) {
    for (int k = 0; k < run->width; ++k) {
      const int c = run->columns != nullptr ? run->columns[k] : run->first_column + k;
      sum = add_masked(sum, _mm256_loadu_pd(terms + run->pairs[k] * kMaxLanes),
                       run->lanes & side.column_lanes[c]);
    }
  }
  _mm256_storeu_pd(sums, sum);
}

void exp_base_n(const double* y, std::size_t n, double* out) {
  for (std::size_t k = 0; k < n; k += 4) _mm256_storeu_pd(out + k, exp_base4(_mm256_loadu_pd(y + k)));
}

}  // namespace

Kernels avx2_kernels() { return {4, sum_side, pair_terms, add_cached, exp_base_n}; }

}  // namespace pellwick::detail
