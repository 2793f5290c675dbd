// Which SIMD paths the library may take: what the processor has, capped by an override that
// tests, fuzzers and benchmarks use to run every path on a machine that has them all.
#pragma once

namespace ansicrypt::detail {

enum class SimdLevel : int {
  kScalar = 0,  // the portable reference paths (SSE2 on x86-64, as the compiler targets it)
  kAvx2 = 1,    // AVX2 (with BMI1, BMI2 and POPCNT, as every processor with AVX2 has them)
  kAvx512 = 2,  // AVX-512 F, BW, VL, VBMI and VBMI2 (Ice Lake, Zen 4 and later)
};

// The level the running processor supports (x86-64 built with GCC or clang; kScalar elsewhere).
SimdLevel DetectedSimdLevel() noexcept;

// The level in use: the detected level, capped by ForceSimdLevel or, until that is called, by the
// environment variable ANSICRYPT_SIMD: "avx512" (or unset, or empty) caps nothing, "avx2" caps at
// AVX2, and "scalar" or any other value (a misspelling too) at the portable paths.
SimdLevel ActiveSimdLevel() noexcept;

// The cap in force (kAvx512 when nothing caps the level).
SimdLevel SimdLevelCap() noexcept;

// Caps the level in use (a cap above the detected level has no effect). Process-wide; meant for
// tests and benchmarks.
void ForceSimdLevel(SimdLevel cap) noexcept;

// Whether table lookups should use the vector gather instructions where a path has both forms:
// yes on Intel processors, whose gathers load a few elements per cycle; no elsewhere (AMD's, up to
// Zen 5 at least, are slower than the same loads issued one by one). ForceGathers overrides it.
bool GathersAreFast() noexcept;

// Overrides GathersAreFast for tests: 1 yes, 0 no, -1 back to what the processor is.
void ForceGathers(int fast) noexcept;

// Every level this processor can run, from kScalar up: the paths a test should cover.
inline constexpr SimdLevel kAllSimdLevels[] = {SimdLevel::kScalar, SimdLevel::kAvx2,
                                               SimdLevel::kAvx512};

}  // namespace ansicrypt::detail
