// DecodeBase64 on any bytes, on every path: the paths agree on the result or on the error, only
// ansicrypt::Error escapes, FindDecodeFailure names the same error, and whatever decodes encodes
// back to the same bytes (up to the unchecked pad bits of the last character).
#include <cstdlib>
#include <optional>

#include "ansicrypt/base64/base64.h"
#include "ansicrypt/common/detail/simd_level.h"

namespace {

struct Outcome {
  ansicrypt::ByteArray decoded;
  std::optional<int> error;
  bool operator==(const Outcome&) const = default;
};

Outcome Decode(const ansicrypt::ByteArray& input, ansicrypt::detail::SimdLevel level) {
  ansicrypt::detail::ForceSimdLevel(level);
  Outcome outcome;
  try {
    outcome.decoded = ansicrypt::Base64::DecodeBase64(input);
  } catch (const ansicrypt::Error& e) {
    outcome.error = e.code().value();
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  const ByteArray input(data, data + size);
  const Outcome outcome = Decode(input, detail::SimdLevel::kScalar);
  for (const detail::SimdLevel level : {detail::SimdLevel::kAvx2, detail::SimdLevel::kAvx512}) {
    if (Decode(input, level) != outcome) std::abort();
  }
  const std::optional<Base64::DecodeFailure> failure = Base64::FindDecodeFailure(input);
  if (failure.has_value() != outcome.error.has_value()) std::abort();
  if (failure && static_cast<int>(failure->error) != *outcome.error) std::abort();
  if (outcome.error) return 0;
  const ByteArray& decoded = outcome.decoded;
  if (decoded.size() !=
      input.size() / 4 * 3 - (size > 0 && input[size - 1] == '=' ? 1 : 0) -
          (size > 1 && input[size - 1] == '=' && input[size - 2] == '=' ? 1 : 0)) {
    std::abort();
  }
  if (Base64::DecodeBase64(Base64::EncodeBase64(decoded)) != decoded) std::abort();
  return 0;
}
