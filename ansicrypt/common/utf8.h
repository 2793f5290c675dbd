// UTF-8 to and from the library's UTF-16 texts, for file names and for programs that talk UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "ansicrypt/common/types.h"

namespace ansicrypt {

// Each ill-formed byte sequence becomes one U+FFFD per byte.
Text Utf8ToText(std::string_view utf8);

// The same for well-formed UTF-8 only, into `text`: false when `utf8` holds an ill-formed sequence
// (a bad byte, an overlong form, a surrogate, a code point beyond U+10FFFF, a sequence cut short);
// `text` then holds what came before it.
//   TryUtf8ToText("caf\xC3\xA9", text) == true (text == u"caf\u00E9");
//   TryUtf8ToText("caf\xE9", text) == false
bool TryUtf8ToText(std::string_view utf8, Text& text);

// An unpaired surrogate becomes U+FFFD.
std::string TextToUtf8(std::u16string_view text);

}  // namespace ansicrypt
