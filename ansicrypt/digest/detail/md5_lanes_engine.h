// The MD5 block transform over vectors of lanes, generic over a vector type: included only by the
// files compiled for an instruction set (md5_lanes_avx512.cpp, md5_lanes_avx2.cpp), each with
// Ops of its own that supply kLanes, V (a 32-bit word of each of kLanes lanes) and Add, LoadRow (a
// V of the 16 equal words at a pointer, aligned to 64), Rotl<s>, the round functions F, G, H, I
// (or, instead of G, And and AndNot), LoadState, StoreState (to the lanes in `active` only) and
// LoadWords (the 16 words of one block of each lane, one vector per word: little-endian, as MD5
// reads its words, which x86-64's loads are).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "ansicrypt/digest/detail/md5_lanes.h"

namespace ansicrypt::detail::md5lanes {

// The steps of RFC 1321 section 3.4: T[i] = floor(2^32 * |sin(i + 1)|), the rotation of each
// step, and the message word it adds.
inline constexpr std::uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

// Each constant repeated in sixteen words, a 64-byte row per step, so that a vector path adds its
// step's constant straight from memory, without an instruction to broadcast it.
struct SineRows {
  alignas(64) std::uint32_t row[64][16];
};
inline constexpr SineRows kSineRows = [] {
  SineRows rows{};
  for (std::size_t i = 0; i < 64; ++i)
    for (std::size_t l = 0; l < 16; ++l) rows.row[i][l] = kSines[i];
  return rows;
}();

constexpr int Rotation(std::size_t step) {
  constexpr int kRotations[4][4] = {
      {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
  return kRotations[step / 16][step % 4];
}

constexpr std::size_t MessageWord(std::size_t step) {
  const std::size_t i = step % 16;
  switch (step / 16) {
    case 0:
      return i;
    case 1:
      return (1 + 5 * i) % 16;
    case 2:
      return (5 + 3 * i) % 16;
    default:
      return (7 * i) % 16;
  }
}

// The truth table of a three-input function as a ternary-logic immediate: bit (4b + 2c + d) of
// the result is f(b, c, d).
template <class F>
constexpr int TruthTable(F f) {
  return static_cast<int>(f(0xF0u, 0xCCu, 0xAAu) & 0xFFu);
}
inline constexpr int kF =
    TruthTable([](unsigned b, unsigned c, unsigned d) { return (b & c) | (~b & d); });
inline constexpr int kG =
    TruthTable([](unsigned b, unsigned c, unsigned d) { return (b & d) | (c & ~d); });
inline constexpr int kH = TruthTable([](unsigned b, unsigned c, unsigned d) { return b ^ c ^ d; });
inline constexpr int kI =
    TruthTable([](unsigned b, unsigned c, unsigned d) { return c ^ (b | ~d); });

// Ops without a three-input instruction supply And and AndNot (~x & y) for G's split form.
template <class Ops>
inline constexpr bool kSplitG = requires(typename Ops::V v) {
  Ops::And(v, v);
  Ops::AndNot(v, v);
};

template <class Ops>
struct Engine {
  using V = typename Ops::V;

  // Step i of the transform: a = b + ((a + f(b, c, d) + X[k] + T[i]) <<< s), where the roles a,
  // b, c, d turn one word to the right each step. The sum that does not depend on the previous
  // step is formed first, so that each step adds only four operations to the chain.
  template <std::size_t I>
  static void Step(V (&s)[4], const V (&x)[16], const SineRows& sines) {
    constexpr std::size_t a = (64 - I) % 4, b = (a + 1) % 4, c = (a + 2) % 4, d = (a + 3) % 4;
    V early = Ops::Add(s[a], Ops::Add(x[MessageWord(I)], Ops::LoadRow(sines.row[I])));
    V f;
    if constexpr (I < 16) {
      f = Ops::F(s[b], s[c], s[d]);
    } else if constexpr (I < 32 && kSplitG<Ops>) {
      // G(b, c, d) = (b & d) + (c & ~d): the two terms share no bit, so the one without b joins
      // the early sum and the chain gains two operations instead of four.
      early = Ops::Add(early, Ops::AndNot(s[d], s[c]));
      f = Ops::And(s[b], s[d]);
    } else if constexpr (I < 32) {
      f = Ops::G(s[b], s[c], s[d]);
    } else if constexpr (I < 48) {
      f = Ops::H(s[b], s[c], s[d]);
    } else {
      f = Ops::I(s[b], s[c], s[d]);
    }
    s[a] = Ops::Add(Ops::template Rotl<Rotation(I)>(Ops::Add(early, f)), s[b]);
  }

  template <std::size_t... I>
  static void Steps(V (&s)[4], const V (&x)[16], const SineRows& sines, std::index_sequence<I...>) {
    (Step<I>(s, x, sines), ...);
  }

  // Lanes first .. first + Ops::kLanes - 1 of the states and blocks.
  static void Run(Md5LaneStates& states, const std::uint8_t* const* blocks, std::uint32_t active,
                  std::size_t count, std::size_t first) {
    // Idle lanes read a block of zeros that stays in place; their results are not stored.
    alignas(64) static constexpr std::uint8_t kIdle[64] = {};
    const std::uint32_t mine =
        static_cast<std::uint32_t>((active >> first) & ((std::uint64_t{1} << Ops::kLanes) - 1));
    const std::uint8_t* next[Ops::kLanes];
    std::size_t stride[Ops::kLanes];
    for (std::size_t l = 0; l < Ops::kLanes; ++l) {
      const bool on = ((mine >> l) & 1) != 0;
      next[l] = on ? blocks[first + l] : kIdle;
      stride[l] = on ? 64 : 0;
    }
    // The compiler is not to see the rows' contents: it would turn each constant back into an
    // immediate and a broadcast.
    const SineRows* sines = &kSineRows;
#if defined(__GNUC__)  // GCC and clang, the compilers that build the vector paths
    asm("" : "+r"(sines));
#endif
    V s[4];
    for (std::size_t w = 0; w < 4; ++w) s[w] = Ops::LoadState(states.words[w] + first);
    for (; count > 0; --count) {
      V x[16];
      Ops::LoadWords(next, x);
      for (std::size_t l = 0; l < Ops::kLanes; ++l) next[l] += stride[l];
      V t[4] = {s[0], s[1], s[2], s[3]};
      Steps(t, x, *sines, std::make_index_sequence<64>{});
      for (std::size_t w = 0; w < 4; ++w) s[w] = Ops::Add(s[w], t[w]);
    }
    for (std::size_t w = 0; w < 4; ++w) Ops::StoreState(states.words[w] + first, s[w], mine);
  }
};

}  // namespace ansicrypt::detail::md5lanes
