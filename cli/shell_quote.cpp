// coreutils' "shell-escape" quoting (gnulib quotearg, with ':' quoted too), in the C locale.
#include "cli/shell_quote.h"

#include <string_view>

namespace ansicrypt::cli {
namespace {

bool Printable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

// Characters that make a name need quotes wherever they stand.
constexpr std::string_view kSpecial = " !\"$&'()*;<=>?[\\^`|:";

// '{' and '}' as the whole name, '#' and '~' at its start: special only there.
bool SpecialWhereItStands(unsigned char c, std::size_t i, std::size_t n) {
  return ((c == '{' || c == '}') && n == 1) || ((c == '#' || c == '~') && i == 0);
}

bool Special(unsigned char c, std::size_t i, std::size_t n) {
  return kSpecial.find(static_cast<char>(c)) != std::string_view::npos ||
         SpecialWhereItStands(c, i, n);
}

// Characters that may stand in double quotes as they are: then a name whose only trouble is a
// single quote is written "like this".
bool DoubleQuoteSafe(unsigned char c, std::size_t i, std::size_t n) {
  if (c == '{' || c == '}' || c == '#' || c == '~') return SpecialWhereItStands(c, i, n);
  return c == ' ' || c == '\'' || c == ':' || (Printable(c) && !Special(c, i, n));
}

// The escape of a control or non-ASCII byte inside $'...'.
std::string Escape(unsigned char c) {
  switch (c) {
    case '\a':
      return "\\a";
    case '\b':
      return "\\b";
    case '\f':
      return "\\f";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    case '\v':
      return "\\v";
    default:
      return {'\\', static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
              static_cast<char>('0' + (c & 7))};
  }
}

}  // namespace

std::string QuoteName(std::string_view name) {
  if (name.empty()) return "''";
  const std::size_t n = name.size();
  bool needsQuotes = false;
  bool singleQuote = false;
  bool doubleQuotesWillDo = true;
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    needsQuotes = needsQuotes || !Printable(c) || Special(c, i, n);
    singleQuote = singleQuote || c == '\'';
    doubleQuotesWillDo = doubleQuotesWillDo && DoubleQuoteSafe(c, i, n);
  }
  if (!needsQuotes) return std::string(name);
  if (singleQuote && doubleQuotesWillDo) return "\"" + std::string(name) + "\"";

  std::string out = "'";
  bool inEscape = false;  // inside a $'...' part
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (!Printable(c)) {
      if (!inEscape) out += "'$'";
      inEscape = true;
      out += Escape(c);
      continue;
    }
    if (c == '\'') {
      out += "'\\''";  // also ends a $'...' part
    } else {
      if (inEscape) out += "''";
      out += ch;
    }
    inEscape = false;
  }
  out += "'";
  return out;
}

}  // namespace ansicrypt::cli
