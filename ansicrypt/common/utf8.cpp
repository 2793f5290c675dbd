// UTF-8 to and from UTF-16.
#include "ansicrypt/common/utf8.h"

#include "ansicrypt/common/detail/utf16.h"

namespace ansicrypt {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf16(Text& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
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
// `c`, or 0 when it is ill-formed (a bad lead or continuation byte, an overlong form, a surrogate,
// beyond U+10FFFF, or cut short by the end).
std::size_t DecodeSequence(std::string_view utf8, std::size_t i, char32_t& c) {
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
  valid = valid && c >= minimum && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
  return valid ? length : 0;
}

// Appends the text of `utf8` to `out`: each ill-formed byte as U+FFFD, or, when `strict`, stops
// there and returns false.
bool ConvertUtf8(std::string_view utf8, Text& out, bool strict) {
  out.reserve(out.size() + utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    // A run of ASCII goes in at once: hexadecimal and Base64 texts are nothing else.
    std::size_t end = i;
    while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80) ++end;
    if (end > i) {
      const std::size_t at = out.size();
      out.resize(at + (end - i));
      for (std::size_t k = i; k < end; ++k) {
        out[at + (k - i)] = static_cast<char16_t>(static_cast<unsigned char>(utf8[k]));
      }
      i = end;
      continue;
    }
    char32_t c = 0;
    if (const std::size_t length = DecodeSequence(utf8, i, c)) {
      AppendUtf16(out, c);
      i += length;
    } else {
      if (strict) return false;
      out += kReplacement;
      ++i;
    }
  }
  return true;
}

}  // namespace

Text Utf8ToText(std::string_view utf8) {
  Text out;
  ConvertUtf8(utf8, out, false);
  return out;
}

bool TryUtf8ToText(std::string_view utf8, Text& text) {
  text.clear();
  return ConvertUtf8(utf8, text, true);
}

std::string TextToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A run of ASCII goes out at once.
    std::size_t end = i;
    while (end < text.size() && text[end] < 0x80) ++end;
    if (end > i) {
      const std::size_t at = out.size();
      out.resize(at + (end - i));
      for (std::size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<char>(text[k]);
      i = end - 1;
      continue;
    }
    const char16_t c = text[i];
    if (detail::IsSurrogatePair(text, i)) {
      AppendUtf8(out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
      ++i;
    } else if (detail::IsSurrogate(c)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace ansicrypt
