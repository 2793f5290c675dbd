// Where the characters of a 64-byte block of a double-byte code page start, from two bit masks,
// for the vector loops that classify a block at once.
#pragma once

#include <cstdint>

namespace ansicrypt::platform::detail {

struct BlockStarts {
  std::uint64_t pairs;       // bytes that start a pair
  std::uint64_t characters;  // bytes that start a character (a pair or a single byte)
};

// `pairLeads`: the bytes that would start a pair if they started a character (a lead byte followed
// by a non-zero byte). `carry`: 1 when the block's first byte is the trail of the previous block's
// last pair; set for the next block.
inline BlockStarts FindBlockStarts(std::uint64_t pairLeads, std::uint64_t& carry) {
  constexpr std::uint64_t kEven = 0x5555555555555555ULL;  // bit positions 0, 2, 4, ...
  constexpr std::uint64_t kOdd = ~kEven;
  // A lead byte that starts a character takes the next byte unless that byte is zero. In a run of
  // such bytes the first starts a pair, the second is its trail, and so on: pairs start at even
  // distances from the run's start. Runs starting at odd positions are found by letting the carry
  // of adding their start bit ripple through the even-starting runs.
  const std::uint64_t leads = pairLeads & ~carry;
  const std::uint64_t runStarts = leads & ~(leads << 1);
  const std::uint64_t oddRuns = (leads + (runStarts & kEven)) & leads;
  const std::uint64_t pairs = ((leads & ~oddRuns) & kEven) | (oddRuns & kOdd);
  const std::uint64_t characters = ~((pairs << 1) | carry);
  carry = pairs >> 63;
  return {pairs, characters};
}

}  // namespace ansicrypt::platform::detail
