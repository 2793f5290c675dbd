// DecodeBase64 on any bytes: only ansicrypt::Error escapes, and whatever decodes encodes back to
// the same bytes (up to the unchecked pad bits of the last character).
#include <cstdlib>

#include "ansicrypt/base64/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  const ByteArray input(data, data + size);
  ByteArray decoded;
  try {
    decoded = Base64::DecodeBase64(input);
  } catch (const Error&) {
    return 0;
  }
  if (decoded.size() !=
      input.size() / 4 * 3 - (size > 0 && input[size - 1] == '=' ? 1 : 0) -
          (size > 1 && input[size - 1] == '=' && input[size - 2] == '=' ? 1 : 0)) {
    std::abort();
  }
  if (Base64::DecodeBase64(Base64::EncodeBase64(decoded)) != decoded) std::abort();
  return 0;
}
