// The tool's Windows names, on any input (the code is portable; only Windows runs it):
//  - UTF-16 units to WTF-8 and back give the same units, lone surrogates included;
//  - well-formed UTF-8 reads as the library reads it, and back as the same bytes; what WTF-8
//    reads at all goes back to the same bytes;
//  - names quoted as UTF-8 whatever the locale read as glibc's C.UTF-8 locale reads them.
#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "ansicrypt/common/utf8.h"
#include "cli/io/process.h"
#include "cli/io/windows/wide_names.h"
#include "cli/md5sum/shell_quote.h"

namespace {

bool namesAreUtf8 = false;

}  // namespace

// The fuzzer's own choice in place of the system's.
bool ansicrypt::cli::NamesAreAlwaysUtf8() { return namesAreUtf8; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  std::wstring units;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    units += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  if (cli::WideOfWtf8(cli::Wtf8OfWide(units)) != units) std::abort();

  Text text;
  const std::optional<std::wstring> read = cli::WideOfWtf8(bytes);
  if (TryUtf8ToText(bytes, text)) {
    if (!read) std::abort();  // well-formed UTF-8 is well-formed WTF-8
    const std::wstring& wide = *read;
    if (wide.size() != text.size()) std::abort();
    for (std::size_t i = 0; i < wide.size(); ++i) {
      if (static_cast<char16_t>(wide[i]) != text[i]) std::abort();
    }
    if (cli::Wtf8OfWide(wide) != bytes) std::abort();
  }
  if (read && cli::Wtf8OfWide(*read) != bytes) {
    // Only a surrogate pair written as two three-byte sequences comes back shorter, as one
    // four-byte character.
    if (bytes.find('\xED') == std::string::npos) std::abort();
  }

  std::string name;
  for (const char c : bytes) {
    if (c != '\0') name += c;
  }
  std::setlocale(LC_CTYPE, "C.UTF-8");
  namesAreUtf8 = false;
  const std::string byLocale = cli::QuoteName(name);
  namesAreUtf8 = true;
  const std::string byUtf8 = cli::QuoteName(name);
  if (byLocale != byUtf8) std::abort();
  return 0;
}
