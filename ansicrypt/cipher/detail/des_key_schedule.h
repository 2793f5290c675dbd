// The DES key schedule on words: PC-1 and PC-2 as byte-wise lookup tables and the shift schedule
// as cumulative rotations, all derived at compile time from the parsed PC-1, PC-2 and shift
// tables.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "ansicrypt/cipher/detail/des_tables.h"

namespace ansicrypt::detail {

// C and D are 28-bit words, bit 1 of the standard most significant; CD is C << 28 | D.
struct KeyScheduleTables {
  // pc1[i][v]: the bits of CD that key byte i (0 = first) with value v provides.
  std::array<std::array<std::uint64_t, 256>, 8> pc1{};
  // pc2[k][v]: the bits of the 48-bit round key (bit 1 most significant) that 7-bit piece k of CD
  // (k = 0: CD bits 1..7) with value v provides, in the low 48 bits; in the high 16 bits nothing.
  std::array<std::array<std::uint64_t, 128>, 8> pc2{};
  // pc2Words[k][v]: the same bits as the table rounds take them, the word of S-boxes 1, 3, 5, 7
  // in the high half and of 2, 4, 6, 8 in the low half (each box's six bits in the low six bits
  // of its byte, box 1 and 2 in the top bytes).
  std::array<std::array<std::uint64_t, 128>, 8> pc2Words{};
  // How far C and D are rotated left, in all, before round r's key is taken.
  std::array<int, 16> rotation{};
};

// Where round-key bit j (0: bit 1 of the standard) sits in the words of the table rounds.
constexpr int WordsPosition(std::size_t j) {
  const std::size_t box = j / 6;    // S-box 0..7
  const std::size_t inBox = j % 6;  // 0: the box's first input bit
  const std::size_t byte = 3 - box / 2;
  return static_cast<int>((box % 2 == 0 ? 32 : 0) + 8 * byte + (5 - inBox));
}

// Each output bit is placed in the entries of the one key byte or CD piece it comes from.
constexpr KeyScheduleTables DeriveKeyScheduleTables(const StandardTables& t) {
  KeyScheduleTables k;
  for (std::size_t j = 0; j < 56; ++j) {
    const auto position = static_cast<unsigned>(t.PC1[j]) - 1;  // 0-based key bit
    for (unsigned value = 0; value < 256; ++value) {
      if ((value >> (7 - position % 8)) & 1U)
        k.pc1[position / 8][value] |= std::uint64_t{1} << (55 - j);
    }
  }
  for (std::size_t j = 0; j < 48; ++j) {
    const auto position = static_cast<unsigned>(t.PC2[j]) - 1;  // 0-based CD bit
    for (unsigned value = 0; value < 128; ++value) {
      if (((value >> (6 - position % 7)) & 1U) == 0) continue;
      k.pc2[position / 7][value] |= std::uint64_t{1} << (47 - j);
      k.pc2Words[position / 7][value] |= std::uint64_t{1} << WordsPosition(j);
    }
  }
  int total = 0;
  for (std::size_t round = 0; round < 16; ++round) {
    total += t.Shift[round];
    k.rotation[round] = total;
  }
  return k;
}

inline constexpr KeyScheduleTables kKeySchedule = DeriveKeyScheduleTables(kStandardTables);

inline constexpr std::uint32_t Rotate28(std::uint32_t x, int n) {
  return ((x << n) | (x >> (28 - n))) & 0x0fffffffU;
}

// The 16 round keys of an 8-byte key, handed to visit(round, roundKey, words) in order: as a 48-bit
// value (bit 1 of the round key most significant) and as the words of the table rounds (see
// pc2Words). The rounds are unrolled, so that every rotation is by a constant.
template <class Visit>
inline void ForEachRoundKey(const std::array<std::uint8_t, 8>& key, const Visit& visit) {
  std::uint64_t cd = 0;
  for (std::size_t i = 0; i < 8; ++i) cd |= kKeySchedule.pc1[i][key[i]];
  const auto c = static_cast<std::uint32_t>(cd >> 28);
  const auto d = static_cast<std::uint32_t>(cd & 0x0fffffffU);
  [&]<std::size_t... Round>(std::index_sequence<Round...>) {
    (
        [&] {
          constexpr int n = kKeySchedule.rotation[Round];
          const std::uint32_t cr = Rotate28(c, n);
          const std::uint32_t dr = Rotate28(d, n);
          // C feeds pieces 0..3 and D pieces 4..7; the two halves are independent chains.
          const std::uint32_t piece[8] = {cr >> 21,          (cr >> 14) & 0x7fU, (cr >> 7) & 0x7fU,
                                          cr & 0x7fU,        dr >> 21,           (dr >> 14) & 0x7fU,
                                          (dr >> 7) & 0x7fU, dr & 0x7fU};
          // C feeds pieces 0..3 and D pieces 4..7: two independent chains each.
          const std::uint64_t roundKey =
              (kKeySchedule.pc2[0][piece[0]] | kKeySchedule.pc2[1][piece[1]] |
               kKeySchedule.pc2[2][piece[2]] | kKeySchedule.pc2[3][piece[3]]) |
              (kKeySchedule.pc2[4][piece[4]] | kKeySchedule.pc2[5][piece[5]] |
               kKeySchedule.pc2[6][piece[6]] | kKeySchedule.pc2[7][piece[7]]);
          const std::uint64_t words =
              (kKeySchedule.pc2Words[0][piece[0]] | kKeySchedule.pc2Words[1][piece[1]] |
               kKeySchedule.pc2Words[2][piece[2]] | kKeySchedule.pc2Words[3][piece[3]]) |
              (kKeySchedule.pc2Words[4][piece[4]] | kKeySchedule.pc2Words[5][piece[5]] |
               kKeySchedule.pc2Words[6][piece[6]] | kKeySchedule.pc2Words[7][piece[7]]);
          visit(Round, roundKey, words);
        }(),
        ...);
  }
  (std::make_index_sequence<16>());
}

}  // namespace ansicrypt::detail
