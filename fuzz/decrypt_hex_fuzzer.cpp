// DecryptDes_HexToStr with any text and key: only ansicrypt::Error escapes; and a text encrypted
// under the key decrypts back to its ANSI form up to the first zero byte.
#include <algorithm>
#include <cstdlib>

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
  ByteArray ansi = platform::TextToAnsi(text);
  if (ansi.empty() || ansi.size() > 16376) return 0;  // beyond what a round trip takes
  ansi.erase(std::find(ansi.begin(), ansi.end(), 0), ansi.end());
  if (DecryptDes_HexToStr(EncryptDes_StrToHex(text, key), key) != platform::AnsiToText(ansi)) {
    std::abort();
  }
  return 0;
}
