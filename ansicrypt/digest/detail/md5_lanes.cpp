// The lane transform: the vector path the processor allows, or the one-message transform lane by
// lane.
#include "ansicrypt/digest/detail/md5_lanes.h"

#include <bit>

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/digest/detail/md5_compress.h"

namespace ansicrypt::detail {

namespace {

// Busy lanes in both halves that would fit in one are moved to the first lanes of a copy, so that
// a vector path runs one set of sixteen lanes instead of two (twice the work where the vector
// instructions take one cycle); their results are moved back.
template <class Path>
void PackedIntoOneHalf(Md5LaneStates& states, const std::uint8_t* const* blocks,
                       std::uint32_t active, std::size_t count, Path path) {
  Md5LaneStates packed{};
  const std::uint8_t* packedBlocks[kMd5Lanes] = {};
  std::size_t lanes[kMd5Lanes / 2];
  std::size_t n = 0;
  for (std::size_t l = 0; l < kMd5Lanes; ++l) {
    if (((active >> l) & 1) == 0) continue;
    lanes[n] = l;
    packed.Set(n, states.Get(l));
    packedBlocks[n] = blocks[l];
    ++n;
  }
  path(packed, packedBlocks, static_cast<std::uint32_t>((std::uint64_t{1} << n) - 1), count);
  for (std::size_t k = 0; k < n; ++k) states.Set(lanes[k], packed.Get(k));
}

template <class Path>
void RunVectorPath(Md5LaneStates& states, const std::uint8_t* const* blocks, std::uint32_t active,
                   std::size_t count, Path path) {
  constexpr std::uint32_t kLowHalf = 0xFFFF;
  const bool bothHalves = (active & kLowHalf) != 0 && (active & ~kLowHalf) != 0;
  if (bothHalves && std::popcount(active) <= 16) {
    PackedIntoOneHalf(states, blocks, active, count, path);
  } else {
    path(states, blocks, active, count);
  }
}

}  // namespace

void Md5CompressLanes(Md5LaneStates& states, const std::uint8_t* const* blocks,
                      std::uint32_t active, std::size_t count) {
  static_assert(kMd5Lanes == 32, "one bit of `active` per lane, two halves of sixteen");
  switch (ActiveSimdLevel()) {
    case SimdLevel::kAvx512:
      RunVectorPath(states, blocks, active, count, Md5CompressLanesAvx512);
      return;
    case SimdLevel::kAvx2:
      RunVectorPath(states, blocks, active, count, Md5CompressLanesAvx2);
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

std::size_t Md5LanesInUse() { return ActiveSimdLevel() == SimdLevel::kAvx512 ? 32 : 16; }

std::size_t Md5LanesWorthwhile() {
  // A step of sixteen lanes costs about as much as one and a half blocks of one message with
  // AVX-512 and two and a half with AVX2 (md5_lanes against md5_engine in the benchmarks); with
  // AVX-512 a step of lanes in both halves costs little more where the vector instructions take
  // two cycles, and about twice as much where they take one.
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
