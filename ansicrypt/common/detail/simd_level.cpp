// Processor feature detection, once, and the override of the SIMD level in use.
#include "ansicrypt/common/detail/simd_level.h"

#include <atomic>
#include <cstdlib>
#include <string_view>

namespace ansicrypt::detail {
namespace {

SimdLevel Detect() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  // The vector paths also use the bit-manipulation instructions that came with AVX2; a virtual
  // machine may hide them while showing AVX2.
  const bool bitOps = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                      __builtin_cpu_supports("popcnt");
  if (!bitOps) return SimdLevel::kScalar;
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("avx512vbmi2")) {
    return SimdLevel::kAvx512;
  }
  if (__builtin_cpu_supports("avx2")) return SimdLevel::kAvx2;
#endif
  return SimdLevel::kScalar;
}

SimdLevel CapFromEnvironment() {
  const char* value = std::getenv("ANSICRYPT_SIMD");
  const std::string_view cap = value == nullptr ? "" : value;
  if (cap.empty() || cap == "avx512") return SimdLevel::kAvx512;
  if (cap == "avx2") return SimdLevel::kAvx2;
  return SimdLevel::kScalar;  // "scalar", or a value we do not know: the safe side
}

std::atomic<int> cap{-1};      // -1: not read from the environment yet
std::atomic<int> gathers{-1};  // -1: as the processor is

bool DetectFastGathers() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  return __builtin_cpu_is("intel");
#else
  return false;
#endif
}

}  // namespace

SimdLevel DetectedSimdLevel() noexcept {
  static const SimdLevel detected = Detect();
  return detected;
}

SimdLevel SimdLevelCap() noexcept {
  int capped = cap.load(std::memory_order_relaxed);
  if (capped < 0) {
    int unset = -1;
    const int fromEnvironment = static_cast<int>(CapFromEnvironment());
    cap.compare_exchange_strong(unset, fromEnvironment);
    capped = cap.load(std::memory_order_relaxed);
  }
  return static_cast<SimdLevel>(capped);
}

SimdLevel ActiveSimdLevel() noexcept {
  const int capped = static_cast<int>(SimdLevelCap());
  const int detected = static_cast<int>(DetectedSimdLevel());
  return static_cast<SimdLevel>(capped < detected ? capped : detected);
}

void ForceSimdLevel(SimdLevel level) noexcept { cap.store(static_cast<int>(level)); }

bool GathersAreFast() noexcept {
  static const bool detected = DetectFastGathers();
  const int forced = gathers.load(std::memory_order_relaxed);
  return forced < 0 ? detected : forced != 0;
}

void ForceGathers(int fast) noexcept { gathers.store(fast < 0 ? -1 : fast != 0 ? 1 : 0); }

}  // namespace ansicrypt::detail
