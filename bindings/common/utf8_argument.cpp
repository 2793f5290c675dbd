// UTF-8 with lone surrogates, through the library's strict decoder for the runs between them.
#include "bindings/common/utf8_argument.h"

#include <cstring>

#include "ansicrypt/common/utf8.h"

namespace ansicrypt::bindings {
namespace {

// A surrogate written as UTF-8 would write a character: ED, then A0..BF, then a continuation byte.
bool IsEncodedSurrogate(std::string_view utf8, std::size_t i) {
  if (i + 2 >= utf8.size()) return false;
  const auto second = static_cast<unsigned char>(utf8[i + 1]);
  const auto third = static_cast<unsigned char>(utf8[i + 2]);
  return second >= 0xA0 && second <= 0xBF && (third & 0xC0) == 0x80;
}

}  // namespace

Text ArgumentText(std::string_view utf8) {
  Text text;
  Text run;
  std::size_t start = 0;
  std::size_t at = 0;
  while (true) {
    const void* found = std::memchr(utf8.data() + at, 0xED, utf8.size() - at);
    const std::size_t i =
        found == nullptr ? utf8.size()
                         : static_cast<std::size_t>(static_cast<const char*>(found) - utf8.data());
    if (i < utf8.size() && !IsEncodedSurrogate(utf8, i)) {
      at = i + 1;  // an ED that begins an ordinary character, or an ill-formed one
      continue;
    }
    // A run up to the end goes straight into the text when it is all there is (the common case).
    Text& into = start == 0 && i == utf8.size() ? text : run;
    if (!TryUtf8ToText(utf8.substr(start, i - start), into)) throw NotUtf8();
    if (&into == &run) text += run;
    if (i == utf8.size()) return text;
    text += static_cast<char16_t>(0xD000 | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F));
    start = at = i + 3;
  }
}

}  // namespace ansicrypt::bindings
