// UTF-16 units (wchar_t on Windows) to WTF-8 and back.
#include "cli/io/windows/wide_names.h"

#include "ansicrypt/common/detail/utf8_sequences.h"

namespace ansicrypt::cli {
namespace {

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::string Wtf8OfWide(std::wstring_view wide) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t c = static_cast<char16_t>(wide[i]);
    if (IsHighSurrogate(c) && i + 1 < wide.size() &&
        IsLowSurrogate(static_cast<char16_t>(wide[i + 1]))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(wide[++i]) - 0xDC00);
    }
    detail::AppendUtf8(out, c);
  }
  return out;
}

std::optional<std::wstring> WideOfWtf8(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    char32_t c = lead;
    std::size_t length = 1;
    if (lead >= 0x80) {
      length = detail::DecodeUtf8Sequence(bytes, i, c, true);
      if (length == 0) return std::nullopt;
    }
    i += length;
    // A high and a low surrogate written one after the other (WTF-8 never writes them so, a list
    // may) become a pair again here, as UTF-16 reads them.
    detail::AppendUtf16(out, c);
  }
  return out;
}

}  // namespace ansicrypt::cli
