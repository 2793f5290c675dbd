// Sets the SIMD level in use for one test and restores the cap in force before it afterwards.
#pragma once

#include <ostream>

#include "ansicrypt/common/detail/simd_level.h"

namespace ansicrypt::detail {
inline void PrintTo(SimdLevel level, std::ostream* os) {
  *os << (level == SimdLevel::kScalar ? "scalar" : level == SimdLevel::kAvx2 ? "avx2" : "avx512");
}
}  // namespace ansicrypt::detail

namespace ansicrypt::test {

class SimdScope {
 public:
  // Sets the cap itself, above one that ANSICRYPT_SIMD set too: a test of a path runs that path.
  explicit SimdScope(detail::SimdLevel cap) : saved_(detail::SimdLevelCap()) {
    detail::ForceSimdLevel(cap);
  }
  ~SimdScope() { detail::ForceSimdLevel(saved_); }
  SimdScope(const SimdScope&) = delete;
  SimdScope& operator=(const SimdScope&) = delete;

  // False when the processor lacks the level, so that the test can say it was skipped.
  static bool Available(detail::SimdLevel level) { return detail::DetectedSimdLevel() >= level; }

 private:
  detail::SimdLevel saved_;
};

}  // namespace ansicrypt::test
