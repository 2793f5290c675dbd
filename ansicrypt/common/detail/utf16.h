// Surrogate tests on UTF-16 text, shared by the conversions.
#pragma once

#include <cstddef>
#include <string_view>

namespace ansicrypt::detail {

inline bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// True when units i and i + 1 of `text` are a high and a low surrogate: one character.
inline bool IsSurrogatePair(std::u16string_view text, std::size_t i) {
  return i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
         text[i + 1] <= 0xDFFF;
}

}  // namespace ansicrypt::detail
