// The DES key schedule on words: PC-1 and PC-2 as byte-wise lookup tables and the shift schedule
// as cumulative rotations, all derived at compile time from the parsed PC-1, PC-2 and shift
// tables.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "ansicrypt/cipher/detail/des_tables.h"

namespace ansicrypt::detail {

// The two forms of a round key's bits: ORing entries of one round gives the round key.
struct alignas(16) RoundKeyBits {
  // The 48-bit round key (bit 1 most significant) shifted left by 16 and stored big-endian: the
  // word whose bytes in memory are the key's six bytes, most significant first, then two zeros.
  std::uint64_t bytes = 0;
  // The same bits as the table rounds take them, the word of S-boxes 1, 3, 5, 7 in the high half
  // and of 2, 4, 6, 8 in the low half (each box's six bits in the low six bits of its byte, box 1
  // and 2 in the top bytes).
  std::uint64_t words = 0;
};

// The word whose bytes in memory are those of v, most significant first, on this machine.
constexpr std::uint64_t StoredBigEndian(std::uint64_t v) {
  if constexpr (std::endian::native == std::endian::big) return v;
  std::uint64_t swapped = 0;
  for (int i = 0; i < 8; ++i) swapped |= ((v >> (8 * i)) & 0xffU) << (56 - 8 * i);
  return swapped;
}

// C and D are 28-bit words, bit 1 of the standard most significant; CD is C << 28 | D.
struct KeyScheduleTables {
  // pc1[i][v]: the bits of CD that key byte i (0 = first) with value v provides.
  std::array<std::array<std::uint64_t, 256>, 8> pc1{};
  // pc2[k][v]: the bits of the round key that 7-bit piece k of CD (k = 0: CD bits 1..7) with
  // value v provides, in both forms; one entry is one 16-byte load.
  std::array<std::array<RoundKeyBits, 128>, 8> pc2{};
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
      RoundKeyBits& entry = k.pc2[position / 7][value];
      entry.bytes |= StoredBigEndian(std::uint64_t{1} << (63 - j));
      entry.words |= std::uint64_t{1} << WordsPosition(j);
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

#ifdef __SSE2__
inline constexpr bool kVectorKeySchedule = true;
#else
inline constexpr bool kVectorKeySchedule = false;
#endif

// The 16 round keys of an 8-byte key, handed to visit(round, bits) in order (see RoundKeyBits).
// The rounds are unrolled, so that every rotation is by a constant. Vector = false is the form
// every machine without SSE2 runs (the tests run both).
template <bool Vector = kVectorKeySchedule, class Visit>
inline void ForEachRoundKey(const std::array<std::uint8_t, 8>& key, const Visit& visit) {
  static_assert(!Vector || kVectorKeySchedule, "the vector form needs SSE2");
  std::uint64_t cd = 0;
  for (std::size_t i = 0; i < 8; ++i) cd |= kKeySchedule.pc1[i][key[i]];
  // C and D twice over, side by side (C C and D D in 56 bits each): C rotated left by n is bits
  // 55 - n .. 28 - n of cc, so a piece of a rotated half is one shift and one mask.
  const std::uint64_t c = cd >> 28;
  const std::uint64_t d = cd & 0x0fffffffU;
  const std::uint64_t cc = c << 28 | c;
  const std::uint64_t dd = d << 28 | d;
  [&]<std::size_t... Round>(std::index_sequence<Round...>) {
    (
        [&] {
          constexpr int n = kKeySchedule.rotation[Round] % 28;
          const auto pieceOf = [](std::uint64_t twice, int k) {  // bits 7k + 1 .. 7k + 7 of 28
            return static_cast<std::uint32_t>(twice >> (49 - n - 7 * k)) & 0x7fU;
          };
          // C feeds pieces 0..3 and D pieces 4..7.
          const std::uint32_t piece[8] = {pieceOf(cc, 0), pieceOf(cc, 1), pieceOf(cc, 2),
                                          pieceOf(cc, 3), pieceOf(dd, 0), pieceOf(dd, 1),
                                          pieceOf(dd, 2), pieceOf(dd, 3)};
          RoundKeyBits bits;
          if constexpr (Vector) {
#ifdef __SSE2__
            // Both forms at once: eight 16-byte loads and seven ors.
            const auto entry = [&piece](std::size_t k) {
              return _mm_load_si128(
                  reinterpret_cast<const __m128i*>(&kKeySchedule.pc2[k][piece[k]]));
            };
            const __m128i fromC =
                _mm_or_si128(_mm_or_si128(entry(0), entry(1)), _mm_or_si128(entry(2), entry(3)));
            const __m128i fromD =
                _mm_or_si128(_mm_or_si128(entry(4), entry(5)), _mm_or_si128(entry(6), entry(7)));
            _mm_store_si128(reinterpret_cast<__m128i*>(&bits), _mm_or_si128(fromC, fromD));
#endif
          } else {
            for (std::size_t k = 0; k < 8; ++k) {
              const RoundKeyBits& entry = kKeySchedule.pc2[k][piece[k]];
              bits.bytes |= entry.bytes;
              bits.words |= entry.words;
            }
          }
          visit(Round, bits);
        }(),
        ...);
  }
  (std::make_index_sequence<16>());
}

}  // namespace ansicrypt::detail
