// AnsiToText and TextToAnsi in every code page, best fit off and on, against Windows' published
// tables as the tests' own reader sees them:
//  - both conversions equal the reader's slow reference, on the portable, AVX2 and AVX-512 paths
//    (with gathers and without);
//  - the bytes of a text in pieces are its bytes whole, and its MD5 digest theirs;
//  - single-byte pages give one unit per byte and every byte string comes back from its text;
//  - without best fit, text -> bytes -> text -> bytes gives the same bytes twice; with it, a second
//    round without best fit is stable;
//  - UTF-8 decoding gives well-formed text that round-trips.
#include <openssl/md5.h>

#include <cstdlib>
#include <map>
#include <span>

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/common/hex_text.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/code_page.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/bestfit_file.h"

namespace {

using namespace ansicrypt;

const test::BestFitFile& FileOf(unsigned codePage) {
  static std::map<unsigned, test::BestFitFile> files;
  auto [it, added] = files.try_emplace(codePage);
  if (added) it->second = test::ReadBestFitFile(codePage);
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
  const auto samePaths = [&] {
    return platform::AnsiToText(bytes) == text && platform::TextToAnsi(units) == encoded;
  };
  const detail::SimdLevel cap = detail::SimdLevelCap();
  for (const detail::SimdLevel level : {detail::SimdLevel::kScalar, detail::SimdLevel::kAvx2}) {
    detail::ForceSimdLevel(level);
    const bool same = samePaths();
    detail::ForceSimdLevel(cap);
    if (!same) std::abort();
  }
  for (const int gathers : {0, 1}) {  // the AVX-512 loops, with gathers and without
    detail::ForceGathers(gathers);
    const bool same = samePaths();
    detail::ForceGathers(-1);
    if (!same) std::abort();
  }
  ByteArray joined;  // the bytes in pieces are the bytes whole
  platform::TextToAnsiInPieces(units, [&joined](std::span<const std::uint8_t> piece) {
    if (piece.empty()) std::abort();
    joined.insert(joined.end(), piece.begin(), piece.end());
  });
  if (joined != encoded) std::abort();
  // A text's digest is the digest of its bytes (digested as they are converted).
  if (encoded.size() <= clsMD5::kMaxTextBytes) {
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5(encoded.data(), encoded.size(), digest);
    if (clsMD5().Md5_String_Calc(units) != HexText(ByteArray(digest, digest + MD5_DIGEST_LENGTH))) {
      std::abort();
    }
  }

  if (codePage == 65001) {
    if (platform::AnsiToText(platform::TextToAnsi(text)) != text) std::abort();
    if (encoded.size() > units.size() * 3) std::abort();
    return 0;
  }
  const test::BestFitFile& file = FileOf(codePage);
  if (text != file.Decode(bytes) || encoded != file.Encode(units, bestFit)) std::abort();
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
