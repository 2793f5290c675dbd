// UTF-8 on any bytes, against a reference decoder that reads one character at a time:
//  - TryUtf8ToText accepts exactly the well-formed inputs, with Utf8ToText's text, which writes
//    back to the same bytes;
//  - ArgumentText (text arguments as the databases hand them over) also takes a surrogate written
//  as three
//    bytes (ED A0..BF, a continuation byte) as that one unit, and refuses everything else that is
//    ill-formed.
#include <cstdlib>
#include <optional>
#include <string_view>

#include "ansicrypt/common/utf8.h"
#include "bindings/common/utf8_argument.h"

namespace {

using ansicrypt::Text;

bool Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The text of `utf8`, or nothing when it is ill-formed; `surrogates`: a surrogate written in
// three bytes is a unit of its own.
std::optional<Text> Reference(std::string_view utf8, bool surrogates) {
  Text text;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    const std::size_t left = utf8.size() - i;
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(utf8[i + k]); };
    char32_t c = 0;
    std::size_t length = 0;
    if (b0 < 0x80) {
      c = b0, length = 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF && left >= 2 && Continuation(at(1))) {
      c = ((b0 & 0x1Fu) << 6) | (at(1) & 0x3Fu), length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF && left >= 3 && Continuation(at(1)) &&
               Continuation(at(2))) {
      c = ((b0 & 0x0Fu) << 12) | ((at(1) & 0x3Fu) << 6) | (at(2) & 0x3Fu), length = 3;
      if (c < 0x800) return std::nullopt;
      if (c >= 0xD800 && c <= 0xDFFF && !surrogates) return std::nullopt;
    } else if (b0 >= 0xF0 && b0 <= 0xF4 && left >= 4 && Continuation(at(1)) &&
               Continuation(at(2)) && Continuation(at(3))) {
      c = ((b0 & 0x07u) << 18) | ((at(1) & 0x3Fu) << 12) | ((at(2) & 0x3Fu) << 6) | (at(3) & 0x3Fu);
      length = 4;
      if (c < 0x10000 || c > 0x10FFFF) return std::nullopt;
    } else {
      return std::nullopt;
    }
    if (c < 0x10000) {
      text += static_cast<char16_t>(c);
    } else {
      text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    i += length;
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view utf8(reinterpret_cast<const char*>(data), size);
  Text strict = u"left over";
  const bool wellFormed = ansicrypt::TryUtf8ToText(utf8, strict);
  const std::optional<Text> reference = Reference(utf8, false);
  if (wellFormed != reference.has_value()) std::abort();
  if (wellFormed && (strict != *reference || strict != ansicrypt::Utf8ToText(utf8) ||
                     ansicrypt::TextToUtf8(strict) != utf8)) {
    std::abort();
  }
  std::optional<Text> sql;
  try {
    sql = ansicrypt::bindings::ArgumentText(utf8);
  } catch (const ansicrypt::bindings::NotUtf8&) {
  }
  if (sql != Reference(utf8, true)) std::abort();
  return 0;
}
