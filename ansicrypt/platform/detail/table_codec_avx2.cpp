// Double-byte code pages with AVX2. AVX2's gathers are slow on many of the processors that have
// no AVX-512, so the table lookups stay scalar loads, in a tight loop of their own that nothing
// else waits on, and the vector units do the rest: finding where characters start, building each
// character's table index, and packing variable-length results with byte shuffles.
//
// Each converter works in chunks: one pass over up to kChunkBlocks blocks writes table indices
// (bytes to text) or table entries (text to bytes) into a buffer on the stack, a second pass turns
// them into the output. Blocks of ASCII are copied straight through when nothing is pending.
#include "ansicrypt/platform/detail/table_codec_avx2.h"

#include <algorithm>
#include <array>
#include <bit>

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/platform/detail/block_starts.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ANSICRYPT_HAVE_AVX2_TABLE_CODEC 1
#endif

namespace ansicrypt::platform::detail {

#ifdef ANSICRYPT_HAVE_AVX2_TABLE_CODEC

#define ANSICRYPT_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))

bool HaveTableCodecAvx2() {
  return ::ansicrypt::detail::ActiveSimdLevel() >= ::ansicrypt::detail::SimdLevel::kAvx2;
}

namespace {

constexpr std::size_t kChunkBlocks = 16;
// Fewer units than this (in a call, at most one 4096-unit piece) are left to the portable loop:
// building the row table would cost more than it saves.
constexpr std::size_t kMinUnitsForRows = 512;

using Shuffles = std::array<std::array<std::uint8_t, 16>, 256>;

// For each 8-bit mask, the byte shuffle that packs to the front, in order, bytes of eight 16-bit
// words: both bytes of each word whose bit is set, and with `everyFirstByte` the first byte of
// every word too. The rest is zeroed.
constexpr Shuffles MakeShuffles(bool everyFirstByte) {
  Shuffles shuffles{};
  for (unsigned mask = 0; mask < 256; ++mask) {
    auto& shuffle = shuffles[mask];
    shuffle.fill(0x80);
    unsigned to = 0;
    for (unsigned word = 0; word < 8; ++word) {
      const bool set = (mask >> word & 1) != 0;
      if (set || everyFirstByte) shuffle[to++] = static_cast<std::uint8_t>(2 * word);
      if (set) shuffle[to++] = static_cast<std::uint8_t>(2 * word + 1);
    }
  }
  return shuffles;
}

// The words whose bit is set (character indices at character starts).
alignas(16) constexpr Shuffles kKeepWords = MakeShuffles(false);
// Every first byte, and the second of the words whose bit is set (one or two bytes per unit).
alignas(16) constexpr Shuffles kKeepBytes = MakeShuffles(true);

ANSICRYPT_AVX2 inline __m128i LoadShuffle(const Shuffles& shuffles, std::uint64_t mask) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(shuffles[mask & 0xFF].data()));
}

// Lanes of `bytes` within [first, first + span], as all-ones bytes (unsigned comparison).
ANSICRYPT_AVX2 inline __m256i InRange(__m256i bytes, __m256i first, __m256i span) {
  const __m256i offset = _mm256_sub_epi8(bytes, first);
  return _mm256_cmpeq_epi8(_mm256_min_epu8(offset, span), offset);
}

ANSICRYPT_AVX2 inline std::uint64_t Mask64(__m256i low, __m256i high) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

// Widens 32 bytes to 32 units.
ANSICRYPT_AVX2 inline void Widen32(__m256i bytes, char16_t* out) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                      _mm256_cvtepu8_epi16(_mm256_castsi256_si128(bytes)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16),
                      _mm256_cvtepu8_epi16(_mm256_extracti128_si256(bytes, 1)));
}

// The lead-byte ranges of a page, and what turns a lead byte into its leadRow value.
struct LeadBytes {
  __m256i from1, span1, from2, span2;
  __m256i rowBias1, rowBias2;  // lead byte - bias = 1 + its row, in the first or second range

  ANSICRYPT_AVX2 explicit LeadBytes(const CodePageTables& page) {
    const auto [first1, last1] = page.leadRanges[0];
    const auto [first2, last2] = page.leadRanges[1];
    from1 = _mm256_set1_epi8(static_cast<char>(first1));
    span1 = _mm256_set1_epi8(static_cast<char>(last1 - first1));
    from2 = _mm256_set1_epi8(static_cast<char>(first2));
    span2 = _mm256_set1_epi8(static_cast<char>(last2 - first2));
    // A page with one range repeats it: every lead byte is then in the first.
    rowBias1 = _mm256_set1_epi8(static_cast<char>(first1 - 1));
    rowBias2 = _mm256_set1_epi8(static_cast<char>(first2 - (last1 - first1 + 1) - 1));
  }
};

// One half (32 bytes) of a block: which bytes start a pair if they start a character (a lead byte
// followed by a non-zero byte), and the table index of the character that would start at each
// byte, as the low and high bytes of 16-bit words.
struct HalfBlock {
  __m256i pair;
  __m256i indexLow;
  __m256i indexHigh;
};

ANSICRYPT_AVX2 inline HalfBlock Classify(const LeadBytes& leads, __m256i bytes, __m256i next) {
  const __m256i inFirst = InRange(bytes, leads.from1, leads.span1);
  const __m256i lead = _mm256_or_si256(inFirst, InRange(bytes, leads.from2, leads.span2));
  const __m256i pair = _mm256_andnot_si256(_mm256_cmpeq_epi8(next, _mm256_setzero_si256()), lead);
  const __m256i row = _mm256_blendv_epi8(_mm256_sub_epi8(bytes, leads.rowBias2),
                                         _mm256_sub_epi8(bytes, leads.rowBias1), inFirst);
  return {pair, _mm256_blendv_epi8(bytes, next, pair), _mm256_and_si256(row, pair)};
}

// Appends the indices of the 32 positions whose bit is set in `starts` to indices[count...], in
// order, and advances count. Writes up to 8 words past the new count.
ANSICRYPT_AVX2 inline void AppendStartIndices(const HalfBlock& half, std::uint64_t starts,
                                              std::uint16_t* indices, std::size_t& count) {
  // In-lane interleaving: low words hold positions 0-7 and 16-23, high words 8-15 and 24-31.
  const __m256i low = _mm256_unpacklo_epi8(half.indexLow, half.indexHigh);
  const __m256i high = _mm256_unpackhi_epi8(half.indexLow, half.indexHigh);
  const __m128i groups[4] = {_mm256_castsi256_si128(low), _mm256_castsi256_si128(high),
                             _mm256_extracti128_si256(low, 1), _mm256_extracti128_si256(high, 1)};
  for (const __m128i& words : groups) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(indices + count),
                     _mm_shuffle_epi8(words, LoadShuffle(kKeepWords, starts)));
    count += static_cast<std::size_t>(std::popcount(starts & 0xFF));
    starts >>= 8;
  }
}

}  // namespace

ANSICRYPT_AVX2 void DecodeDoubleByteAvx2(const CodePageTables& page, const std::uint8_t* in,
                                         std::size_t n, std::size_t& inAt, std::size_t limit,
                                         char16_t* out, std::size_t& outAt) {
  // Local copies: the stores through `out` could otherwise alias the caller's counters.
  std::size_t i = inAt;
  std::size_t o = outAt;
  const LeadBytes leads(page);
  const char16_t* text = page.textByIndex.data();
  alignas(32) std::uint16_t indices[kChunkBlocks * 64 + 8];
  std::uint64_t carry = 0;  // 1: the block's first byte is the trail of the previous block's last
  while (i + 64 <= limit && i + 65 <= n) {
    std::size_t count = 0;
    for (std::size_t block = 0; block < kChunkBlocks && i + 64 <= limit && i + 65 <= n; ++block) {
      const __m256i bytes0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
      const __m256i bytes1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + 32));
      if (page.asciiIdentity && carry == 0 &&
          _mm256_movemask_epi8(_mm256_or_si256(bytes0, bytes1)) == 0) {
        if (count != 0) break;  // the characters before it go out first
        Widen32(bytes0, out + o);
        Widen32(bytes1, out + o + 32);
        i += 64;
        o += 64;
        continue;
      }
      const __m256i next0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + 1));
      const __m256i next1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + 33));
      const HalfBlock half0 = Classify(leads, bytes0, next0);
      const HalfBlock half1 = Classify(leads, bytes1, next1);
      const std::uint64_t starts =
          FindBlockStarts(Mask64(half0.pair, half1.pair), carry).characters;
      AppendStartIndices(half0, starts, indices, count);
      AppendStartIndices(half1, starts >> 32, indices, count);
      i += 64;
    }
    // The lookups: independent loads, nothing waits on one of them but its store. o <= i - start
    // before the chunk and count <= its bytes, so the units fit.
#pragma GCC unroll 4
    for (std::size_t k = 0; k < count; ++k) out[o + k] = text[indices[k]];
    o += count;
  }
  inAt = i + carry;  // past the trail byte of a pair that ended the last block
  outAt = o;
}

ANSICRYPT_AVX2 void EncodeDoubleByteAvx2(const CodePageTables& page, const std::uint16_t* index,
                                         const char16_t* in, std::size_t& inAt, std::size_t limit,
                                         std::uint8_t* out, std::size_t& outAt) {
  std::size_t i = inAt;
  std::size_t o = outAt;
  if (limit - i < kMinUnitsForRows) return;
  const std::uint16_t* blocks = page.textToBytes.data();
  const __m256i beyondAscii = _mm256_set1_epi16(static_cast<short>(0xFF80));
  // Swaps the bytes of each word: lead << 8 | trail is stored lead first.
  const __m256i swapBytes = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14,
                                             1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
  // The block of each high byte, looked up once, as an address less 2 * (high << 8): the unit's
  // entry is then at that address plus 2 * unit, and a unit costs a shift, three loads and a
  // store. Integers, not pointers: the biased address may lie outside the table.
  std::uintptr_t rowBase[256];
  for (std::size_t high = 0; high < 256; ++high)
    rowBase[high] = reinterpret_cast<std::uintptr_t>(blocks + std::size_t{index[high]} * 256) -
                    high * 256 * sizeof(std::uint16_t);
  // Stack buffers are read and written with unaligned moves: a MinGW-w64 GCC without Debian's
  // patch does not align a Windows stack to 32 bytes.
  alignas(32) std::uint16_t entries[kChunkBlocks * 32];
  while (i + 32 <= limit) {
    std::size_t count = 0;
    for (std::size_t block = 0; block < kChunkBlocks && i + 32 <= limit; ++block) {
      const __m256i units0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
      const __m256i units1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + 16));
      if (page.asciiIdentity && _mm256_testz_si256(_mm256_or_si256(units0, units1), beyondAscii)) {
        if (count != 0) break;  // the units before it go out first
        // The pack works within 128-bit lanes; the permutation puts the four quarters in order.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + o),
                            _mm256_permute4x64_epi64(_mm256_packus_epi16(units0, units1), 0xD8));
        i += 32;
        o += 32;
        continue;
      }
#pragma GCC unroll 8
      for (std::size_t k = 0; k < 32; ++k) {
        const std::uintptr_t unit = in[i + k];
        entries[count + k] = *reinterpret_cast<const std::uint16_t*>(rowBase[unit >> 8] +
                                                                     unit * sizeof(std::uint16_t));
      }
      count += 32;
      i += 32;
    }
    // Each entry becomes the word (first byte, second byte), the second kept only for a pair. Each
    // group of 8 writes 16 bytes and keeps 8 to 16: 2 bytes of room per unit from o on.
    for (std::size_t k = 0; k < count; k += 16) {
      const __m256i mapped = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries + k));
      const __m256i single =
          _mm256_cmpeq_epi16(_mm256_srli_epi16(mapped, 8), _mm256_setzero_si256());
      const __m256i words =
          _mm256_blendv_epi8(_mm256_shuffle_epi8(mapped, swapBytes), mapped, single);
      // One bit per entry: those of entries 0-7 in bits 0-7, of entries 8-15 in bits 16-23.
      const auto pairs =
          ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_packs_epi16(single, single)));
      _mm_storeu_si128(
          reinterpret_cast<__m128i*>(out + o),
          _mm_shuffle_epi8(_mm256_castsi256_si128(words), LoadShuffle(kKeepBytes, pairs)));
      o += 8 + static_cast<std::size_t>(std::popcount(pairs & 0xFF));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o),
                       _mm_shuffle_epi8(_mm256_extracti128_si256(words, 1),
                                        LoadShuffle(kKeepBytes, pairs >> 16)));
      o += 8 + static_cast<std::size_t>(std::popcount((pairs >> 16) & 0xFF));
    }
  }
  inAt = i;
  outAt = o;
}

ANSICRYPT_AVX2 std::size_t CountUnitsAboveAsciiAvx2(const char16_t* text, std::size_t& at,
                                                    std::size_t n) {
  // min(unit, 0x80) >> 7 is 1 exactly for the units above ASCII, summed in 16-bit lanes over
  // pieces of at most 0xFFFF blocks, which a lane holds.
  constexpr std::size_t kPieceBlocks = 0xFFFF;
  const __m256i ascii = _mm256_set1_epi16(0x80);
  std::size_t total = 0;
  while (at + 16 <= n) {
    const std::size_t blocks = std::min(kPieceBlocks, (n - at) / 16);
    __m256i counts = _mm256_setzero_si256();
    for (std::size_t b = 0; b < blocks; ++b, at += 16) {
      const __m256i units = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + at));
      counts = _mm256_add_epi16(counts, _mm256_srli_epi16(_mm256_min_epu16(units, ascii), 7));
    }
    // The sixteen lanes as eight 32-bit sums, then the eight added.
    const __m256i sums = _mm256_add_epi32(_mm256_and_si256(counts, _mm256_set1_epi32(0xFFFF)),
                                          _mm256_srli_epi32(counts, 16));
    std::array<std::uint32_t, 8> lanes;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes.data()), sums);
    for (const std::uint32_t lane : lanes) total += lane;
  }
  return total;
}

#else

bool HaveTableCodecAvx2() { return false; }
std::size_t CountUnitsAboveAsciiAvx2(const char16_t*, std::size_t&, std::size_t) { return 0; }
void EncodeDoubleByteAvx2(const CodePageTables&, const std::uint16_t*, const char16_t*,
                          std::size_t&, std::size_t, std::uint8_t*, std::size_t&) {}
void DecodeDoubleByteAvx2(const CodePageTables&, const std::uint8_t*, std::size_t, std::size_t&,
                          std::size_t, char16_t*, std::size_t&) {}

#endif

}  // namespace ansicrypt::platform::detail
