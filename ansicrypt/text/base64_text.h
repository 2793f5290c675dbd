// Base64 behind a text interface: a text's ANSI bytes (platform::SetAnsiCodePage) to Base64 text,
// and back.
#pragma once

#include "ansicrypt/common/error.h"
#include "ansicrypt/common/types.h"

namespace ansicrypt {

// The Base64 text of the text's ANSI bytes; never fails.
//   EncodeBase64_StrToStr(u"Man") == u"TWFu"
Text EncodeBase64_StrToStr(const Text& text);

// The text whose ANSI bytes the Base64 text stands for. The errors are those of
// Base64::DecodeBase64; a character outside ASCII has an ANSI byte above 122: errc::out_of_range.
//   DecodeBase64_StrToStr(u"TWE=") == u"Ma"
Text DecodeBase64_StrToStr(const Text& base64);

}  // namespace ansicrypt
