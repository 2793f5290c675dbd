// The double-byte conversion loops with AVX2, for processors that have it (chosen at run time).
// Each handles whole blocks and leaves the rest to the portable loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ansicrypt/platform/detail/code_page_tables.h"

namespace ansicrypt::platform::detail {

// True when these loops were compiled in and the AVX2 level is in use.
bool HaveTableCodecAvx2();

// Converts 32 units per step while i + 32 <= limit, from in[i] into out[o], and advances both;
// converts nothing when fewer than 512 units are left (the portable loop is then faster). `index`
// is the page's round-trip or best-fit index. Writes at most 2 bytes per unit converted.
void EncodeDoubleByteAvx2(const CodePageTables& page, const std::uint16_t* index,
                          const char16_t* in, std::size_t& i, std::size_t limit, std::uint8_t* out,
                          std::size_t& o);

// Converts 64 bytes per step while i + 64 <= limit and a byte follows the block (i + 65 <= n),
// from in[i] (a character start) into out[o], and advances both; i ends at a character start,
// possibly limit + 1. Writes at most one unit per byte converted.
void DecodeDoubleByteAvx2(const CodePageTables& page, const std::uint8_t* in, std::size_t n,
                          std::size_t& i, std::size_t limit, char16_t* out, std::size_t& o);

// Counts the units at or above 0x80 in whole blocks of 16 from text[at] while at + 16 <= n, and
// advances at past them.
std::size_t CountUnitsAboveAsciiAvx2(const char16_t* text, std::size_t& at, std::size_t n);

}  // namespace ansicrypt::platform::detail
