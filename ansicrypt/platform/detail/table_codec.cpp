// Conversion through a generated code page's tables: one or two table loads per unit or byte, no
// unpredictable branch per character in the double-byte loops, ASCII runs copied 16 at a time.
// Results are built in pieces of kPiece input units or bytes, converted into a buffer on the
// stack and appended, so that the result is never zero-filled first.
#include "ansicrypt/platform/detail/table_codec.h"

#include <algorithm>

#include "ansicrypt/platform/detail/ascii_runs.h"
#include "ansicrypt/platform/detail/table_codec_avx2.h"
#include "ansicrypt/platform/detail/table_codec_avx512.h"

namespace ansicrypt::platform::detail {
namespace {

constexpr std::size_t kPiece = 4096;

// A run of two ASCII units or bytes is worth a bulk copy.
bool StartsAsciiRun(unsigned first, unsigned second) { return (first | second) < 0x80; }

// Each converter takes the input from `i` up to `limit` (reading at most to n) into out[o...], and
// advances i and o. Units: o == i - start, bytes: at most two per unit.

void EncodeSingleByte(const CodePageTables& page, const std::uint16_t* index, const char16_t* in,
                      std::size_t& i, std::size_t limit, std::uint8_t* out, std::size_t& o) {
  const std::uint16_t* blocks = page.textToBytes.data();
  while (i < limit) {
    if (page.asciiIdentity && i + 16 <= limit && in[i] < 0x80) {
      CopyAsciiRun(NarrowAscii16, in, i, limit, out, o);
      continue;
    }
    const char16_t unit = in[i++];
    out[o++] =
        static_cast<std::uint8_t>(blocks[std::size_t{index[unit >> 8]} * 256 + (unit & 0xFF)]);
  }
}

void EncodeDoubleByte(const CodePageTables& page, const std::uint16_t* index, const char16_t* in,
                      std::size_t& i, std::size_t limit, std::uint8_t* out, std::size_t& o) {
  const std::uint16_t* blocks = page.textToBytes.data();
  if (HaveTableCodecAvx512()) {
    EncodeDoubleByteAvx512(page, index, in, i, limit, out, o);
  } else if (HaveTableCodecAvx2()) {
    EncodeDoubleByteAvx2(page, index, in, i, limit, out, o);
  }
  while (i < limit) {
    // o <= 2(i - start): the 16 bytes of a bulk copy fit in the buffer.
    if (page.asciiIdentity && i + 16 <= limit && StartsAsciiRun(in[i], in[i + 1])) {
      CopyAsciiRun(NarrowAscii16, in, i, limit, out, o);
      continue;
    }
    // A double-byte entry is lead << 8 | trail, so the lead byte goes first whatever the
    // machine's byte order. Two bytes are written for every unit and one or both kept: the second
    // of a single byte is overwritten by the next unit or left past the end.
    const char16_t unit = in[i++];
    const unsigned mapped = blocks[std::size_t{index[unit >> 8]} * 256 + (unit & 0xFF)];
    const bool two = mapped > 0xFF;
    out[o] = static_cast<std::uint8_t>(two ? mapped >> 8 : mapped);
    out[o + 1] = static_cast<std::uint8_t>(mapped);
    o += two ? 2 : 1;
  }
}

void DecodeSingleByte(const CodePageTables& page, const std::uint8_t* in, std::size_t& i,
                      std::size_t limit, char16_t* out, std::size_t& o) {
  const char16_t* byteToText = page.byteToText.data();
  while (i < limit) {
    if (page.asciiIdentity && i + 16 <= limit && in[i] < 0x80) {
      CopyAsciiRun(WidenAscii16, in, i, limit, out, o);
      continue;
    }
    out[o++] = byteToText[in[i++]];
  }
}

// A pair may start at limit - 1; i then ends at limit + 1.
void DecodeDoubleByte(const CodePageTables& page, const std::uint8_t* in, std::size_t n,
                      std::size_t& i, std::size_t limit, char16_t* out, std::size_t& o) {
  const char16_t* byteToText = page.byteToText.data();
  const std::uint8_t* leadRow = page.leadRow.data();
  const char16_t* pairToText = page.pairToText.data();
  if (HaveTableCodecAvx512()) {
    DecodeDoubleByteAvx512(page, in, n, i, limit, out, o);
  } else if (HaveTableCodecAvx2()) {
    DecodeDoubleByteAvx2(page, in, n, i, limit, out, o);
  }
  while (i < limit && i + 1 < n) {  // a byte with a next byte to look at
    const unsigned byte = in[i];
    const unsigned next = in[i + 1];
    if (page.asciiIdentity && i + 16 <= limit && StartsAsciiRun(byte, next)) {
      CopyAsciiRun(WidenAscii16, in, i, limit, out, o);  // o <= i - start: the units fit
      continue;
    }
    // A lead byte takes the next byte as its trail, whatever it is, unless that byte is zero.
    // Otherwise the byte stands alone: its own character, or the default for a lead byte, whose
    // byteToText entry is the default character.
    const unsigned row = leadRow[byte];
    const bool pair = row != 0 && next != 0;
    const std::size_t pairIndex = pair ? (std::size_t{row} - 1) * 256 + next : 0;
    const char16_t fromPair = pairToText[pairIndex];
    const char16_t alone = byteToText[byte];
    out[o++] = pair ? fromPair : alone;
    i += pair ? 2 : 1;
  }
  if (i < limit) out[o++] = byteToText[in[i++]];  // the last byte, lead or not, stands alone
}

// Counted in 16-bit sums over pieces of 32,768 units (no more than a 16-bit sum holds), which the
// compiler turns into vector adds of 8 units at a time; with AVX2, 16 at a time and fewer
// instructions for each (for a long text this pass was an eighth of the conversion's time).
std::size_t UnitsAboveAscii(std::u16string_view text) {
  constexpr std::size_t kCountPiece = 0x8000;
  std::size_t total = 0;
  std::size_t start = 0;
  if (HaveTableCodecAvx2()) total = CountUnitsAboveAsciiAvx2(text.data(), start, text.size());
  for (std::size_t at = start; at < text.size(); at += kCountPiece) {
    const std::size_t end = std::min(text.size(), at + kCountPiece);
    std::uint16_t count = 0;
    for (std::size_t k = at; k < end; ++k) {
      count = static_cast<std::uint16_t>(count + (text[k] >= 0x80 ? 1 : 0));
    }
    total += count;
  }
  return total;
}

}  // namespace

void EncodeWithTablesInPieces(const CodePageTables& page, std::u16string_view text, bool bestFit,
                              const AnsiPieceSink& sink) {
  const std::uint16_t* index = (bestFit ? page.bestFitIndex : page.roundTripIndex).data();
  const bool doubleByte = page.doubleByte();
  std::uint8_t buffer[2 * kPiece];
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t limit = std::min(text.size(), i + kPiece);
    std::size_t o = 0;
    if (doubleByte) {
      EncodeDoubleByte(page, index, text.data(), i, limit, buffer, o);
    } else {
      EncodeSingleByte(page, index, text.data(), i, limit, buffer, o);
    }
    sink(std::span<const std::uint8_t>(buffer, o));
  }
}

ByteArray EncodeWithTables(const CodePageTables& page, std::u16string_view text, bool bestFit) {
  ByteArray bytes;
  // A unit gives one byte, or two when a double-byte page maps it to a pair, which in every page
  // only units above ASCII do: one byte per unit and one more per such unit is room enough, so
  // the bytes are not moved as they grow (more room would be taken if it were not).
  bytes.reserve(page.doubleByte() ? text.size() + UnitsAboveAscii(text) : text.size());
  EncodeWithTablesInPieces(page, text, bestFit, [&bytes](std::span<const std::uint8_t> piece) {
    bytes.insert(bytes.end(), piece.begin(), piece.end());
  });
  return bytes;
}

Text DecodeWithTables(const CodePageTables& page, const ByteArray& bytes) {
  Text text;
  text.reserve(bytes.size());
  char16_t buffer[kPiece];
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t limit = std::min(bytes.size(), i + kPiece);
    std::size_t o = 0;
    if (page.doubleByte()) {
      DecodeDoubleByte(page, bytes.data(), bytes.size(), i, limit, buffer, o);
    } else {
      DecodeSingleByte(page, bytes.data(), i, limit, buffer, o);
    }
    text.append(buffer, o);
  }
  return text;
}

}  // namespace ansicrypt::platform::detail
