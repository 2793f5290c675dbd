// UTF-8 to and from the library's UTF-16 texts, for file names and for programs that talk UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "ansicrypt/common/types.h"

namespace ansicrypt {

// Each ill-formed byte sequence becomes one U+FFFD per byte.
Text Utf8ToText(std::string_view utf8);

// True when `utf8` is well-formed UTF-8 throughout: what Utf8ToText converts without a
// replacement of its own.
bool IsUtf8(std::string_view utf8);

// An unpaired surrogate becomes U+FFFD.
std::string TextToUtf8(std::u16string_view text);

}  // namespace ansicrypt
