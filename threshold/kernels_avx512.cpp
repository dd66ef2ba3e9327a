// Built with AVX-512F; only called after the CPU and the OS were checked.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "threshold/exp_base.h"
#include "threshold/kernels.h"

#define PELLWICK_INLINE inline __attribute__((always_inline))

namespace pellwick::detail {
namespace {

// exp_base() on 8 lanes; the table lookup is a register permute, which
// reaches entries 0..15, so y = 1 (entry 16) takes its value apart.
PELLWICK_INLINE __m512d exp_base8(__m512d y) {
  const __m512d j = _mm512_roundscale_pd(_mm512_mul_pd(y, _mm512_set1_pd(16.0)),
                                         _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  const __m512d r = _mm512_fnmadd_pd(j, _mm512_set1_pd(0.0625), y);  // exact, as in exp_base()
  // j + 2^52 holds j in its low mantissa bits: the permute index.
  const __m512i index = _mm512_castpd_si512(_mm512_add_pd(j, _mm512_set1_pd(0x1p52)));
  const __m512d high = _mm512_permutex2var_pd(_mm512_load_pd(kExpBaseHigh), index,
                                              _mm512_load_pd(kExpBaseHigh + 8));
  const __m512d low = _mm512_permutex2var_pd(_mm512_load_pd(kExpBaseLow), index,
                                             _mm512_load_pd(kExpBaseLow + 8));
  __m512d a = _mm512_set1_pd(kExpBaseCoefficients[8]);
  for (int k = 7; k >= 0; --k) a = _mm512_fmadd_pd(a, r, _mm512_set1_pd(kExpBaseCoefficients[k]));
  const __m512d value = _mm512_add_pd(high, _mm512_fmadd_pd(high, _mm512_mul_pd(a, r), low));
  const __mmask8 top = _mm512_cmp_pd_mask(j, _mm512_set1_pd(16.0), _CMP_EQ_OQ);
  return _mm512_mask_mov_pd(value, top, _mm512_set1_pd(kExpBaseHigh[16]));
}

// The term of count m in column c, in every lane.
PELLWICK_INLINE __m512d term8(std::int32_t m, int c, const Side& side, __m512d total) {
  const __m512d count = _mm512_set1_pd(m);
  const __m512d p = _mm512_div_pd(count, total);
  const __m512d q = _mm512_div_pd(count, _mm512_loadu_pd(side.column_total + c * kMaxLanes));
  return _mm512_mul_pd(p, exp_base8(_mm512_sub_pd(_mm512_set1_pd(1.0), q)));
}

// One cell for every lane: its term, added to the sums of the lanes whose
// block holds the cell.
PELLWICK_INLINE __m512d add_cell(__m512d sum, std::int32_t m, int c, unsigned run_lanes,
                                 const Side& side, __m512d total) {
  const __mmask8 lanes = static_cast<__mmask8>(run_lanes & side.column_lanes[c]);
  return _mm512_mask_add_pd(sum, lanes, sum, term8(m, c, side, total));
}

void sum_side(const Run* runs, std::size_t count, const Side& side, double* sums) {
  const __m512d total = _mm512_loadu_pd(side.total);
  __m512d sum = _mm512_loadu_pd(sums);
  for (const Run* run = runs; run != runs + count; ++run) {
    if (run->columns != nullptr) {
      for (int k = 0; k < run->width; ++k)
        sum = add_cell(sum, run->counts[k], run->columns[k], run->lanes, side, total);
    } else {
      for (int k = 0; k < run->width; ++k)
        sum = add_cell(sum, run->counts[k], run->first_column + k, run->lanes, side, total);
    }
  }
  _mm512_storeu_pd(sums, sum);
}

void pair_terms(const std::uint32_t* list, std::size_t n, const std::int32_t* counts,
                const std::uint8_t* columns, const Side& side, double* terms) {
  const __m512d total = _mm512_loadu_pd(side.total);
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint32_t p = list[k];
    _mm512_storeu_pd(terms + p * kMaxLanes, term8(counts[p], columns[p], side, total));
  }
}

void add_cached(const Run* runs, std::size_t count, const Side& side, const double* terms,
                double* sums) {
  __m512d sum = _mm512_loadu_pd(sums);
  for (const Run* run = runs; run != runs + count; ++run) {
    const std::uint32_t* pairs = run->pairs;
    const unsigned run_lanes = run->lanes;
    if (run->columns != nullptr) {
      for (int k = 0; k < run->width; ++k) {
        const auto lanes = static_cast<__mmask8>(run_lanes & side.column_lanes[run->columns[k]]);
        sum = _mm512_mask_add_pd(sum, lanes, sum, _mm512_loadu_pd(terms + pairs[k] * kMaxLanes));
      }
    } else {
      const std::uint8_t* column_lanes = side.column_lanes + run->first_column;
      for (int k = 0; k < run->width; ++k) {
        const auto lanes = static_cast<__mmask8>(run_lanes & column_lanes[k]);
        sum = _mm512_mask_add_pd(sum, lanes, sum, _mm512_loadu_pd(terms + pairs[k] * kMaxLanes));
      }
    }
  }
  _mm512_storeu_pd(sums, sum);
}

void exp_base_n(const double* y, std::size_t n, double* out) {
  for (std::size_t k = 0; k < n; k += 8) _mm512_storeu_pd(out + k, exp_base8(_mm512_loadu_pd(y + k)));
}

}  // namespace

Kernels avx512_kernels() { return {8, sum_side, pair_terms, add_cached, exp_base_n}; }

}  // namespace pellwick::detail
