// Every conversion path (the portable loops and the AVX-512 loops) gives the same result as the
// portable one on long random inputs: lead bytes in runs of every length, zero bytes after lead
// bytes, ASCII runs, and pieces that cross the converter's internal block and piece boundaries.
#include <gtest/gtest.h>

#include <random>

#include "ansicrypt/platform/code_page.h"
#include "tests/support/bestfit_file.h"
#include "tests/support/code_page_scope.h"
#include "tests/support/simd_scope.h"

namespace ansicrypt::test {
namespace {

using detail::SimdLevel;

// Bytes drawn from a few classes so that runs of lead bytes, zero trails and ASCII runs occur.
ByteArray RandomBytes(std::mt19937& rng, std::size_t n) {
  ByteArray bytes(n);
  const auto mode = rng() % 4;
  for (auto& b : bytes) {
    const auto r = rng() % 16;
    if (mode == 0 || r < 4) {
      b = static_cast<std::uint8_t>(rng());  // anything
    } else if (r < 10) {
      b = static_cast<std::uint8_t>(0x81 + rng() % 0x7E);  // lead bytes of every page
    } else if (r < 11) {
      b = 0;
    } else {
      b = static_cast<std::uint8_t>(0x20 + rng() % 0x5F);  // ASCII
    }
  }
  return bytes;
}

Text RandomUnits(std::mt19937& rng, std::size_t n) {
  Text text(n, u' ');
  const auto mode = rng() % 3;
  for (auto& u : text) {
    const auto r = rng() % 8;
    if (mode == 0 || r < 2) {
      u = static_cast<char16_t>(rng());
    } else if (r < 6) {
      u = static_cast<char16_t>(0x4E00 + rng() % 0x5200);  // CJK ideographs
    } else {
      u = static_cast<char16_t>(0x20 + rng() % 0x5F);
    }
  }
  return text;
}

class ConversionPaths : public testing::TestWithParam<unsigned> {};

TEST_P(ConversionPaths, AgreeWithThePortableLoops) {
  if (!SimdScope::Available(SimdLevel::kAvx512)) GTEST_SKIP() << "no AVX-512 on this processor";
  std::mt19937 rng(GetParam());
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = round < 200 ? rng() % 300 : 4000 + rng() % 9000;
    const ByteArray bytes = RandomBytes(rng, n);
    const Text units = RandomUnits(rng, n);
    const bool bestFit = (round & 1) != 0;
    const CodePageScope page(GetParam(), bestFit);
    Text decoded;
    ByteArray encoded;
    {
      const SimdScope scalar(SimdLevel::kScalar);
      decoded = platform::AnsiToText(bytes);
      encoded = platform::TextToAnsi(units);
    }
    ASSERT_EQ(platform::AnsiToText(bytes), decoded) << "round " << round << " length " << n;
    ASSERT_EQ(platform::TextToAnsi(units), encoded) << "round " << round << " length " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, ConversionPaths, testing::ValuesIn(BestFitCodePages()),
                         [](const testing::TestParamInfo<unsigned>& page) {
                           return "cp" + std::to_string(page.param);
                         });

}  // namespace
}  // namespace ansicrypt::test
