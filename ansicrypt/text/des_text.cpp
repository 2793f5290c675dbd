// The hexadecimal-text cipher operations.
#include "ansicrypt/text/des_text.h"

#include <algorithm>
#include <array>

#include "ansicrypt/cipher/des.h"
#include "ansicrypt/common/hex_text.h"
#include "ansicrypt/platform/code_page.h"

namespace ansicrypt {
namespace {

constexpr std::uint8_t kEncrypt = 1;
constexpr std::uint8_t kDecrypt = 2;

// Single DES under key 1, in place in `data`.
void RunDes(ByteArray& data, DES& keyed, std::uint8_t direction) {
  std::uint8_t keyNumber = 1;
  keyed.EncryptDes_ArrToArr(data, data, keyNumber, direction);
}

// An object keyed with the key's ANSI bytes: key 1 is their first 8 bytes (zero-filled); key 2
// takes no part, so only key 1 is scheduled.
DES Keyed(const ByteArray& key) {
  DES des;
  des.SetKey1(key);
  return des;
}

// The ANSI bytes of a key text that can take effect: those of the first 8 characters at most, and
// of a ninth that may complete a surrogate pair begun by the eighth.
ByteArray KeyBytes(const Text& key) {
  return platform::TextToAnsi(std::u16string_view(key).substr(0, 9));
}

// The value of a hexadecimal digit, either case; -1 for any other character.
constexpr std::array<std::int8_t, 128> kDigitValues = [] {
  std::array<std::int8_t, 128> values{};
  values.fill(-1);
  for (int d = 0; d < 10; ++d)
    values[static_cast<std::size_t>('0' + d)] = static_cast<std::int8_t>(d);
  for (int d = 0; d < 6; ++d) {
    values[static_cast<std::size_t>('A' + d)] = static_cast<std::int8_t>(10 + d);
    values[static_cast<std::size_t>('a' + d)] = static_cast<std::int8_t>(10 + d);
  }
  return values;
}();

int HexDigitValue(char16_t c) {
  const int value = c < 128 ? kDigitValues[c] : -1;
  if (value < 0) throw Error(errc::type_mismatch);
  return value;
}

// The legacy reader walks the text in steps of 2 with a signed 16-bit position counter, which
// overflows on the step past position 32,766.
constexpr std::size_t kMaxPosition = 32767;

}  // namespace

Text EncryptDes_ArrToHex(const ByteArray& plain, DES& keyed) {
  ByteArray data = plain;
  RunDes(data, keyed, kEncrypt);
  return HexText(data);
}

Text EncryptDes_ArrToHex(const ByteArray& plain, const ByteArray& key) {
  DES des = Keyed(key);
  return EncryptDes_ArrToHex(plain, des);
}

Text EncryptDes_StrToHex(const Text& plain, const Text& key) {
  return EncryptDes_ArrToHex(platform::TextToAnsi(plain), KeyBytes(key));
}

ByteArray DecryptDes_HexToArr(const Text& hex, const ByteArray& key) {
  DES des = Keyed(key);
  return DecryptDes_HexToArr(hex, des);
}

ByteArray DecryptDes_HexToArr(const Text& hex, DES& keyed) {
  const std::size_t length = hex.size();
  // Half the length, a half rounded to even: 16 -> 8, 15 -> 8, 17 -> 8, 5 -> 2, 7 -> 4.
  const std::size_t half = length / 2;
  const std::size_t count = (length % 2 == 1 && half % 2 == 1) ? half + 1 : half;
  // The legacy code decrypted count + 1 bytes, zero-filled to whole blocks, and read the text from
  // every block but the last: those are the count / 8 whole blocks of the first count bytes, so
  // only they are decrypted (none below 8 bytes).
  ByteArray cipher(count / 8 * 8);
  for (std::size_t i = 0; i < length; i += 2) {
    int value = HexDigitValue(hex[i]);
    if (i + 1 < length) value = value * 16 + HexDigitValue(hex[i + 1]);
    if (i / 2 < cipher.size()) cipher[i / 2] = static_cast<std::uint8_t>(value);
    if (i + 2 > kMaxPosition) throw Error(errc::overflow);
  }
  if (cipher.empty()) return cipher;
  RunDes(cipher, keyed, kDecrypt);
  ByteArray& plain = cipher;
  // The text ends at the first zero byte, where encryption's zero fill begins. Every byte before
  // it is kept, so that multi-byte characters come back whole.
  plain.erase(std::find(plain.begin(), plain.end(), std::uint8_t{0}), plain.end());
  return plain;
}

Text DecryptDes_HexToStr(const Text& hex, const Text& key) {
  return platform::AnsiToText(DecryptDes_HexToArr(hex, KeyBytes(key)));
}

}  // namespace ansicrypt
