// The lane transform: the vector path the processor allows, or the one-message transform lane by
// lane.
#include "ansicrypt/digest/detail/md5_lanes.h"

#include <bit>

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/digest/detail/md5_compress.h"

namespace ansicrypt::detail {

namespace {

// The sets of lanes a vector path runs for these busy lanes: with AVX-512 each half of sixteen that
// has one; with AVX2 lanes 0-23 in as few sets of eight as reach the last busy one, and lanes
// 24-31 as a set of their own.
int Avx512SetsRun(std::uint32_t active) {
  return static_cast<int>((active & 0xFFFF) != 0) + static_cast<int>((active >> 16) != 0);
}
int Avx2SetsRun(std::uint32_t active) {
  const int low = (static_cast<int>(std::bit_width(active & 0xFFFFFF)) + 7) / 8;
  return low + static_cast<int>((active >> 24) != 0);
}

// Busy lanes that the path would spread over more sets than they fill are moved to the first
// lanes of a copy (a set costs about as much as a step whether its lanes are busy or not), and
// their results moved back.
template <class Path>
void RunVectorPath(Md5LaneStates& states, const std::uint8_t* const* blocks, std::uint32_t active,
                   std::size_t count, int (*setsRun)(std::uint32_t), Path path) {
  const int n = std::popcount(active);
  const auto firstN = static_cast<std::uint32_t>((std::uint64_t{1} << n) - 1);
  if (setsRun(active) <= setsRun(firstN)) {
    path(states, blocks, active, count);
    return;
  }
  Md5LaneStates packed{};
  const std::uint8_t* packedBlocks[kMd5Lanes] = {};
  std::size_t lanes[kMd5Lanes];
  std::size_t k = 0;
  for (std::size_t l = 0; l < kMd5Lanes; ++l) {
    if (((active >> l) & 1) == 0) continue;
    lanes[k] = l;
    packed.Set(k, states.Get(l));
    packedBlocks[k] = blocks[l];
    ++k;
  }
  path(packed, packedBlocks, firstN, count);
  for (std::size_t j = 0; j < k; ++j) states.Set(lanes[j], packed.Get(j));
}

}  // namespace

void Md5CompressLanes(Md5LaneStates& states, const std::uint8_t* const* blocks,
                      std::uint32_t active, std::size_t count) {
  static_assert(kMd5Lanes == 32, "one bit of `active` per lane, two halves of sixteen");
  switch (ActiveSimdLevel()) {
    case SimdLevel::kAvx512:
      RunVectorPath(states, blocks, active, count, Avx512SetsRun, Md5CompressLanesAvx512);
      return;
    case SimdLevel::kAvx2:
      RunVectorPath(states, blocks, active, count, Avx2SetsRun, Md5CompressLanesAvx2);
      return;
    case SimdLevel::kScalar:
      break;
  }
  for (std::size_t l = 0; l < kMd5Lanes; ++l) {
    if (((active >> l) & 1) == 0) continue;
    std::array<std::uint32_t, 4> state = states.Get(l);
    Md5Compress(state, blocks[l], count);
    states.Set(l, state);
  }
}

std::size_t Md5LanesInUse() {
  switch (ActiveSimdLevel()) {
    case SimdLevel::kAvx512:
      return 32;
    case SimdLevel::kAvx2:
      return 24;
    case SimdLevel::kScalar:
      break;
  }
  return 16;  // one message at a time: any number serves
}

std::size_t Md5LanesWorthwhile() {
  // A step of one set of lanes costs about as much as one and a half blocks of one message with
  // AVX-512 (sixteen lanes) and nearly three with AVX2 (eight lanes; md5_lanes against md5_engine
  // in the benchmarks); the busy lanes are packed into as few sets as they fill.
  switch (ActiveSimdLevel()) {
    case SimdLevel::kAvx512:
      return 2;
    case SimdLevel::kAvx2:
      return 3;
    case SimdLevel::kScalar:
      break;
  }
  return kMd5Lanes + 1;  // never
}

}  // namespace ansicrypt::detail
