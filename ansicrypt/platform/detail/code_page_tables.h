// The conversion tables of one Windows ANSI code page, generated at build time from Windows'
// published description of it (data/codepages/bestfitNNN.txt) by tools/codepage_tables.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ansicrypt::platform::detail {

struct CodePageTables {
  unsigned number;
  // CPINFO field 2: the byte written for a UTF-16 unit the code page does not map ("?").
  std::uint8_t defaultByte;
  // CPINFO field 3: the character read from a byte or byte pair the code page does not define.
  char16_t defaultChar;
  // Bytes 0x00..0x7F are U+0000..U+007F in both directions, so ASCII runs may be copied in bulk.
  bool asciiIdentity;

  // The DBCSRANGE lead-byte ranges (first, last), ascending; a page with one range repeats it, and
  // a single-byte page has {1, 0} (empty) twice.
  std::array<std::array<std::uint8_t, 2>, 2> leadRanges;

  // Bytes to text. byteToText[b]: the character of a byte that is not a lead byte (MBTABLE), or
  // defaultChar, always defaultChar for a lead byte. leadRow[b]: 0 when b is not a lead byte, else
  // 1 + the row of b in pairToText, a row of 256 characters indexed by the trail byte (DBCSTABLE,
  // defaultChar where it has none); rows follow the lead bytes in ascending order. Single-byte code
  // pages have no lead bytes and no rows.
  std::span<const char16_t, 256> byteToText;
  std::span<const std::uint8_t, 256> leadRow;
  std::span<const char16_t> pairToText;
  // byteToText and pairToText are one array: the character of a byte b is textByIndex[b], that of
  // a pair textByIndex[256 * leadRow[lead] + trail].
  std::span<const char16_t> textByIndex;

  // Text to bytes, one UTF-16 unit at a time: block index[u >> 8] of textToBytes (256 entries each)
  // holds at (u & 0xFF) the unit's bytes, lead << 8 | trail for two bytes, or one byte below 0x100.
  // roundTripIndex maps only the units whose bytes read back as the same unit; bestFitIndex every
  // WCTABLE mapping. Units with no mapping hold defaultByte.
  std::span<const std::uint16_t, 256> roundTripIndex;
  std::span<const std::uint16_t, 256> bestFitIndex;
  std::span<const std::uint16_t> textToBytes;
  // Every array behind these spans has one entry more than the span shows, so that a 32-bit
  // gather may read any 16-bit entry.

  bool doubleByte() const { return !pairToText.empty(); }
};

// Every generated code page, in ascending order of number.
std::span<const CodePageTables* const> GeneratedCodePages();

}  // namespace ansicrypt::platform::detail
