// Base64 failures in words.
#include "cli/commands/base64_failure.h"

#include <cstdio>

#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {

std::string DescribeBase64Failure(errc error, std::uint8_t character, std::uint64_t offset,
                                  std::uint64_t length) {
  std::string text;
  if (error == errc::invalid_argument) {
    text = "length " + std::to_string(length) + " is not a multiple of 4";
  } else if (character == '=') {
    text = "'=' before the end at offset " + std::to_string(offset);
  } else {
    if (character >= 0x20 && character < 0x7F) {
      text = "invalid character " + QuoteAlways(std::string(1, static_cast<char>(character)));
    } else {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", character);
      text = std::string("invalid byte ") + byte;
    }
    text += " at offset " + std::to_string(offset);
  }
  return text + " (error " + std::to_string(static_cast<int>(error)) + ")";
}

}  // namespace ansicrypt::cli
