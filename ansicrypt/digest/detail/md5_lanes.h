// MD5 of 32 independent messages at once: each SIMD lane carries the state of one message. A
// file's digest is one serial chain of blocks, but the chains of different files are independent,
// so the vector units can advance many of them in the time one takes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ansicrypt::detail {

inline constexpr std::size_t kMd5Lanes = 32;  // one bit each in `active`

// The states of the lanes, word by word: words[w][l] is word w (A, B, C, D) of lane l, so that
// each word of all lanes loads as one vector.
struct Md5LaneStates {
  alignas(64) std::uint32_t words[4][kMd5Lanes];

  std::array<std::uint32_t, 4> Get(std::size_t lane) const {
    return {words[0][lane], words[1][lane], words[2][lane], words[3][lane]};
  }
  void Set(std::size_t lane, const std::array<std::uint32_t, 4>& state) {
    for (std::size_t w = 0; w < 4; ++w) words[w][lane] = state[w];
  }
};

// Applies the block transform of `count` consecutive 64-byte blocks, read from blocks[l], to each
// lane l whose bit is set in `active`. The other lanes' pointers are not read and their states are
// left as they are. The path follows ActiveSimdLevel().
void Md5CompressLanes(Md5LaneStates& states, const std::uint8_t* const* blocks,
                      std::uint32_t active, std::size_t count);

// How many lanes Md5CompressLanes advances together at the SIMD level in use, at most kMd5Lanes:
// 32 with AVX-512 (two registers per word), 24 with AVX2 (three sets of eight), 16 otherwise (the
// one-message transform, for which the number does not matter). Callers keep that many busy.
std::size_t Md5LanesInUse();

// The fewest active lanes for which Md5CompressLanes beats the one-message transform run lane by
// lane, at the SIMD level in use: below it, callers digest the few messages one at a time.
std::size_t Md5LanesWorthwhile();

// The paths, for tests: each exists on every build and does nothing where its instruction set is
// missing from the build (call only where the processor has it).
void Md5CompressLanesAvx512(Md5LaneStates& states, const std::uint8_t* const* blocks,
                            std::uint32_t active, std::size_t count);
void Md5CompressLanesAvx2(Md5LaneStates& states, const std::uint8_t* const* blocks,
                          std::uint32_t active, std::size_t count);

}  // namespace ansicrypt::detail
