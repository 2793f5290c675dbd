// Hexadecimal byte text.
#include "ansicrypt/common/hex_text.h"

namespace ansicrypt {

Text HexText(const ByteArray& bytes) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  Text text(bytes.size() * 2, u'0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 0xF];
  }
  return text;
}

}  // namespace ansicrypt
