// Call settings and key bytes of the bindings.
#include "bindings/common/call_settings.h"

#include "ansicrypt/common/error.h"

namespace ansicrypt::bindings {

unsigned CheckedCodePage(std::int64_t number) {
  if (number < 0 || number > 0xFFFF) throw Error(errc::invalid_argument);
  const auto page = static_cast<unsigned>(number);
  const platform::ScopedAnsiCodePage known(page);  // raises for a page the library lacks
  return page;
}

std::string_view KeyPrefix(std::string_view utf8) {
  // Nine characters take at most 36 bytes of UTF-8; the cut falls before a continuation byte.
  std::size_t end = std::min<std::size_t>(utf8.size(), 36);
  while (end < utf8.size() && end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
    --end;
  }
  return utf8.substr(0, end);
}

ByteArray KeyAnsiBytes(const Text& key) {
  return platform::TextToAnsi(std::u16string_view(key).substr(0, 9));
}

}  // namespace ansicrypt::bindings
