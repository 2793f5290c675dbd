// DecodeBase64_StrToStr on any text in any code page: only ansicrypt::Error escapes, and a text's
// encoding decodes back to the text's ANSI form.
#include <cstdlib>

#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/text/base64_text.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  fuzz::FuzzInput input(data, size);
  platform::SetAnsiCodePage(input.CodePage());
  platform::SetAnsiBestFit(input.Flag());
  const Text text = input.RestAsText();
  try {
    DecodeBase64_StrToStr(text);
  } catch (const Error&) {
  }
  const Text ansiForm = platform::AnsiToText(platform::TextToAnsi(text));
  if (DecodeBase64_StrToStr(EncodeBase64_StrToStr(text)) != ansiForm) std::abort();
  return 0;
}
