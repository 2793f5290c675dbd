// Bitsliced DES for arrays of many blocks: 512 blocks at a time in AVX-512 registers or 256 in
// AVX2 registers, one register per bit position, S-boxes as boolean circuits generated from the
// parsed S-box tables (tools/des_sbox_circuits.cpp). Chosen at run time; results equal the table
// rounds bit for bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ansicrypt::detail {

// Round keys as the standard's 48-bit values in bytes 0..5 of each round (DES::SubKey1 layout).
using RoundKeyBytes = std::array<std::array<std::uint8_t, 8>, 16>;

// The round keys of one call in the order the rounds use them: per round 48 words, each 0 or all
// ones (round-key bit 1 first), for one pass of 16 rounds or three.
struct BitslicedKeys {
  std::array<std::int32_t, 3 * 16 * 48> masks;
  int passes;

  static BitslicedKeys Single(const RoundKeyBytes& key, bool decrypt);
  static BitslicedKeys Triple(const RoundKeyBytes& key1, const RoundKeyBytes& key2,
                              bool outerDecrypt, bool middleDecrypt);
};

// Below this many blocks the table rounds are faster (measured; the bitsliced rounds cost the same
// for 1 block as for a whole batch).
inline constexpr std::size_t kBitslicedMinBlocks = 48;

// True when a bitsliced path is in use (see common/detail/simd_level.h) and `blocks` is enough.
bool UseBitslicedDes(std::size_t blocks);

// Transforms `blocks` whole 8-byte blocks from `in` to `out` (which may be the same) and returns
// how many it transformed: all of them.
std::size_t BitslicedDes(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                         const BitslicedKeys& keys);

// The two paths, each compiled for its instruction set; called only where the processor has it.
void BitslicedDesAvx512(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                        const std::int32_t* masks, int passes);
void BitslicedDesAvx2(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                      const std::int32_t* masks, int passes);

}  // namespace ansicrypt::detail
