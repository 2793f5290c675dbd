// md5sum's list lines, written and read.
#include "cli/md5sum/md5_list.h"

namespace ansicrypt::cli {
namespace {

constexpr std::size_t kDigits = 32;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Exactly 32 hexadecimal digits.
bool AllDigits(std::string_view s) {
  if (s.size() != kDigits) return false;
  for (const char c : s) {
    if (!IsHexDigit(c)) return false;
  }
  return true;
}

std::string Escaped(std::string_view name) {
  std::string out;
  for (const char c : name) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

// Undoes Escaped; nothing for a lone backslash at the end, an unknown escape or a NUL.
std::optional<std::string> Unescaped(std::string_view name) {
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '\0') return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i == name.size()) return std::nullopt;
    switch (name[i]) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

std::optional<ListEntry> Entry(std::string_view digest, std::string_view name, bool escaped) {
  // md5sum takes the name as a C string: a NUL ends it.
  if (!escaped) return ListEntry{std::string(digest), std::string(name.substr(0, name.find('\0')))};
  auto unescaped = Unescaped(name);
  if (!unescaped) return std::nullopt;
  return ListEntry{std::string(digest), std::move(*unescaped)};
}

// "NAME) = DIGEST", after "MD5 (": the name runs to the last ')'.
std::optional<ListEntry> ParseTagged(std::string_view s, bool escaped) {
  const std::size_t close = s.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  std::size_t i = close + 1;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i == s.size() || s[i] != '=') return std::nullopt;
  ++i;
  while (i < s.size() && IsBlank(s[i])) ++i;
  // md5sum reads the digest as a C string: a NUL ends it.
  const std::string_view digest = s.substr(i, s.find('\0', i) - i);
  if (!AllDigits(digest)) return std::nullopt;
  return Entry(digest, s.substr(0, close), escaped);
}

}  // namespace

std::string DigestLine(std::string_view digest, std::string_view name, bool tag, bool zero) {
  const bool escape = !zero && name.find_first_of("\\\n\r") != std::string_view::npos;
  const std::string shown = escape ? Escaped(name) : std::string(name);
  std::string line = escape ? "\\" : "";
  if (tag) {
    line += "MD5 (" + shown + ") = " + std::string(digest);
  } else {
    line += std::string(digest) + "  " + shown;
  }
  line += zero ? '\0' : '\n';
  return line;
}

std::string CheckedName(std::string_view name) {
  if (name.find('\n') == std::string_view::npos) return std::string(name);
  std::string shown(1, '\\');
  shown += Escaped(name);
  return shown;
}

std::optional<ListEntry> ListParser::Parse(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  const bool escaped = i < s.size() && s[i] == '\\';
  if (escaped) ++i;
  if (s.substr(i, 3) == "MD5") {
    i += 3;
    if (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size() && s[i] == '(') return ParseTagged(s.substr(i + 1), escaped);
    return std::nullopt;
  }
  // At least the digits, a blank, a type character and one character of name.
  if (s.size() - i < kDigits + 2) return std::nullopt;
  const std::string_view digest = s.substr(i, kDigits);
  i += kDigits;
  if (!IsBlank(s[i])) return std::nullopt;
  ++i;
  if (!AllDigits(digest)) return std::nullopt;
  // "DIGEST NAME" (one blank) is the reversed form, allowed only in a list that starts with it,
  // so that a name cannot pass for one with a leading blank or star.
  if (s.size() - i == 1 || (s[i] != ' ' && s[i] != '*')) {
    if (reversed_ == 0) return std::nullopt;
    reversed_ = 1;
  } else if (reversed_ != 1) {
    reversed_ = 0;
    ++i;  // the type character: ' ' text, '*' binary; both are read the same
  }
  return Entry(digest, s.substr(i), escaped);
}

}  // namespace ansicrypt::cli
