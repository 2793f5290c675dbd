// The generated bitsliced S-box circuits against the parsed S-boxes, every box and every one of
// the 64 inputs at once: each bit of a 64-bit word is one input.
#include <gtest/gtest.h>

#include <cstdint>

#include "ansicrypt/cipher/detail/des_sbox_circuits.h"
#include "ansicrypt/cipher/detail/des_tables.h"

namespace ansicrypt::test {
namespace {

struct WordOps {
  using V = std::uint64_t;
  static V And(V a, V b) { return a & b; }
  static V Or(V a, V b) { return a | b; }
  static V Xor(V a, V b) { return a ^ b; }
  static V AndNot(V a, V b) { return ~a & b; }
  template <int Imm>
  static V Lut(V a, V b, V c) {
    V out = 0;
    for (int i = 0; i < 8; ++i) {
      if (((Imm >> i) & 1) == 0) continue;
      out |= ((i & 4) ? a : ~a) & ((i & 2) ? b : ~b) & ((i & 1) ? c : ~c);
    }
    return out;
  }
  static V Ones() { return ~V{0}; }
  static V Zero() { return 0; }
};

// Input bit i (0: the box's first input bit) of each of the 64 inputs, one input per word bit.
std::uint64_t Input(int i) {
  std::uint64_t word = 0;
  for (unsigned x = 0; x < 64; ++x) {
    if ((x >> (5 - i)) & 1U) word |= std::uint64_t{1} << x;
  }
  return word;
}

// Output bit o (0: the high bit of the value) of the box for each of the 64 inputs.
std::uint64_t Expected(int box, int o) {
  const auto& s = detail::kStandardTables.S[static_cast<std::size_t>(box)];
  std::uint64_t word = 0;
  for (unsigned x = 0; x < 64; ++x) {
    const unsigned row = ((x >> 4) & 2U) | (x & 1U);
    const unsigned column = (x >> 1) & 0xfU;
    if ((static_cast<unsigned>(s[row][column]) >> (3 - o)) & 1U) word |= std::uint64_t{1} << x;
  }
  return word;
}

template <class Circuit>
void Check(int box, const Circuit& circuit, const char* kind) {
  std::uint64_t y[4];
  circuit(Input(0), Input(1), Input(2), Input(3), Input(4), Input(5), y[0], y[1], y[2], y[3]);
  for (int o = 0; o < 4; ++o) EXPECT_EQ(y[o], Expected(box, o)) << kind << " S" << box + 1;
}

using V = std::uint64_t;
#define ANSICRYPT_CHECK_BOX(N)                              \
  Check(N, detail::SBoxLut##N<WordOps, V>, "lookup gates"); \
  Check(N, detail::SBoxGates##N<WordOps, V>, "two-input gates")

TEST(DesSBoxCircuits, EveryBoxEveryInputBothKinds) {
  ANSICRYPT_CHECK_BOX(0);
  ANSICRYPT_CHECK_BOX(1);
  ANSICRYPT_CHECK_BOX(2);
  ANSICRYPT_CHECK_BOX(3);
  ANSICRYPT_CHECK_BOX(4);
  ANSICRYPT_CHECK_BOX(5);
  ANSICRYPT_CHECK_BOX(6);
  ANSICRYPT_CHECK_BOX(7);
}

}  // namespace
}  // namespace ansicrypt::test
