// Base64 bulk loops with AVX2, for the processors that have it (chosen at run time).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ansicrypt::Base64::detail {

// True when the loops below were compiled in and AVX2 is in use (see common/detail/simd_level.h).
bool HaveAvx2();

// Encodes whole 24-byte blocks while 28 input bytes are readable; returns the input bytes consumed
// (a multiple of 24). The output receives 32 characters per block.
std::size_t EncodeBlocksAvx2(const std::uint8_t* in, std::size_t n, std::uint8_t* out);

// Decodes whole 32-character blocks while `n` allows and stops before the first block that holds
// a character outside the alphabet; returns the input characters consumed (a multiple of 32). The
// output must have 8 bytes of room past the 24 bytes of each block.
std::size_t DecodeBlocksAvx2(const std::uint8_t* in, std::size_t n, std::uint8_t* out);

}  // namespace ansicrypt::Base64::detail
