// The double-byte conversion loops with AVX-512 (F, BW, VL, VBMI2), for processors that have it
// (chosen at run time). Each handles whole blocks and leaves the rest to the portable loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ansicrypt/platform/detail/code_page_tables.h"

namespace ansicrypt::platform::detail {

// True when these loops were compiled in, the AVX-512 level is in use and the processor's gathers
// are fast.
bool HaveTableCodecAvx512();

// Converts 32 units per step while i + 32 <= limit, from in[i] into out[o], and advances both.
// `index` is the page's round-trip or best-fit index. Writes at most 2 bytes per unit converted.
void EncodeDoubleByteAvx512(const CodePageTables& page, const std::uint16_t* index,
                            const char16_t* in, std::size_t& i, std::size_t limit,
                            std::uint8_t* out, std::size_t& o);

// Converts 64 bytes per step while i + 64 <= limit and a byte follows the block (i + 65 <= n),
// from in[i] (a character start) into out[o], and advances both; i ends at a character start,
// possibly limit + 1. Writes at most one unit per byte converted.
void DecodeDoubleByteAvx512(const CodePageTables& page, const std::uint8_t* in, std::size_t n,
                            std::size_t& i, std::size_t limit, char16_t* out, std::size_t& o);

}  // namespace ansicrypt::platform::detail
