// The DES block transform on 32-bit words: the permutations as swap networks and the 16 rounds
// through S-box tables that already include P.
//
// A block is held as two big-endian words, `left` = bits 1..32 and `right` = bits 33..64 in the
// standard's numbering (bit 1 is the most significant bit of byte 0). Between InitialPermutation
// and FinalPermutation both halves are kept rotated left by one place: the 6-bit S-box inputs of
// expansion E are then whole 6-bit fields of the word and of the word rotated right by four.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <span>

namespace ansicrypt::detail {

// spBoxes[i][x]: P applied to the output of S-box i+1 for the 6-bit input x (bit 5 of x is the
// first input bit), rotated left by one place.
using SpBoxes = std::array<std::array<std::uint32_t, 64>, 8>;

// One swap step of the permutation network: exchanges the bits of `a` selected by mask << shift
// with the bits of `b` selected by mask. Applying it twice restores both words.
inline void DeltaSwap(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) {
  const std::uint32_t t = ((a >> shift) ^ b) & mask;
  b ^= t;
  a ^= t << shift;
}

// IP; both result halves come out rotated left by one place, ready for Rounds.
inline void InitialPermutation(std::uint32_t& left, std::uint32_t& right) {
  DeltaSwap(left, right, 4, 0x0f0f0f0fU);
  DeltaSwap(left, right, 16, 0x0000ffffU);
  DeltaSwap(right, left, 2, 0x33333333U);
  DeltaSwap(right, left, 8, 0x00ff00ffU);
  right = std::rotl(right, 1);
  const std::uint32_t t = (left ^ right) & 0xaaaaaaaaU;
  left ^= t;
  right ^= t;
  left = std::rotl(left, 1);
}

// IP-1, the exact inverse of InitialPermutation: takes rotated halves, gives the output block.
inline void FinalPermutation(std::uint32_t& left, std::uint32_t& right) {
  left = std::rotr(left, 1);
  const std::uint32_t t = (left ^ right) & 0xaaaaaaaaU;
  left ^= t;
  right ^= t;
  right = std::rotr(right, 1);
  DeltaSwap(right, left, 8, 0x00ff00ffU);
  DeltaSwap(right, left, 2, 0x33333333U);
  DeltaSwap(left, right, 16, 0x0000ffffU);
  DeltaSwap(left, right, 4, 0x0f0f0f0fU);
}

// f(R, K) for one round; `keys` holds the round's two key words (see DES::RoundKeyWords).
inline std::uint32_t RoundFunction(std::uint32_t right, const std::uint32_t* keys,
                                   const SpBoxes& sp) {
  std::uint32_t work = std::rotr(right, 4) ^ keys[0];
  std::uint32_t f = sp[6][work & 0x3f] | sp[4][(work >> 8) & 0x3f] | sp[2][(work >> 16) & 0x3f] |
                    sp[0][(work >> 24) & 0x3f];
  work = right ^ keys[1];
  f |= sp[7][work & 0x3f] | sp[5][(work >> 8) & 0x3f] | sp[3][(work >> 16) & 0x3f] |
       sp[1][(work >> 24) & 0x3f];
  return f;
}

// The 16 rounds on rotated halves of `Lanes` independent blocks at once (their dependency chains
// interleave, which keeps the processor busy), round keys in `keys` (32 words) in the order of use.
// Leaves (L16, R16) in (left, right); the output block is FinalPermutation(right, left).
template <std::size_t Lanes>
inline void Rounds(std::array<std::uint32_t, Lanes>& left, std::array<std::uint32_t, Lanes>& right,
                   const std::uint32_t* keys, const SpBoxes& sp) {
  for (int round = 0; round < 16; round += 2) {
    for (std::size_t i = 0; i < Lanes; ++i) left[i] ^= RoundFunction(right[i], keys, sp);
    for (std::size_t i = 0; i < Lanes; ++i) right[i] ^= RoundFunction(left[i], keys + 2, sp);
    keys += 4;
  }
}

inline std::uint32_t LoadBigEndian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

inline void StoreBigEndian(std::uint32_t v, std::uint8_t* p) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// Builds the combined S-box and P tables from the standard's S-boxes (values 0..15) and P
// (positions 1..32).
SpBoxes DeriveSpBoxes(const std::array<std::array<std::array<std::uint8_t, 16>, 4>, 8>& s,
                      const std::array<std::uint8_t, 32>& p);

// Splits a 48-bit round key (bit 1 most significant) into the two words RoundFunction takes.
void SplitRoundKey(std::uint64_t roundKey, std::uint32_t& oddBoxes, std::uint32_t& evenBoxes);

}  // namespace ansicrypt::detail
