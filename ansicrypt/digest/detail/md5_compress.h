// The MD5 block transform of RFC 1321 on 32-bit unsigned words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ansicrypt::detail {

// Applies the transform of `count` consecutive 64-byte blocks to the state words A, B, C, D.
void Md5Compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* blocks,
                 std::size_t count);

}  // namespace ansicrypt::detail
