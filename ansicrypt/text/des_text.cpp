// The hexadecimal-text cipher operations.
#include "ansicrypt/text/des_text.h"

#include <algorithm>

#include "ansicrypt/cipher/des.h"
#include "ansicrypt/common/hex_text.h"
#include "ansicrypt/platform/code_page.h"

namespace ansicrypt {
namespace {

constexpr std::uint8_t kEncrypt = 1;
constexpr std::uint8_t kDecrypt = 2;

// Single DES under key 1 on a fresh object keyed with the key text's ANSI bytes.
ByteArray RunDes(const ByteArray& input, const Text& key, std::uint8_t direction) {
  DES des;
  des.SetKey(platform::TextToAnsi(key));
  ByteArray output;
  std::uint8_t keyNumber = 1;
  des.EncryptDes_ArrToArr(input, output, keyNumber, direction);
  return output;
}

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  throw Error(errc::type_mismatch);
}

// The legacy reader walks the text in steps of 2 with a signed 16-bit position counter, which
// overflows on the step past position 32,766.
constexpr std::size_t kMaxPosition = 32767;

}  // namespace

Text EncryptDes_StrToHex(const Text& plain, const Text& key) {
  return HexText(RunDes(platform::TextToAnsi(plain), key, kEncrypt));
}

Text DecryptDes_HexToStr(const Text& hex, const Text& key) {
  const std::size_t length = hex.size();
  // Half the length, a half rounded to even: 16 -> 8, 15 -> 8, 17 -> 8, 5 -> 2, 7 -> 4.
  const std::size_t half = length / 2;
  const std::size_t count = (length % 2 == 1 && half % 2 == 1) ? half + 1 : half;
  ByteArray cipher(count + 1, 0);  // one more byte than the digits fill, as the legacy code made
  for (std::size_t i = 0; i < length; i += 2) {
    int value = HexDigitValue(hex[i]);
    if (i + 1 < length) value = value * 16 + HexDigitValue(hex[i + 1]);
    cipher[i / 2] = static_cast<std::uint8_t>(value);
    if (i + 2 > kMaxPosition) throw Error(errc::overflow);
  }
  const ByteArray plain = RunDes(cipher, key, kDecrypt);
  // Only the blocks before the last are read: the last holds the extra byte and its zero fill.
  const auto scanned = plain.end() - 8;
  // The text ends at the first zero byte, where encryption's zero fill begins. Every byte before
  // it is kept and converted as a whole, so that multi-byte characters come back.
  const auto end = std::find(plain.begin(), scanned, std::uint8_t{0});
  return platform::AnsiToText(ByteArray(plain.begin(), end));
}

}  // namespace ansicrypt
