// The lane transform: the vector path the processor allows, or the one-message transform lane by
// lane.
#include "ansicrypt/digest/detail/md5_lanes.h"

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/digest/detail/md5_compress.h"

namespace ansicrypt::detail {

void Md5CompressLanes(Md5LaneStates& states, const std::uint8_t* const* blocks,
                      std::uint32_t active, std::size_t count) {
  switch (ActiveSimdLevel()) {
    case SimdLevel::kAvx512:
      Md5CompressLanesAvx512(states, blocks, active, count);
      return;
    case SimdLevel::kAvx2:
      Md5CompressLanesAvx2(states, blocks, active, count);
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
