// The bitsliced DES rounds, generic over a vector type: included only by the files compiled for
// an instruction set (des_bitslice_avx512.cpp, des_bitslice_avx2.cpp), each with an Ops of its own
// that supplies V and And, Or, Xor, AndNot (~a & b), Ones, Zero, Load, Store, Broadcast (a 32-bit
// word in every lane), Splat64 (a 64-bit word in every lane), ShiftLeft64/ShiftRight64 (per 64-bit
// lane) and, with kHasLut, Lut<imm>(a, b, c).
//
// A batch holds 64 * (sizeof(V) / 8) blocks. Loaded as little-endian 64-bit words, vector k holds
// blocks k * lanes .. k * lanes + lanes - 1; a 64 x 64 bit transpose within every 64-bit lane then
// leaves in vector c bit c of every block (bit c of a word is bit 8 * (c / 8) + 7 - c % 8 + 1 of
// the standard's numbering). IP, E, P and IP-1 are only ever choices of vectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ansicrypt/cipher/detail/des_sbox_circuits.h"
#include "ansicrypt/cipher/detail/des_tables.h"

namespace ansicrypt::detail::bitsliced {

// Vector indices of the standard's permutations, as plain arrays.
struct Indices {
  int ip[64];   // the vector of the block bit that IP takes as output bit i + 1
  int e[48];    // E: the right-half bit (0..31) that expansion output i + 1 copies
  int toP[32];  // P inverted: the permutation output (0..31) that S-box output i feeds
};

constexpr int VectorOfBit(int position) {  // position 1..64 in the standard's numbering
  return 8 * ((position - 1) / 8) + 7 - (position - 1) % 8;
}

constexpr Indices MakeIndices() {
  Indices x{};
  for (int i = 0; i < 64; ++i)
    x.ip[i] = VectorOfBit(kStandardTables.IP[static_cast<std::size_t>(i)]);
  for (int i = 0; i < 48; ++i) x.e[i] = kStandardTables.E[static_cast<std::size_t>(i)] - 1;
  for (int i = 0; i < 32; ++i) x.toP[kStandardTables.P[static_cast<std::size_t>(i)] - 1] = i;
  return x;
}

inline constexpr Indices kIndices = MakeIndices();

// IP inverted: at[v] is the output (0..63) of IP that block bit vector v becomes.
struct IpOutput {
  int at[64];
};

constexpr IpOutput MakeIpOutput() {
  IpOutput x{};
  for (int i = 0; i < 64; ++i) x.at[kIndices.ip[i]] = i;
  return x;
}

inline constexpr IpOutput kIpOutput = MakeIpOutput();

constexpr bool IpIsAPermutation() {
  bool seen[64] = {};
  for (const int vector : kIndices.ip) {
    if (vector < 0 || vector >= 64 || seen[vector]) return false;
    seen[vector] = true;
  }
  return true;
}
static_assert(IpIsAPermutation(), "kIpOutput inverts IP");

template <class Ops>
struct Engine {
  using V = typename Ops::V;
  static constexpr std::size_t kLanes = sizeof(V) / 8;
  static constexpr std::size_t kBatch = 64 * kLanes;

  // One stage of the transpose on eight vectors g[0..7] (for Width 32, 16, 8 they are v[i],
  // v[i + 8], ..., v[i + 56]; for 4, 2, 1 they are v[8i .. 8i + 7]): exchanges the bits selected
  // by `mask` << Width of g[k] with those selected by `mask` of g[k + Step], for every k with bit
  // Step clear (Step is Width / 8 or Width).
  template <int Width, int Step>
  static void TransposeStage(V (&g)[8], std::uint64_t mask) {
    const V m = Ops::Splat64(mask);
    for (int k = 0; k < 8; ++k) {
      if ((k & Step) != 0) continue;
      const V t = Ops::And(Ops::Xor(Ops::template ShiftRight64<Width>(g[k]), g[k + Step]), m);
      g[k + Step] = Ops::Xor(g[k + Step], t);
      g[k] = Ops::Xor(g[k], Ops::template ShiftLeft64<Width>(t));
    }
  }

  // Transposes the 64 x 64 bit matrix in every 64-bit lane of the vectors load(0..63) into
  // store(0..63, vector); its own inverse. The stages of widths 32, 16 and 8 exchange bits only
  // between vectors of equal index modulo 8, those of widths 4, 2 and 1 only within a run of eight:
  // each group of eight passes through its three stages in registers, and the vectors go through
  // memory once in between instead of after every stage.
  template <class Load, class Store>
  static void Transpose(Load load, Store store) {
    V middle[64];
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
      V g[8];
      for (int k = 0; k < 8; ++k) g[k] = load(i + 8 * k);
      TransposeStage<32, 4>(g, 0x00000000ffffffffULL);
      TransposeStage<16, 2>(g, 0x0000ffff0000ffffULL);
      TransposeStage<8, 1>(g, 0x00ff00ff00ff00ffULL);
      for (int k = 0; k < 8; ++k) middle[i + 8 * k] = g[k];
    }
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
      V g[8];
      for (int k = 0; k < 8; ++k) g[k] = middle[8 * i + k];
      TransposeStage<4, 4>(g, 0x0f0f0f0f0f0f0f0fULL);
      TransposeStage<2, 2>(g, 0x3333333333333333ULL);
      TransposeStage<1, 1>(g, 0x5555555555555555ULL);
      for (int k = 0; k < 8; ++k) store(8 * i + k, g[k]);
    }
  }

  template <int Box>
  static void SBox(V x0, V x1, V x2, V x3, V x4, V x5, V* y) {
    if constexpr (Ops::kHasLut) {
      SBoxLut<Box>(x0, x1, x2, x3, x4, x5, y[0], y[1], y[2], y[3]);
    } else {
      SBoxGates<Box>(x0, x1, x2, x3, x4, x5, y[0], y[1], y[2], y[3]);
    }
  }

  template <int Box>
  static void SBoxLut(V x0, V x1, V x2, V x3, V x4, V x5, V& y0, V& y1, V& y2, V& y3) {
    if constexpr (Box == 0) SBoxLut0<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 1) SBoxLut1<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 2) SBoxLut2<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 3) SBoxLut3<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 4) SBoxLut4<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 5) SBoxLut5<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 6) SBoxLut6<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 7) SBoxLut7<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
  }

  template <int Box>
  static void SBoxGates(V x0, V x1, V x2, V x3, V x4, V x5, V& y0, V& y1, V& y2, V& y3) {
    if constexpr (Box == 0) SBoxGates0<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 1) SBoxGates1<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 2) SBoxGates2<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 3) SBoxGates3<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 4) SBoxGates4<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 5) SBoxGates5<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 6) SBoxGates6<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
    if constexpr (Box == 7) SBoxGates7<Ops>(x0, x1, x2, x3, x4, x5, y0, y1, y2, y3);
  }

  // S-box `Box` of one round: its six inputs from E of the right half and the key; each of its
  // four outputs goes through P straight into the left half.
  template <int Box>
  static void RoundBox(V* left, const V* right, const std::int32_t* key) {
    constexpr int b = 6 * Box;
    V y[4];
    SBox<Box>(Ops::Xor(right[kIndices.e[b + 0]], Ops::Broadcast(key[b + 0])),
              Ops::Xor(right[kIndices.e[b + 1]], Ops::Broadcast(key[b + 1])),
              Ops::Xor(right[kIndices.e[b + 2]], Ops::Broadcast(key[b + 2])),
              Ops::Xor(right[kIndices.e[b + 3]], Ops::Broadcast(key[b + 3])),
              Ops::Xor(right[kIndices.e[b + 4]], Ops::Broadcast(key[b + 4])),
              Ops::Xor(right[kIndices.e[b + 5]], Ops::Broadcast(key[b + 5])), y);
    for (int o = 0; o < 4; ++o) {
      V& target = left[kIndices.toP[4 * Box + o]];
      target = Ops::Xor(target, y[o]);
    }
  }

  // left ^= f(right, key): the eight S-boxes, P and the exclusive or.
  static void Round(V* left, const V* right, const std::int32_t* key) {
    RoundBox<0>(left, right, key);
    RoundBox<1>(left, right, key);
    RoundBox<2>(left, right, key);
    RoundBox<3>(left, right, key);
    RoundBox<4>(left, right, key);
    RoundBox<5>(left, right, key);
    RoundBox<6>(left, right, key);
    RoundBox<7>(left, right, key);
  }

  // One batch of kBatch blocks of 8 bytes from `in` to `out`, which may be the same: every block
  // is read before any is written.
  static void Batch(const std::uint8_t* in, std::uint8_t* out, const std::int32_t* masks,
                    int passes) {
    // The transpose reads the blocks and writes each bit's vector where IP puts it: output bit
    // i + 1 of IP in a[i] (i < 32) or b[i - 32].
    V a[32];
    V b[32];
    Transpose([in](int k) { return Ops::Load(in + 8 * kLanes * static_cast<std::size_t>(k)); },
              [&a, &b](int k, V bit) {
                const int at = kIpOutput.at[k];
                (at < 32 ? a[at] : b[at - 32]) = bit;
              });
    // Each round updates one half in place, so the halves alternate; after a pass (l, r) hold
    // (L16, R16). The next pass starts from R16 L16: between the passes of triple DES, IP-1 and IP
    // cancel, leaving the exchange of the halves.
    V* l = a;
    V* r = b;
    const std::int32_t* key = masks;
    for (int pass = 0; pass < passes; ++pass) {
      for (int round = 0; round < 16; round += 2) {
        Round(l, r, key);
        Round(r, l, key + 48);
        key += 96;
      }
      V* const exchanged = l;
      l = r;
      r = exchanged;
    }
    // IP-1 takes R16 L16, now (l, r): it puts every bit back where IP found it.
    Transpose(
        [l, r](int k) {
          const int at = kIpOutput.at[k];
          return at < 32 ? l[at] : r[at - 32];
        },
        [out](int k, V word) { Ops::Store(out + 8 * kLanes * static_cast<std::size_t>(k), word); });
  }

  static void Run(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                  const std::int32_t* masks, int passes) {
    std::size_t done = 0;
    for (; blocks - done >= kBatch; done += kBatch)
      Batch(in + 8 * done, out + 8 * done, masks, passes);
    if (done == blocks) return;
    // The last blocks, fewer than a batch, with zero blocks after them.
    alignas(64) std::uint8_t batch[8 * kBatch] = {};
    std::memcpy(batch, in + 8 * done, 8 * (blocks - done));
    Batch(batch, batch, masks, passes);
    std::memcpy(out + 8 * done, batch, 8 * (blocks - done));
  }
};

}  // namespace ansicrypt::detail::bitsliced
