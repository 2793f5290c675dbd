// Derivation of the word-oriented DES tables from the standard's tables.
#include "ansicrypt/cipher/detail/des_rounds.h"

namespace ansicrypt::detail {

SpBoxes DeriveSpBoxes(const std::array<std::array<std::array<std::uint8_t, 16>, 4>, 8>& s,
                      const std::array<std::uint8_t, 32>& p) {
  // outputMask[i]: where P sends input bit i+1, as a word with bit 1 most significant.
  std::array<std::uint32_t, 32> outputMask{};
  for (std::size_t j = 0; j < p.size(); ++j) {
    outputMask[p[j] - 1U] |= 0x80000000U >> j;
  }
  SpBoxes boxes{};
  for (std::size_t box = 0; box < 8; ++box) {
    // P of each 4-bit output value of this box, rotated as the rounds hold their words.
    std::array<std::uint32_t, 16> permuted{};
    for (unsigned value = 0; value < 16; ++value) {
      std::uint32_t word = 0;
      for (unsigned bit = 0; bit < 4; ++bit) {
        // Bit 3 of the value is the box's first output bit, input bit 4*box+1 of P.
        if ((value >> (3 - bit)) & 1U) word |= outputMask[4 * box + bit];
      }
      permuted[value] = std::rotl(word, 1);
    }
    for (unsigned input = 0; input < 64; ++input) {
      const unsigned row = ((input >> 4) & 2U) | (input & 1U);
      const unsigned column = (input >> 1) & 0xfU;
      boxes[box][input] = permuted[s[box][row][column]];
    }
  }
  return boxes;
}

void SplitRoundKey(std::uint64_t roundKey, std::uint32_t& oddBoxes, std::uint32_t& evenBoxes) {
  auto six = [roundKey](int box) {
    return static_cast<std::uint32_t>(roundKey >> (42 - 6 * box)) & 0x3fU;
  };
  oddBoxes = (six(0) << 24) | (six(2) << 16) | (six(4) << 8) | six(6);
  evenBoxes = (six(1) << 24) | (six(3) << 16) | (six(5) << 8) | six(7);
}

}  // namespace ansicrypt::detail
