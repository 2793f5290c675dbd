// The lane transform on every path against the one-message transform lane by lane: any lanes
// active, any block count, any states and data; any difference aborts.
#include <array>
#include <cstdlib>
#include <vector>

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/digest/detail/md5_compress.h"
#include "ansicrypt/digest/detail/md5_lanes.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  using detail::kMd5Lanes;
  fuzz::FuzzInput input(data, size);
  std::uint32_t active = 0;
  for (int k = 0; k < 4; ++k) active |= std::uint32_t{input.Byte()} << (8 * k);
  const std::size_t count = 1 + input.Byte() % 4;
  detail::Md5LaneStates start{};
  for (std::size_t w = 0; w < 4; ++w) {
    for (std::size_t l = 0; l < kMd5Lanes; ++l) {
      const ByteArray word = input.Bytes(4);
      for (std::size_t k = 0; k < word.size(); ++k)
        start.words[w][l] |= std::uint32_t{word[k]} << (8 * k);
    }
  }
  // Each active lane's blocks in an allocation of their own, zero-filled past the input.
  std::vector<ByteArray> blocks(kMd5Lanes);
  const std::uint8_t* pointers[kMd5Lanes] = {};
  for (std::size_t l = 0; l < kMd5Lanes; ++l) {
    if (((active >> l) & 1) == 0) continue;
    blocks[l] = input.Bytes(64 * count);
    blocks[l].resize(64 * count);
    pointers[l] = blocks[l].data();
  }
  detail::Md5LaneStates expected = start;
  for (std::size_t l = 0; l < kMd5Lanes; ++l) {
    if (pointers[l] == nullptr) continue;
    std::array<std::uint32_t, 4> state = expected.Get(l);
    detail::Md5Compress(state, pointers[l], count);
    expected.Set(l, state);
  }
  for (const detail::SimdLevel level : detail::kAllSimdLevels) {
    if (detail::DetectedSimdLevel() < level) continue;
    detail::ForceSimdLevel(level);
    detail::Md5LaneStates states = start;
    detail::Md5CompressLanes(states, pointers, active, count);
    for (std::size_t l = 0; l < kMd5Lanes; ++l) {
      if (states.Get(l) != expected.Get(l)) std::abort();
    }
  }
  return 0;
}
