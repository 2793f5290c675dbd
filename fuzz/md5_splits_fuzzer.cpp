// The MD5 engine over any message split at any points, against OpenSSL's MD5: any difference
// aborts.
#include <openssl/md5.h>

#include <cstdlib>

#include "ansicrypt/common/hex_text.h"
#include "ansicrypt/digest/md5.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/md5_engine_access.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  using Access = test::Md5EngineAccess;
  fuzz::FuzzInput input(data, size);
  const ByteArray splits = input.Bytes(input.Byte() % 16);
  const ByteArray message = input.Rest();
  unsigned char digest[MD5_DIGEST_LENGTH];
  MD5(message.data(), message.size(), digest);
  const Text want = HexText(ByteArray(digest, digest + MD5_DIGEST_LENGTH));
  clsMD5 md5;
  Access::Reset(md5);
  std::size_t at = 0;
  for (const std::uint8_t split : splits) {
    const std::size_t piece = std::min<std::size_t>(split, message.size() - at);
    Access::Absorb(md5, static_cast<std::int32_t>(piece),
                   ByteArray(message.begin() + static_cast<std::ptrdiff_t>(at),
                             message.begin() + static_cast<std::ptrdiff_t>(at + piece)));
    at += piece;
  }
  Access::Absorb(md5, static_cast<std::int32_t>(message.size() - at),
                 ByteArray(message.begin() + static_cast<std::ptrdiff_t>(at), message.end()));
  Access::Finish(md5);
  if (Access::Hex(md5) != want) std::abort();
  return 0;
}
