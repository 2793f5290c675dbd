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

#include "ansicrypt/cipher/detail/des_tables.h"

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
// interleave, which keeps the processor busy). `keys` holds the two words of each round key in the
// standard's order (32 words); decryption takes them from the last round back. Leaves (L16, R16)
// in (left, right); the output block is FinalPermutation(right, left).
template <bool Decrypt, std::size_t Lanes>
inline void Rounds(std::array<std::uint32_t, Lanes>& left, std::array<std::uint32_t, Lanes>& right,
                   const std::uint32_t* keys, const SpBoxes& sp) {
  constexpr std::ptrdiff_t kStep = Decrypt ? -2 : 2;
  const std::uint32_t* k = Decrypt ? keys + 30 : keys;
  for (int round = 0; round < 16; round += 2) {
    for (std::size_t i = 0; i < Lanes; ++i) left[i] ^= RoundFunction(right[i], k, sp);
    for (std::size_t i = 0; i < Lanes; ++i) right[i] ^= RoundFunction(left[i], k + kStep, sp);
    k += 2 * kStep;
  }
}

// The same with the direction chosen at run time.
template <std::size_t Lanes>
inline void Rounds(std::array<std::uint32_t, Lanes>& left, std::array<std::uint32_t, Lanes>& right,
                   const std::uint32_t* keys, bool decrypt, const SpBoxes& sp) {
  if (decrypt) {
    Rounds<true>(left, right, keys, sp);
  } else {
    Rounds<false>(left, right, keys, sp);
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
constexpr SpBoxes DeriveSpBoxes(const std::array<std::array<std::array<std::uint8_t, 16>, 4>, 8>& s,
                                const std::array<std::uint8_t, 32>& p) {
  // outputMask[i]: where P sends input bit i+1, as a word with bit 1 most significant.
  std::array<std::uint32_t, 32> outputMask{};
  for (std::size_t j = 0; j < p.size(); ++j) {
    outputMask[p[j] - 1U] |= 0x80000000U >> j;
  }
  SpBoxes boxes{};
  for (std::size_t box = 0; box < 8; ++box) {
    // P of each 4-bit output value of this box, rotated as the rounds hold their words.
    std::array<std::uint32_t, 16> permuted{};
    for (unsigned value = 0; value < 16; ++value) {
      std::uint32_t word = 0;
      for (unsigned bit = 0; bit < 4; ++bit) {
        // Bit 3 of the value is the box's first output bit, input bit 4*box+1 of P.
        if ((value >> (3 - bit)) & 1U) word |= outputMask[4 * box + bit];
      }
      permuted[value] = std::rotl(word, 1);
    }
    for (unsigned input = 0; input < 64; ++input) {
      const unsigned row = ((input >> 4) & 2U) | (input & 1U);
      const unsigned column = (input >> 1) & 0xfU;
      boxes[box][input] = permuted[s[box][row][column]];
    }
  }
  return boxes;
}

// Derived once, while the library is compiled, and shared by every DES object.
inline constexpr SpBoxes kSpBoxes = DeriveSpBoxes(kStandardTables.S, kStandardTables.P);

// Splits a 48-bit round key (bit 1 most significant) into the two words RoundFunction takes.
constexpr void SplitRoundKey(std::uint64_t roundKey, std::uint32_t& oddBoxes,
                             std::uint32_t& evenBoxes) {
  auto six = [roundKey](int box) {
    return static_cast<std::uint32_t>(roundKey >> (42 - 6 * box)) & 0x3fU;
  };
  oddBoxes = (six(0) << 24) | (six(2) << 16) | (six(4) << 8) | six(6);
  evenBoxes = (six(1) << 24) | (six(3) << 16) | (six(5) << 8) | six(7);
}

}  // namespace ansicrypt::detail
