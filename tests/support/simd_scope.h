// Caps the SIMD level in use for one test and lifts the cap afterwards.
#pragma once

#include "ansicrypt/common/detail/simd_level.h"

namespace ansicrypt::test {

class SimdScope {
 public:
  explicit SimdScope(detail::SimdLevel cap) { detail::ForceSimdLevel(cap); }
  ~SimdScope() { detail::ForceSimdLevel(detail::SimdLevel::kAvx512); }
  SimdScope(const SimdScope&) = delete;
  SimdScope& operator=(const SimdScope&) = delete;

  // False when the processor lacks the level, so that the test can say it was skipped.
  static bool Available(detail::SimdLevel level) { return detail::DetectedSimdLevel() >= level; }
};

}  // namespace ansicrypt::test
