// The names of the SIMD levels, as ANSICRYPT_SIMD spells them.
#include "ansicrypt/common/simd_paths.h"

#include "ansicrypt/common/detail/simd_level.h"

namespace ansicrypt {
namespace {

std::string_view Name(detail::SimdLevel level) noexcept {
  switch (level) {
    case detail::SimdLevel::kAvx512:
      return "avx512";
    case detail::SimdLevel::kAvx2:
      return "avx2";
    case detail::SimdLevel::kScalar:
      break;
  }
  return "scalar";
}

}  // namespace

std::string_view ProcessorSimdPath() noexcept { return Name(detail::DetectedSimdLevel()); }
std::string_view ActiveSimdPath() noexcept { return Name(detail::ActiveSimdLevel()); }

}  // namespace ansicrypt
