// AnsiToText and TextToAnsi in any code page: no error at all, and in single-byte code pages
// every byte string comes back from its text.
#include <cstdlib>

#include "ansicrypt/platform/code_page.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  fuzz::FuzzInput input(data, size);
  const unsigned codePage = input.CodePage();
  platform::SetAnsiCodePage(codePage);
  const ByteArray bytes(data, data + size);  // the same data read both ways
  const Text text = platform::AnsiToText(bytes);
  const ByteArray again = platform::TextToAnsi(text);
  const bool singleByte = codePage != 936 && codePage != 932 && codePage != 65001 &&
                          codePage != 949 && codePage != 950;
  if (singleByte && again != bytes) std::abort();
  if (singleByte && text.size() != bytes.size()) std::abort();
  const Text units = input.RestAsText();
  const ByteArray encoded = platform::TextToAnsi(units);
  // Each UTF-16 unit gives at most 3 bytes (UTF-8), 2 in a double-byte code page.
  if (encoded.size() > units.size() * 3) std::abort();
  platform::AnsiToText(encoded);
  return 0;
}
