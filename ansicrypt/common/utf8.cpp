// UTF-8 to and from UTF-16.
#include "ansicrypt/common/utf8.h"

#include "ansicrypt/common/detail/utf16.h"
#include "ansicrypt/common/detail/utf8_sequences.h"

namespace ansicrypt {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

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
    if (const std::size_t length = detail::DecodeUtf8Sequence(utf8, i, c)) {
      detail::AppendUtf16(out, c);
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
      detail::AppendUtf8(
          out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
      ++i;
    } else if (detail::IsSurrogate(c)) {
      detail::AppendUtf8(out, kReplacement);
    } else {
      detail::AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace ansicrypt
