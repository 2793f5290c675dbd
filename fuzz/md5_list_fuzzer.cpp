// The tool's md5sum list lines and quoted names, on any bytes:
//  - a digest line md5 writes (plain or --tag) is read back as the same digest and name;
//  - reading an arbitrary line never fails, and an entry it gives has 32 hexadecimal digits;
//  - a quoted name, read back as a shell reads it, is the name, in the C and the C.UTF-8 locale.
#include <clocale>
#include <cstdlib>
#include <string>

#include "cli/md5sum/md5_list.h"
#include "cli/md5sum/shell_quote.h"
#include "fuzz/fuzz_input.h"

namespace {

// What a POSIX shell (with $'...') makes of the words QuoteName writes.
std::string Unquote(const std::string& quoted) {
  std::string out;
  std::size_t i = 0;
  while (i < quoted.size()) {
    const char c = quoted[i];
    if (c == '\'') {
      const std::size_t end = quoted.find('\'', i + 1);
      if (end == std::string::npos) std::abort();
      out += quoted.substr(i + 1, end - i - 1);
      i = end + 1;
    } else if (c == '"') {
      const std::size_t end = quoted.find('"', i + 1);
      if (end == std::string::npos) std::abort();
      out += quoted.substr(i + 1, end - i - 1);
      i = end + 1;
    } else if (c == '\\') {
      out += quoted.at(i + 1);
      i += 2;
    } else if (c == '$' && i + 1 < quoted.size() && quoted[i + 1] == '\'') {
      i += 2;
      while (quoted.at(i) != '\'') {
        if (quoted[i] != '\\') std::abort();  // only escapes stand inside $'...' here
        const char e = quoted.at(i + 1);
        static constexpr std::string_view kLetters = "abfnrtv";
        static constexpr std::string_view kCodes = "\a\b\f\n\r\t\v";
        if (const auto k = kLetters.find(e); k != std::string_view::npos) {
          out += kCodes[k];
          i += 2;
        } else {
          out += static_cast<char>((quoted.at(i + 1) - '0') * 64 + (quoted.at(i + 2) - '0') * 8 +
                                   (quoted.at(i + 3) - '0'));
          i += 4;
        }
      }
      ++i;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

// coreutils 9.1, whose messages the tool matches byte for byte, keeps a $'...' part open across
// the restart that a single quote in the name causes: for a name with a single quote that ends in a
// byte written as an escape, the first escape of the quoted form then lacks the $' that opens it
// (ls and md5sum print the same). Unquote cannot read that form back.
bool KeepsEscapeOpenAcrossRestart(const std::string& name) {
  const auto last = static_cast<unsigned char>(name.back());
  return name.find('\'') != std::string::npos && (last < 0x20 || last >= 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string name;
  for (const char c : bytes) {
    if (c != '\0') name += c;  // no file name holds a NUL
  }
  for (const char* locale : {"C", "C.UTF-8"}) {
    std::setlocale(LC_CTYPE, locale);
    const std::string quoted = cli::QuoteName(name);
    if (!name.empty() && quoted != name && !KeepsEscapeOpenAcrossRestart(name) &&
        Unquote(quoted) != name) {
      std::abort();
    }
    if (quoted.empty()) std::abort();
  }

  const std::string digest = "0123456789ABCDEFabcdef0123456789";
  for (const bool tag : {false, true}) {
    if (name.empty()) break;  // no file has the empty name
    std::string line = cli::DigestLine(digest, name, tag, false);
    line.pop_back();  // the line feed
    cli::ListParser parser;
    const auto entry = parser.Parse(line);
    if (!entry || entry->name != name || entry->digest != digest) std::abort();
  }

  cli::ListParser parser;
  for (std::size_t at = 0; at <= bytes.size();) {
    std::size_t end = bytes.find('\n', at);
    if (end == std::string::npos) end = bytes.size();
    const auto entry = parser.Parse(std::string_view(bytes).substr(at, end - at));
    if (entry && entry->digest.size() != 32) std::abort();
    at = end + 1;
  }
  return 0;
}
