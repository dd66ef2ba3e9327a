// The zero-normaliser rule, for the reference criterion and the vector
// kernels alike.
#pragma once

namespace pellwick::detail {

// Share of a non-zero count m in its normaliser (a block total, or a column's
// total inside its block). A zero normaliser, possible only with negative
// entries, gives 1.0 instead of a division by zero.
inline double probability(double m, double normaliser) {
  return normaliser == 0.0 ? 1.0 : m / normaliser;
}

// What the vector kernels divide by. They run only on matrices without
// negative entries, where a zero normaliser means that every cell it
// normalises is zero: dividing by 1 turns their 0 / 0 into the +0.0 term that
// probability()'s callers skip, and a non-zero count never meets a zero
// normaliser there.
inline double kernel_normaliser(double normaliser) {
  return normaliser == 0.0 ? 1.0 : normaliser;
}

}  // namespace pellwick::detail
