// kEntropyBase^y for the exponents of matrices without negative entries.
//
// Domain: y in [0, 1]. Error: faithfully rounded, below 1 ulp (0.64 ulp at
// most over two million exponents checked against MPFR), and exactly 1.0 at
// y = 0.
// Method: y = j/16 + r with j = floor(16 y), so that r in [0, 1/16) is exact;
// E^y = E^(j/16) * E^r, with E^(j/16) from a double-double table and
// E^r - 1 = r (c1 + r (c2 + ... + r c9)), the Taylor series of exp(r ln E),
// whose first omitted term is below 2^-61. Every vector kernel performs the
// same operations in the same order, so all of them agree to the bit.
#pragma once

#include <cmath>

namespace pellwick::detail {

// c_k = (ln E)^k / k!, rounded to nearest.
alignas(64) constexpr double kExpBaseCoefficients[9] = {
    0x1.ffffffa61154dp-1,  0x1.ffffff4c22a9ap-2, 0x1.555554a177ff1p-3,
    0x1.55555465838dp-5,   0x1.111110213f48dp-7, 0x1.6c16bfec60b46p-10,
    0x1.a019ffa07c9b1p-13, 0x1.a019ff57661efp-16, 0x1.71de380cb890cp-19,
};

// E^(j/16) = kExpBaseHigh[j] + kExpBaseLow[j], j = 0..16, each rounded to nearest.
alignas(64) constexpr double kExpBaseHigh[17] = {
    0x1p+0,                0x1.1082b574d572dp+0, 0x1.2216045510db3p+0, 0x1.34cb81668a04p+0,
    0x1.48b5e3b578e24p+0,  0x1.5de9174d11151p+0, 0x1.747a51253620fp+0, 0x1.8c80245937c56p+0,
    0x1.a61298bcceec1p+0,  0x1.c14b42e5f2116p+0, 0x1.de455dc38cfb6p+0, 0x1.fd1de5dab498bp+0,
    0x1.0ef9db22cb3ffp+1,  0x1.2073d3c892b58p+1, 0x1.330e584c3175ep+1, 0x1.46dc04bf1230ep+1,
    0x1.5bf0a87427f01p+1,
};
alignas(64) constexpr double kExpBaseLow[17] = {
    0x0p+0,                 0x1.f6f58969ec767p-57,  -0x1.36f160675248ap-59, -0x1.8b352132d2977p-54,
    0x1.6f9b0f5a080d9p-55,  -0x1.6382fdae405ebp-54, 0x1.ce4e70cddd78dp-55,  0x1.f0541ed39744ap-54,
    0x1.4fd7c2147115ep-58,  -0x1.00fe8de62a18fp-56, 0x1.c3319f04fe613p-54,  -0x1.9c68f428e6256p-55,
    0x1.a21c8ad4a5f77p-53,  -0x1.2763c4d5c78d1p-54, -0x1.5a5aa3638ce47p-53, -0x1.e442a6a8b7266p-55,
    0x0p+0,
};

// The scalar form, which the vector kernels reproduce operation for operation.
inline double exp_base(double y) {
  const double j = std::floor(y * 16.0);  // exact: scaling by 16 and flooring
  const double r = y - j * 0.0625;        // exact: y and j/16 share their binade grid
  const int index = static_cast<int>(j);
  double a = kExpBaseCoefficients[8];
  for (int k = 7; k >= 0; --k) a = std::fma(a, r, kExpBaseCoefficients[k]);
  const double high = kExpBaseHigh[index];
  return high + std::fma(high, a * r, kExpBaseLow[index]);
}

}  // namespace pellwick::detail
