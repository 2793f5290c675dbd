// The UTF-8 and UTF-16 forms of one code point, shared by the conversions (and by the tool's
// WTF-8 names on Windows, which also let surrogates through).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ansicrypt::detail {

// Appends code point `c` as one or two UTF-16 units (char16_t, or wchar_t on Windows).
template <class Units>
void AppendUtf16(Units& out, char32_t c) {
  using Unit = typename Units::value_type;
  if (c < 0x10000) {
    out += static_cast<Unit>(c);
  } else {
    out += static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The multi-byte sequence at utf8[i] (lead byte 0x80 or above): its length with its code point in
// `c`, or 0 when it is ill-formed (a bad lead or continuation byte, an overlong form, beyond
// U+10FFFF, cut short by the end, or a surrogate unless `surrogates` lets them through, as WTF-8
// does).
inline std::size_t DecodeUtf8Sequence(std::string_view utf8, std::size_t i, char32_t& c,
                                      bool surrogates = false) {
  const auto lead = static_cast<unsigned char>(utf8[i]);
  // Sequence length and the smallest code point it may carry (shorter forms are ill-formed).
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  }
  bool valid = length != 0 && i + length <= utf8.size();
  for (std::size_t k = 1; valid && k < length; ++k) {
    const auto next = static_cast<unsigned char>(utf8[i + k]);
    valid = (next & 0xC0) == 0x80;
    c = (c << 6) | (next & 0x3F);
  }
  valid = valid && c >= minimum && c <= 0x10FFFF && (surrogates || c < 0xD800 || c > 0xDFFF);
  return valid ? length : 0;
}

}  // namespace ansicrypt::detail
