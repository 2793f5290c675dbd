// DecryptDes_HexToStr with any text and key: only ansicrypt::Error escapes; a text encrypted
// under the key decrypts back to its ANSI form up to the first zero byte; and the text's code
// units read as hexadecimal digits decrypt as the legacy reading does (half the digit count
// rounded to even plus one byte, zero-filled to whole blocks, all decrypted, the text taken from
// every block but the last).
#include <algorithm>
#include <cstdlib>

#include "ansicrypt/cipher/des.h"
#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/text/des_text.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  fuzz::FuzzInput input(data, size);
  platform::SetAnsiCodePage(input.CodePage());
  platform::SetAnsiBestFit(input.Flag());
  const ByteArray keyBytes = input.Bytes(input.Byte() % 24);
  const Text key(keyBytes.begin(), keyBytes.end());
  const Text text = input.RestAsText();
  try {
    DecryptDes_HexToStr(text, key);
  } catch (const Error&) {
  }
  Text digits = text.substr(0, 32766);
  for (auto& c : digits) c = u"0123456789ABCDEFabcdef"[c % 22];
  const std::size_t half = digits.size() / 2;
  const std::size_t count = (digits.size() % 2 == 1 && half % 2 == 1) ? half + 1 : half;
  ByteArray legacy(count + 1, 0);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const char16_t c = digits[i];
    const int value = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
    // A lone last digit is the value of its byte.
    const bool high = i % 2 == 0 && i + 1 < digits.size();
    legacy[i / 2] = static_cast<std::uint8_t>(legacy[i / 2] | (high ? value << 4 : value));
  }
  DES des;
  des.SetKey1(keyBytes);
  std::uint8_t keyNumber = 1;
  des.EncryptDes_ArrToArr(legacy, legacy, keyNumber, 2);
  legacy.erase(std::find(legacy.begin(), legacy.end() - 8, 0), legacy.end());
  if (DecryptDes_HexToArr(digits, keyBytes) != legacy) std::abort();

  ByteArray ansi = platform::TextToAnsi(text);
  if (ansi.empty() || ansi.size() > 16376) return 0;  // beyond what a round trip takes
  ansi.erase(std::find(ansi.begin(), ansi.end(), 0), ansi.end());
  if (DecryptDes_HexToStr(EncryptDes_StrToHex(text, key), key) != platform::AnsiToText(ansi)) {
    std::abort();
  }
  return 0;
}
