// AnsiToText and TextToAnsi in every code page, best fit off and on, against Windows' published
// tables as the tests' own reader sees them:
//  - decoding never throws; every unit it gives is one the tables define or the default character;
//  - single-byte pages give one unit per byte and every byte string comes back from its text;
//  - without best fit, text -> bytes -> text -> bytes gives the same bytes twice; with it, a second
//    round without best fit is stable;
//  - UTF-8 decoding gives well-formed text that round-trips;
//  - the portable loops and the SIMD loops give the same results.
#include <cstdlib>
#include <map>
#include <set>

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/platform/code_page.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/bestfit_file.h"

namespace {

using namespace ansicrypt;

// The units each page's tables can give, its default character included.
const std::set<char16_t>& UnitsOf(unsigned codePage) {
  static std::map<unsigned, std::set<char16_t>> units;
  auto [it, added] = units.try_emplace(codePage);
  if (added) {
    const test::BestFitFile file = test::ReadBestFitFile(codePage);
    it->second.insert(file.defaultChar);
    for (const auto& [byte, unit] : file.single) it->second.insert(unit);
    for (const auto& [pair, unit] : file.pairs) it->second.insert(unit);
  }
  return it->second;
}

ByteArray Strict(const Text& text) {
  platform::SetAnsiBestFit(false);
  return platform::TextToAnsi(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const unsigned codePage = input.CodePage();
  const bool bestFit = input.Flag();
  platform::SetAnsiCodePage(codePage);
  platform::SetAnsiBestFit(bestFit);
  const ByteArray bytes(data, data + size);  // the same data read both ways
  const Text text = platform::AnsiToText(bytes);
  const Text units = input.RestAsText();
  const ByteArray encoded = platform::TextToAnsi(units);
  detail::ForceSimdLevel(detail::SimdLevel::kScalar);
  const bool samePaths =
      platform::AnsiToText(bytes) == text && platform::TextToAnsi(units) == encoded;
  detail::ForceSimdLevel(detail::SimdLevel::kAvx512);
  if (!samePaths) std::abort();

  if (codePage == 65001) {
    if (platform::AnsiToText(platform::TextToAnsi(text)) != text) std::abort();
    if (encoded.size() > units.size() * 3) std::abort();
    return 0;
  }
  const std::set<char16_t>& known = UnitsOf(codePage);
  for (const char16_t unit : text) {
    if (!known.contains(unit)) std::abort();
  }
  if (text.size() > bytes.size()) std::abort();
  const bool singleByte = codePage != 932 && codePage != 936 && codePage != 949 && codePage != 950;
  if (singleByte && (text.size() != bytes.size() || Strict(text) != bytes)) std::abort();

  if (encoded.size() > units.size() * (singleByte ? 1 : 2)) std::abort();
  const Text decoded = platform::AnsiToText(encoded);
  if (decoded.size() != units.size()) std::abort();  // one character per unit, always
  const ByteArray again = Strict(decoded);
  if (!bestFit && again != encoded) std::abort();
  if (Strict(platform::AnsiToText(again)) != again) std::abort();
  return 0;
}
