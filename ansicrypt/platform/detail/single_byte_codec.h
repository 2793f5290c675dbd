// Conversion for single-byte code pages through 256-entry tables built once per code page.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "ansicrypt/common/types.h"

namespace ansicrypt::platform::detail {

class SingleByteCodec {
 public:
  // Builds both tables from iconv's mapping of each byte; errc::invalid_argument when iconv does
  // not know `iconvName`.
  explicit SingleByteCodec(const char* iconvName);

  ByteArray Encode(std::u16string_view text) const;
  Text Decode(const ByteArray& bytes) const;

 private:
  std::array<char16_t, 256> toText_{};
  std::vector<std::uint8_t> toByte_;  // one entry per UTF-16 code unit; '?' where unmapped
  bool keepsAscii_ = false;           // bytes 0..127 are the characters U+0000..U+007F
};

}  // namespace ansicrypt::platform::detail
