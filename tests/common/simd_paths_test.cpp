#include "ansicrypt/common/simd_paths.h"

#include <gtest/gtest.h>

#include "tests/support/simd_scope.h"

namespace ansicrypt {
namespace {

using detail::SimdLevel;

TEST(SimdPaths, OffX8664OnlyThePortablePathsExist) {
#if defined(__x86_64__)
  GTEST_SKIP() << "an x86-64 build";
#else
  EXPECT_EQ(detail::DetectedSimdLevel(), SimdLevel::kScalar);
  EXPECT_EQ(ProcessorSimdPath(), "scalar");
  const test::SimdScope uncapped(SimdLevel::kAvx512);
  EXPECT_EQ(ActiveSimdPath(), "scalar");
#endif
}

TEST(SimdPaths, TheCapNamesThePathInUse) {
  const std::string_view processor = ProcessorSimdPath();
  struct Case {
    SimdLevel cap;
    std::string_view name;
  };
  for (const Case& c : {Case{SimdLevel::kScalar, "scalar"}, Case{SimdLevel::kAvx2, "avx2"},
                        Case{SimdLevel::kAvx512, "avx512"}}) {
    const test::SimdScope scope(c.cap);
    EXPECT_EQ(ActiveSimdPath(), test::SimdScope::Available(c.cap) ? c.name : processor)
        << "capped at " << c.name;
  }
}

}  // namespace
}  // namespace ansicrypt
