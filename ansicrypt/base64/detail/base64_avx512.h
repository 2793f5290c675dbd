// Base64 decoding with AVX-512 VBMI, for the processors that have it (chosen at run time).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ansicrypt::Base64::detail {

// True when the loop below was compiled in and AVX-512 is in use (see
// common/detail/simd_level.h).
bool HaveAvx512();

// Decodes whole 256-character blocks (four of 64) while `n` allows and stops before the first
// block that holds a character outside the alphabet; returns the input characters consumed (a
// multiple of 256). The output receives exactly 192 bytes per block.
std::size_t DecodeBlocksAvx512(const std::uint8_t* in, std::size_t n, std::uint8_t* out);

}  // namespace ansicrypt::Base64::detail
