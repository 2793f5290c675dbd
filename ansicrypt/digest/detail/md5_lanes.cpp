// The lane transform: the vector path the processor allows, or the one-message transform lane by
// lane.
#include "ansicrypt/digest/detail/md5_lanes.h"

#include <bit>

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/digest/detail/md5_compress.h"

namespace ansicrypt::detail {

namespace {

// Whether the busy lanes, moved to the first ones, would take a vector path less work. A set of
// lanes costs about a step whether its lanes are busy or not. AVX-512 runs each half of sixteen
// that has a busy lane, both side by side. AVX2 runs lanes 0-23 as as few sets of eight as reach
// the last busy one, side by side, and lanes 24-31 as a set of its own after them, which costs a
// whole step where the vector instructions take two cycles.
bool Avx512PackingSaves(std::uint32_t active) {
  return std::popcount(active) <= 16 && (active & 0xFFFF) != 0 && (active >> 16) != 0;
}
bool Avx2PackingSaves(std::uint32_t active) {
  const int n = std::popcount(active);
  if (n > 24) return false;
  if ((active >> 24) != 0) return true;
  return static_cast<int>(std::bit_width(active)) > 8 * ((n + 7) / 8);
}

template <class Path>
void RunVectorPath(Md5LaneStates& states, const std::uint8_t* const* blocks, std::uint32_t active,
                   std::size_t count, bool (*packingSaves)(std::uint32_t), Path path) {
  if (!packingSaves(active)) {
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
  path(packed, packedBlocks, static_cast<std::uint32_t>((std::uint64_t{1} << k) - 1), count);
  for (std::size_t j = 0; j < k; ++j) states.Set(lanes[j], packed.Get(j));
}

}  // namespace

void Md5CompressLanes(Md5LaneStates& states, const std::uint8_t* const* blocks,
                      std::uint32_t active, std::size_t count) {
  static_assert(kMd5Lanes == 32, "one bit of `active` per lane, two halves of sixteen");
  if (active == 0) return;  // a vector path would still step through idle lanes
  switch (ActiveSimdLevel()) {
    case SimdLevel::kAvx512:
      RunVectorPath(states, blocks, active, count, Avx512PackingSaves, Md5CompressLanesAvx512);
      return;
    case SimdLevel::kAvx2:
      RunVectorPath(states, blocks, active, count, Avx2PackingSaves, Md5CompressLanesAvx2);
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
