// The MD5 block transform of RFC 1321 on 32-bit unsigned words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ansicrypt::detail {

// Applies the transform of `count` consecutive 64-byte blocks to the state words A, B, C, D.
void Md5Compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* blocks,
                 std::size_t count);

// The same for blocks of 64 UTF-16 units below U+0080, each unit standing for its own byte, up to
// `count` blocks: stops before the first block that holds any other unit and returns the number
// of blocks transformed.
std::size_t Md5CompressAsciiUnits(std::array<std::uint32_t, 4>& state, const char16_t* units,
                                  std::size_t count);

}  // namespace ansicrypt::detail
