// A bit-by-bit DES: one array element per bit, every permutation a walk over the standard's
// tables. Slow and plain, it is the yardstick for the word-oriented DES of the library.
#pragma once

#include <array>
#include <cstdint>

#include "ansicrypt/cipher/detail/des_tables.h"

namespace ansicrypt::test {

using Bits = std::array<std::uint8_t, 64>;
using Block = std::array<std::uint8_t, 8>;

// The tables parsed from the library's decimal text (the one parse the library makes).
inline const detail::StandardTables& Tables() { return detail::kStandardTables; }

Bits BytesToBits(const Block& bytes);
Block BitsToBytes(const Bits& bits);
// Sixteen round keys, bytes 0..5 holding the 48 bits most significant first.
std::array<Block, 16> MakeSubKeys(const Block& key);
// The S-boxes then P on a 48-bit value held in bytes 0..5; the 32-bit result in bytes 0..3.
Block SBoxPermute(const Block& block);
Block DesBlock(const Block& input, const std::array<Block, 16>& subKeys, bool encrypt);
// One bit-array permutation: out[j] = in[table[j] - 1].
template <std::size_t N, class T>
Bits Permute(const Bits& in, const std::array<T, N>& table) {
  Bits out{};
  for (std::size_t j = 0; j < N; ++j) out[j] = in[static_cast<std::size_t>(table[j] - 1)];
  return out;
}

}  // namespace ansicrypt::test
