// Double-byte code pages with AVX-512: table lookups by 32-bit gathers (the tables have one entry
// of slack for it), variable-length output by byte compression.
#include "ansicrypt/platform/detail/table_codec_avx512.h"

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/platform/detail/block_starts.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// GCC 12's AVX-512 headers build "undefined" vectors from themselves, which -Wmaybe-uninitialized
// reports at every inlined intrinsic, and without optimisation its gather macros convert masks to
// signed types.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#endif
#include <immintrin.h>
#define ANSICRYPT_HAVE_AVX512_TABLE_CODEC 1
#endif

namespace ansicrypt::platform::detail {

#ifdef ANSICRYPT_HAVE_AVX512_TABLE_CODEC

#define ANSICRYPT_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi2,bmi,bmi2,popcnt")))

bool HaveTableCodecAvx512() {
  // Gathers do all the lookups here; where they are slow the AVX2 loops' plain loads are faster.
  return ::ansicrypt::detail::ActiveSimdLevel() >= ::ansicrypt::detail::SimdLevel::kAvx512 &&
         ::ansicrypt::detail::GathersAreFast();
}

namespace {

// The 16-bit table entries at `index` (16 lanes of 32 bits); lanes outside `lanes` keep `src`.
ANSICRYPT_AVX512 inline __m512i Gather16(__m512i src, __mmask16 lanes, __m512i index,
                                         const void* table) {
  return _mm512_and_si512(_mm512_mask_i32gather_epi32(src, lanes, index, table, 2),
                          _mm512_set1_epi32(0xFFFF));
}

}  // namespace

ANSICRYPT_AVX512 void EncodeDoubleByteAvx512(const CodePageTables& page, const std::uint16_t* index,
                                             const char16_t* in, std::size_t& i, std::size_t limit,
                                             std::uint8_t* out, std::size_t& o) {
  const std::uint16_t* blocks = page.textToBytes.data();
  const __m512i lowByte = _mm512_set1_epi32(0xFF);
  const __m512i zero = _mm512_setzero_si512();
  while (i + 32 <= limit) {
    const __m512i units = _mm512_loadu_si512(in + i);
    if (page.asciiIdentity && _mm512_cmpge_epu16_mask(units, _mm512_set1_epi16(0x80)) == 0) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + o), _mm512_cvtepi16_epi8(units));
      i += 32;
      o += 32;
      continue;
    }
    for (int half = 0; half < 2; ++half) {
      const __m512i unit = _mm512_cvtepu16_epi32(
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i + 16 * half)));
      const __m512i block = Gather16(zero, 0xFFFF, _mm512_srli_epi32(unit, 8), index);
      const __m512i at =
          _mm512_add_epi32(_mm512_slli_epi32(block, 8), _mm512_and_si512(unit, lowByte));
      const __m512i mapped = Gather16(zero, 0xFFFF, at, blocks);
      // Each unit gives the word (first byte, second byte); the second is kept only for a pair.
      const __mmask16 two = _mm512_cmpgt_epu32_mask(mapped, lowByte);
      const __m512i first = _mm512_mask_srli_epi32(mapped, two, mapped, 8);
      const __m512i word = _mm512_or_si512(_mm512_and_si512(first, lowByte),
                                           _mm512_slli_epi32(_mm512_and_si512(mapped, lowByte), 8));
      const auto keep = static_cast<__mmask32>(0x55555555U | _pdep_u32(two, 0xAAAAAAAAU));
      // 32 bytes written, popcount(keep) kept: 2 bytes of room per unit from o on.
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + o),
                          _mm256_maskz_compress_epi8(keep, _mm512_cvtepi32_epi16(word)));
      o += static_cast<std::size_t>(_mm_popcnt_u32(keep));
    }
    i += 32;
  }
}

ANSICRYPT_AVX512 void DecodeDoubleByteAvx512(const CodePageTables& page, const std::uint8_t* in,
                                             std::size_t n, std::size_t& i, std::size_t limit,
                                             char16_t* out, std::size_t& o) {
  const auto [first1, last1] = page.leadRanges[0];
  const auto [first2, last2] = page.leadRanges[1];
  const __m512i from1 = _mm512_set1_epi8(static_cast<char>(first1));
  const __m512i span1 = _mm512_set1_epi8(static_cast<char>(last1 - first1));
  const __m512i from2 = _mm512_set1_epi8(static_cast<char>(first2));
  const __m512i span2 = _mm512_set1_epi8(static_cast<char>(last2 - first2));
  // Row of a lead byte: b - first1 in the first range, b - first2 + (rows of the first) after it.
  const __m512i rowBase1 = _mm512_set1_epi32(first1);
  const __m512i rowBase2 = _mm512_set1_epi32(static_cast<int>(first2) - (last1 - first1 + 1));
  const char16_t* byteToText = page.byteToText.data();
  const char16_t* pairToText = page.pairToText.data();
  alignas(64) std::uint8_t firstBytes[64];
  alignas(64) std::uint8_t nextBytes[64];
  std::uint64_t carry = 0;  // 1: the block's first byte is the trail of the previous block's last
  while (i + 64 <= limit && i + 65 <= n) {
    const __m512i bytes = _mm512_loadu_si512(in + i);
    const __m512i next = _mm512_loadu_si512(in + i + 1);
    if (page.asciiIdentity && carry == 0 && _mm512_movepi8_mask(bytes) == 0) {
      _mm512_storeu_si512(out + o, _mm512_cvtepu8_epi16(_mm512_castsi512_si256(bytes)));
      _mm512_storeu_si512(out + o + 32, _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(bytes, 1)));
      i += 64;
      o += 64;
      continue;
    }
    const std::uint64_t inFirst = _mm512_cmple_epu8_mask(_mm512_sub_epi8(bytes, from1), span1);
    const std::uint64_t inSecond = _mm512_cmple_epu8_mask(_mm512_sub_epi8(bytes, from2), span2);
    const auto [pairStarts, starts] =
        FindBlockStarts((inFirst | inSecond) & _mm512_test_epi8_mask(next, next), carry);

    _mm512_storeu_si512(firstBytes, _mm512_maskz_compress_epi8(starts, bytes));
    _mm512_storeu_si512(nextBytes, _mm512_maskz_compress_epi8(starts, next));
    const std::uint64_t isPair = _pext_u64(pairStarts, starts);
    const std::uint64_t isFirstRange = _pext_u64(inFirst, starts);
    // Single bytes that need the table: all of them, or only those above ASCII when ASCII bytes
    // are their own characters.
    const std::uint64_t lookUp =
        ~isPair & (page.asciiIdentity ? _pext_u64(_mm512_movepi8_mask(bytes), starts) : ~0ULL);
    const auto count = static_cast<std::size_t>(_mm_popcnt_u64(starts));
    for (std::size_t g = 0; g < count; g += 16) {
      const auto lanes =
          static_cast<__mmask16>(count - g >= 16 ? 0xFFFFU : (1U << (count - g)) - 1);
      const auto pairs = static_cast<__mmask16>((isPair >> g) & lanes);
      const auto singles = static_cast<__mmask16>((lookUp >> g) & lanes);
      const __m512i lead =
          _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(firstBytes + g)));
      __m512i chars = lead;
      if (singles != 0) chars = Gather16(chars, singles, lead, byteToText);
      if (pairs != 0) {
        const auto firstRange = static_cast<__mmask16>(isFirstRange >> g);
        const __m512i trail =
            _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(nextBytes + g)));
        const __m512i row =
            _mm512_mask_sub_epi32(_mm512_sub_epi32(lead, rowBase2), firstRange, lead, rowBase1);
        const __m512i at = _mm512_add_epi32(_mm512_slli_epi32(row, 8), trail);
        chars = _mm512_mask_i32gather_epi32(chars, pairs, at, pairToText, 2);
      }
      // Truncating to 16 bits drops the neighbouring entry each 32-bit gather read.
      _mm256_mask_storeu_epi16(out + o + g, lanes, _mm512_cvtepi32_epi16(chars));
    }
    i += 64;
    o += count;
  }
  i += carry;  // the trail byte of a pair that ended the last block
}

#else

bool HaveTableCodecAvx512() { return false; }
void EncodeDoubleByteAvx512(const CodePageTables&, const std::uint16_t*, const char16_t*,
                            std::size_t&, std::size_t, std::uint8_t*, std::size_t&) {}
void DecodeDoubleByteAvx512(const CodePageTables&, const std::uint8_t*, std::size_t, std::size_t&,
                            std::size_t, char16_t*, std::size_t&) {}

#endif

}  // namespace ansicrypt::platform::detail
