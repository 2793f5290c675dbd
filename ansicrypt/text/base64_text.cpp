// The Base64 text operations.
#include "ansicrypt/text/base64_text.h"

#include "ansicrypt/base64/base64.h"
#include "ansicrypt/platform/code_page.h"

namespace ansicrypt {

Text EncodeBase64_StrToStr(const Text& text) {
  return platform::AnsiToText(Base64::EncodeBase64(platform::TextToAnsi(text)));
}

Text DecodeBase64_StrToStr(const Text& base64) {
  return platform::AnsiToText(Base64::DecodeBase64(platform::TextToAnsi(base64)));
}

}  // namespace ansicrypt
