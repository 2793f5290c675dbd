// Long inputs through every conversion path (the portable loops, and the AVX2 loops and the
// AVX-512 loops with and without gathers where the processor has them) against the slow reference
// built from the published tables: lead bytes in runs of every length, zero bytes after lead bytes,
// ASCII runs, and characters that straddle the converters' 64-byte blocks and 4096-byte pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/platform/detail/code_page_tables.h"
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

// A path: the SIMD level, and at the AVX-512 level whether table lookups use gathers (as on Intel
// processors) or the AVX2 loops' plain loads (as elsewhere), whatever this processor would choose.
struct Path {
  SimdLevel level;
  bool gathers;
  const char* name;
};

constexpr Path kPaths[] = {{SimdLevel::kScalar, false, "scalar"},
                           {SimdLevel::kAvx2, false, "avx2"},
                           {SimdLevel::kAvx512, false, "avx512_loads"},
                           {SimdLevel::kAvx512, true, "avx512_gathers"}};

class ConversionPaths : public testing::TestWithParam<std::tuple<unsigned, Path>> {
 protected:
  void SetUp() override {
    if (!SimdScope::Available(level())) GTEST_SKIP() << "this processor lacks the path";
    detail::ForceGathers(std::get<1>(GetParam()).gathers ? 1 : 0);
    file_ = ReadBestFitFile(page());
  }
  void TearDown() override { detail::ForceGathers(-1); }
  unsigned page() const { return std::get<0>(GetParam()); }
  SimdLevel level() const { return std::get<1>(GetParam()).level; }

  BestFitFile file_;
};

TEST_P(ConversionPaths, RandomInputsMatchTheReference) {
  const SimdScope path(level());
  std::mt19937 rng(page());
  for (int round = 0; round < 120; ++round) {
    const std::size_t n = round < 80 ? rng() % 300 : 4000 + rng() % 9000;
    const ByteArray bytes = RandomBytes(rng, n);
    const Text units = RandomUnits(rng, n);
    const bool bestFit = (round & 1) != 0;
    const CodePageScope scope(page(), bestFit);
    ASSERT_EQ(platform::AnsiToText(bytes), file_.Decode(bytes)) << "round " << round;
    ASSERT_EQ(platform::TextToAnsi(units), file_.Encode(units, bestFit)) << "round " << round;
  }
}

// A character at every position around the ends of the 64-byte blocks and the 4096-byte pieces:
// a pair (or a lone lead byte before a zero) after an ASCII run, and an ASCII run after it.
TEST_P(ConversionPaths, CharactersAroundBlockAndPieceEnds) {
  const SimdScope path(level());
  const CodePageScope scope(page());
  // A pair with a trail above ASCII, and one whose trail is an ASCII byte, so that the block
  // after it looks all ASCII.
  const ByteArray pairs[] = {
      file_.doubleByte ? BestFitFile::Bytes(file_.wide.at(u'\u4E00')) : ByteArray{0xE9},
      file_.doubleByte ? ByteArray{*file_.leads.begin(), 0x40} : ByteArray{0x40}};
  for (const std::size_t end : {64U, 128U, 4096U, 8192U}) {
    for (std::size_t at = end - 3; at <= end + 1; ++at) {
      for (const ByteArray& pair : pairs) {
        for (const std::uint8_t after : {std::uint8_t{'a'}, std::uint8_t{0}, std::uint8_t{0x80}}) {
          ByteArray bytes(at, 'a');
          bytes.insert(bytes.end(), pair.begin(), pair.end());
          bytes.insert(bytes.end(), 200, after);
          ASSERT_EQ(platform::AnsiToText(bytes), file_.Decode(bytes)) << at << " " << +after;
          bytes.resize(at + 1);  // a lead byte (or a byte) last, then nothing
          ASSERT_EQ(platform::AnsiToText(bytes), file_.Decode(bytes)) << at;
        }
      }
      Text text(at, u'a');
      text += u'\u4E00';
      text += Text(5000, u'b');
      ASSERT_EQ(platform::TextToAnsi(text), file_.Encode(text, false)) << at;
    }
  }
}

// Every unit of the page in one text (best fit off and on), and every byte and every lead byte
// with every next byte in one byte string, once in a row and once with ASCII bytes between some
// pairs, so that each lead byte meets every position of the vector loops' blocks.
TEST_P(ConversionPaths, EveryUnitAndEveryPairInOneCall) {
  const SimdScope path(level());
  for (const bool bestFit : {false, true}) {
    const CodePageScope scope(page(), bestFit);
    Text units(0x10000, u' ');
    for (std::size_t u = 0; u < units.size(); ++u) units[u] = static_cast<char16_t>(u * 7 + 3);
    ASSERT_EQ(platform::TextToAnsi(units), file_.Encode(units, bestFit)) << bestFit;
  }
  const CodePageScope scope(page());
  ByteArray bytes;
  for (unsigned b = 0; b < 256; ++b) bytes.push_back(static_cast<std::uint8_t>(b));
  for (const std::uint8_t lead : file_.leads) {
    for (unsigned t = 0; t < 256; ++t) {
      bytes.push_back(lead);
      bytes.push_back(static_cast<std::uint8_t>(t));
    }
  }
  ASSERT_EQ(platform::AnsiToText(bytes), file_.Decode(bytes));
  bytes.clear();
  for (const std::uint8_t lead : file_.leads) {
    for (unsigned t = 0; t < 256; ++t) {
      if (t % 3 == 0) bytes.push_back('a');
      bytes.push_back(lead);
      bytes.push_back(static_cast<std::uint8_t>(t));
    }
  }
  ASSERT_EQ(platform::AnsiToText(bytes), file_.Decode(bytes));
}

// A double-byte page's bytes are reserved once: one per unit and one more per unit above ASCII,
// so that a long result is not moved as it grows.
TEST_P(ConversionPaths, LongResultsAreReservedOnce) {
  const SimdScope path(level());
  const CodePageScope scope(page());
  std::mt19937 rng(page());
  const Text units = RandomUnits(rng, 70000);
  const ByteArray bytes = platform::TextToAnsi(units);
  const auto aboveAscii = static_cast<std::size_t>(
      std::count_if(units.begin(), units.end(), [](char16_t unit) { return unit >= 0x80; }));
  EXPECT_LE(bytes.capacity(), units.size() + (file_.doubleByte ? aboveAscii : 0));
}

// The units above ASCII are counted in 16-bit sums: a text with more of them than a sum holds in
// one lane (16 lanes of 0xFFFF) is still reserved for exactly. Every page has this ideograph, as a
// pair or as its default byte.
TEST_P(ConversionPaths, ReservesPastSixteenBitSums) {
  const SimdScope path(level());
  const CodePageScope scope(page());
  const Text units(16 * 0x10000 + 40, u'\u4E00');
  const std::size_t expected = file_.doubleByte ? 2 * units.size() : units.size();
  const ByteArray bytes = platform::TextToAnsi(units);
  EXPECT_EQ(bytes.size(), expected);
  EXPECT_LE(bytes.capacity(), expected);
}

std::string Name(const testing::TestParamInfo<std::tuple<unsigned, Path>>& info) {
  return "cp" + std::to_string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

// Every path for the double-byte pages; the single-byte pages have one loop whatever the level.
std::vector<std::tuple<unsigned, Path>> PagesAndPaths() {
  std::vector<std::tuple<unsigned, Path>> cases;
  const auto pages = platform::detail::GeneratedCodePages();
  for (const unsigned number : BestFitCodePages()) {
    const auto page = std::find_if(pages.begin(), pages.end(), [number](const auto* tables) {
      return tables->number == number;
    });
    const bool doubleByte = page != pages.end() && (*page)->doubleByte();
    for (const Path& path : kPaths) {
      if (doubleByte || path.level == SimdLevel::kScalar) cases.emplace_back(number, path);
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Pages, ConversionPaths, testing::ValuesIn(PagesAndPaths()), Name);

}  // namespace
}  // namespace ansicrypt::test
