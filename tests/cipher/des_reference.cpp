// A bit-by-bit DES, transcribed from FIPS 46-3.
#include "tests/cipher/des_reference.h"

namespace ansicrypt::test {

Bits BytesToBits(const Block& bytes) {
  Bits bits{};
  for (std::size_t i = 0; i < 8; ++i) {
    for (std::size_t j = 0; j < 8; ++j) bits[8 * i + j] = (bytes[i] >> (7 - j)) & 1;
  }
  return bits;
}

Block BitsToBytes(const Bits& bits) {
  Block bytes{};
  for (std::size_t i = 0; i < 8; ++i) {
    unsigned value = 0;
    for (std::size_t j = 0; j < 8; ++j) value = value * 2 + bits[8 * i + j];
    bytes[i] = static_cast<std::uint8_t>(value);
  }
  return bytes;
}

std::array<Block, 16> MakeSubKeys(const Block& key) {
  const detail::StandardTables& t = Tables();
  const Bits bits = BytesToBits(key);
  std::array<std::uint8_t, 56> cd{};
  for (std::size_t i = 0; i < 56; ++i) cd[i] = bits[static_cast<std::size_t>(t.PC1[i] - 1)];
  std::array<std::uint8_t, 56> c2{}, d2{};  // each half laid twice in a row
  for (std::size_t i = 0; i < 28; ++i) {
    c2[i] = c2[i + 28] = cd[i];
    d2[i] = d2[i + 28] = cd[i + 28];
  }
  std::array<Block, 16> subKeys{};
  std::size_t h = 0;
  for (std::size_t r = 0; r < 16; ++r) {
    h += static_cast<std::size_t>(t.Shift[r]);
    std::array<std::uint8_t, 56> rotated{};
    for (std::size_t i = 0; i < 28; ++i) {
      rotated[i] = c2[(h + i) % 56];
      rotated[i + 28] = d2[(h + i) % 56];
    }
    Bits roundKey{};
    for (std::size_t j = 0; j < 48; ++j)
      roundKey[j] = rotated[static_cast<std::size_t>(t.PC2[j] - 1)];
    subKeys[r] = BitsToBytes(roundKey);
  }
  return subKeys;
}

Block SBoxPermute(const Block& block) {
  const detail::StandardTables& t = Tables();
  const Bits in = BytesToBits(block);
  Block outputs{};
  for (std::size_t i = 0; i < 8; ++i) {
    const std::uint8_t* b = &in[6 * i];
    const std::size_t row = 2U * b[0] + b[5];
    const std::size_t column = 8U * b[1] + 4U * b[2] + 2U * b[3] + b[4];
    outputs[i] = t.S[i][row][column];
  }
  Block packed{};
  for (std::size_t m = 0; m < 4; ++m) {
    packed[m] = static_cast<std::uint8_t>(16 * outputs[2 * m] + outputs[2 * m + 1]);
  }
  return BitsToBytes(Permute(BytesToBits(packed), t.P));
}

Block DesBlock(const Block& input, const std::array<Block, 16>& subKeys, bool encrypt) {
  const detail::StandardTables& t = Tables();
  const Block permuted = BitsToBytes(Permute(BytesToBits(input), t.IP));
  Block left{}, right{};
  for (std::size_t i = 0; i < 4; ++i) {
    left[i] = permuted[i];
    right[i] = permuted[i + 4];
  }
  for (std::size_t k = 0; k < 16; ++k) {
    Block expanded = BitsToBytes(Permute(BytesToBits(right), t.E));
    const Block& roundKey = subKeys[encrypt ? k : 15 - k];
    for (std::size_t i = 0; i < 6; ++i) expanded[i] ^= roundKey[i];
    const Block f = SBoxPermute(expanded);
    Block next{};
    for (std::size_t i = 0; i < 4; ++i) next[i] = f[i] ^ left[i];
    left = right;
    right = next;
  }
  Block preoutput{};
  for (std::size_t i = 0; i < 4; ++i) {
    preoutput[i] = right[i];
    preoutput[i + 4] = left[i];
  }
  return BitsToBytes(Permute(BytesToBits(preoutput), t.FP));
}

}  // namespace ansicrypt::test
