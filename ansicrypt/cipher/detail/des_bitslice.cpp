// Choosing the bitsliced path and laying out its round keys.
#include "ansicrypt/cipher/detail/des_bitslice.h"

#include "ansicrypt/common/detail/simd_level.h"

namespace ansicrypt::detail {
namespace {

// Appends the 16 rounds of `key` in the order of use to `masks` from `at`.
std::size_t AppendPass(std::array<std::int32_t, 3 * 16 * 48>& masks, std::size_t at,
                       const RoundKeyBytes& key, bool decrypt) {
  for (std::size_t r = 0; r < 16; ++r) {
    const auto& round = key[decrypt ? 15 - r : r];
    for (std::size_t bit = 0; bit < 48; ++bit) {
      masks[at++] = ((static_cast<unsigned>(round[bit / 8]) >> (7 - bit % 8)) & 1U) != 0 ? -1 : 0;
    }
  }
  return at;
}

}  // namespace

BitslicedKeys BitslicedKeys::Single(const RoundKeyBytes& key, bool decrypt) {
  BitslicedKeys keys{};
  AppendPass(keys.masks, 0, key, decrypt);
  keys.passes = 1;
  return keys;
}

BitslicedKeys BitslicedKeys::Triple(const RoundKeyBytes& key1, const RoundKeyBytes& key2,
                                    bool outerDecrypt, bool middleDecrypt) {
  BitslicedKeys keys{};
  std::size_t at = AppendPass(keys.masks, 0, key1, outerDecrypt);
  at = AppendPass(keys.masks, at, key2, middleDecrypt);
  AppendPass(keys.masks, at, key1, outerDecrypt);
  keys.passes = 3;
  return keys;
}

bool UseBitslicedDes(std::size_t blocks) {
  return blocks >= kBitslicedMinBlocks && ActiveSimdLevel() >= SimdLevel::kAvx2;
}

std::size_t BitslicedDes(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                         const BitslicedKeys& keys) {
  if (ActiveSimdLevel() >= SimdLevel::kAvx512) {
    BitslicedDesAvx512(in, out, blocks, keys.masks.data(), keys.passes);
  } else {
    BitslicedDesAvx2(in, out, blocks, keys.masks.data(), keys.passes);
  }
  return blocks;
}

}  // namespace ansicrypt::detail
