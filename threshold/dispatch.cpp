#include "threshold/dispatch.h"

#include <cstdlib>
#include <cstring>

#if defined(PELLWICK_X86_KERNELS)
#include <cpuid.h>
#endif

namespace pellwick::detail {
namespace {

struct CpuFeatures {
  bool avx2_fma = false;
  bool avx512 = false;
};

#if defined(PELLWICK_X86_KERNELS)
CpuFeatures read_cpu_features() {
  CpuFeatures f;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
  const bool fma = c & (1u << 12), osxsave = c & (1u << 27), avx = c & (1u << 28);
  if (!(fma && osxsave && avx)) return f;
  unsigned xcr0_low = 0, xcr0_high = 0;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  const bool os_ymm = (xcr0_low & 0x6u) == 0x6u;
  const bool os_zmm = (xcr0_low & 0xE6u) == 0xE6u;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return f;
  f.avx2_fma = os_ymm && (b & (1u << 5));
  f.avx512 = f.avx2_fma && os_zmm && (b & (1u << 16));
  return f;
}
#else
CpuFeatures read_cpu_features() { return {}; }
#endif

// Read once per process (CPUID traps, and costly, in a virtual machine); the
// hardware does not change under a running process.
const CpuFeatures& cpu() {
  static const CpuFeatures features = read_cpu_features();
  return features;
}

bool has_avx512() { return cpu().avx512; }
bool has_avx2() { return cpu().avx2_fma; }
bool always() { return true; }

#if defined(PELLWICK_X86_KERNELS)
Kernels (*const kAvx512)() = avx512_kernels;
Kernels (*const kAvx2)() = avx2_kernels;
#else
// Not built here: never available, so never called.
Kernels (*const kAvx512)() = portable_kernels;
Kernels (*const kAvx2)() = portable_kernels;
#endif

}  // namespace

const std::vector<SimdPath>& simd_paths() {
  static const std::vector<SimdPath> paths = {
      {"avx512", has_avx512, kAvx512},
      {"avx2", has_avx2, kAvx2},
      {"portable", always, portable_kernels},
  };
  return paths;
}

const SimdPath& choose_path(const char* requested) {
  const SimdPath* best = nullptr;
  for (const SimdPath& path : simd_paths()) {
    if (!path.available()) continue;
    if (requested != nullptr && std::strcmp(path.name, requested) == 0) return path;
    if (best == nullptr) best = &path;
  }
  return *best;  // "portable" is always available
}

const SimdPath& preferred_path() { return choose_path(std::getenv("PELLWICK_SIMD")); }

}  // namespace pellwick::detail
