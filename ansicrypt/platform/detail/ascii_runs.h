// Bulk copies of ASCII runs between UTF-16 text and bytes, 16 units per step: SSE2 where the
// compiler targets it (every x86-64), a portable loop elsewhere. Inline: the converters call them
// at every ASCII run.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ansicrypt::platform::detail {

// Copies the leading ASCII units of text[0..16) to out[0..16) as bytes and returns how many were
// ASCII (0 to 16). Reads 16 units and may write all 16 bytes, whatever it returns.
inline std::size_t NarrowAscii16(const char16_t* text, std::uint8_t* out) {
#ifdef __SSE2__
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 8));
  // The ASCII units pack to their own bytes; the caller keeps only those.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(low, high));
  // unit >> 7 is zero exactly for ASCII units, and stays non-zero through the signed pack.
  const __m128i beyond = _mm_packs_epi16(_mm_srli_epi16(low, 7), _mm_srli_epi16(high, 7));
  const unsigned nonAscii =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(beyond, _mm_setzero_si128()))) ^
      0xFFFFU;
  return nonAscii == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(nonAscii));
#else
  std::size_t i = 0;
  for (; i < 16 && text[i] < 0x80; ++i) out[i] = static_cast<std::uint8_t>(text[i]);
  return i;
#endif
}

// Copies the leading bytes below 0x80 of bytes[0..16) to out[0..16) as units and returns how many
// there were (0 to 16). Reads 16 bytes and may write all 16 units, whatever it returns.
inline std::size_t WidenAscii16(const std::uint8_t* bytes, char16_t* out) {
#ifdef __SSE2__
  const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  const __m128i zero = _mm_setzero_si128();
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(in, zero));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(in, zero));
  const auto nonAscii = static_cast<unsigned>(_mm_movemask_epi8(in));
  return nonAscii == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(nonAscii));
#else
  std::size_t i = 0;
  for (; i < 16 && bytes[i] < 0x80; ++i) out[i] = bytes[i];
  return i;
#endif
}

// Copies the ASCII run that starts at in[i] with copy16 (NarrowAscii16 or WidenAscii16), 16 units
// at a time while 16 are left before limit, and advances i and o past it. A whole group advances
// both by the constant 16 on a predicted branch, so that the next group's loads do not wait for
// this group's count.
template <class Copy16, class In, class Out>
inline void CopyAsciiRun(Copy16 copy16, const In* in, std::size_t& i, std::size_t limit, Out* out,
                         std::size_t& o) {
  while (i + 16 <= limit) {
    const std::size_t run = copy16(in + i, out + o);
    if (run < 16) {
      i += run;
      o += run;
      return;
    }
    i += 16;
    o += 16;
  }
}

}  // namespace ansicrypt::platform::detail
