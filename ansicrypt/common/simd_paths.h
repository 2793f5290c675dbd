// Which of the library's SIMD paths this process runs, for reports (`ansicrypt selftest`, the
// benchmarks). Results never depend on it: every path gives the same bytes.
#pragma once

#include <string_view>

namespace ansicrypt {

// "avx512", "avx2" or "scalar" (the portable paths, and the only ones outside x86-64): the best
// the processor offers, and the one in use after the cap the environment variable ANSICRYPT_SIMD
// sets ("avx512", "avx2" or "scalar"; those are the names it takes).
std::string_view ProcessorSimdPath() noexcept;
std::string_view ActiveSimdPath() noexcept;

}  // namespace ansicrypt
