// coreutils' "shell-escape" quoting of names in messages, as gnulib's quotearg does it for quotef()
// (':' quoted too) in the locale's character set, transcribed step by step so that every message
// matches md5sum's byte for byte in the C and UTF-8 locales, the way it also handles a single quote
// (first a scan for the shortest form, then the writing) and the end of a $'...' part left open by
// that scan.
#include "cli/md5sum/shell_quote.h"

#include <cstddef>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <utility>

#include "cli/io/process.h"

namespace ansicrypt::cli {
namespace {

enum class Style { kShellEscape, kShellEscapeAlways, kShellAlways, kC };

bool Printable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

bool AlwaysSafe(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '%' ||
         c == '+' || c == ',' || c == '-' || c == '.' || c == '/' || c == ':' || c == ']' ||
         c == '_';
}

bool ShellSpecial(unsigned char c) {
  switch (c) {
    case '!':
    case '"':
    case '$':
    case '&':
    case '(':
    case ')':
    case '*':
    case ';':
    case '<':
    case '=':
    case '>':
    case '[':
    case '^':
    case '`':
    case '|':
      return true;
    default:
      return false;
  }
}

class Quoter {
 public:
  explicit Quoter(std::string_view arg) : arg_(arg) {}

  // Quotes into a buffer of `size` bytes; returns the length the quoted form needs.
  std::size_t Run(std::string& buffer, std::size_t size, Style style, bool elide, bool colon) {
    buffer_ = &buffer;
    return Restyled(size, style, elide, colon);
  }

 private:
  std::size_t Restyled(std::size_t buffersize, Style style, bool elideOuter, bool colon) {
    std::size_t len = 0;
    std::size_t origBuffersize = 0;
    char quoteString = 0;
    bool backslashEscapes = false;
    bool encounteredSingleQuote = false;
    bool allCompat = true;
    bool pending = false;  // a $'...' part is open; kept when the writing restarts
    const std::size_t argsize = arg_.size();
    auto store = [&](char c) {
      if (len < buffersize) (*buffer_)[len] = c;
      ++len;
    };

  processInput:
    switch (style) {
      case Style::kC:
        if (!elideOuter) store('"');
        backslashEscapes = true;
        quoteString = '"';
        break;
      case Style::kShellEscape:
        backslashEscapes = true;
        elideOuter = true;
        [[fallthrough]];
      case Style::kShellEscapeAlways:
        if (!elideOuter) backslashEscapes = true;
        [[fallthrough]];
      case Style::kShellAlways:
        style = Style::kShellAlways;
        if (!elideOuter) store('\'');
        quoteString = '\'';
        break;
    }

    for (std::size_t i = 0; i < argsize; ++i) {
      auto c = static_cast<unsigned char>(arg_[i]);
      unsigned char esc = 0;
      bool isRightQuote = false;
      bool escaping = false;
      bool compat = false;
      bool escapeIt = false;
      // START_ESC: false when the quotes around the whole name must be forced.
      auto startEscape = [&]() {
        if (elideOuter) return false;
        escaping = true;
        if (style == Style::kShellAlways && !pending) {
          store('\'');
          store('$');
          store('\'');
          pending = true;
        }
        store('\\');
        return true;
      };
      auto endEscape = [&]() {
        if (pending && !escaping) {
          store('\'');
          store('\'');
          pending = false;
        }
      };

      if (backslashEscapes && style != Style::kShellAlways && quoteString != 0 &&
          c == static_cast<unsigned char>(quoteString)) {
        if (elideOuter) return ForceOuter(buffersize, style, backslashEscapes);
        isRightQuote = true;
      }
      bool storeDirectly = false;
      switch (c) {
        case '?':
          if (style == Style::kShellAlways && elideOuter) {
            return ForceOuter(buffersize, style, backslashEscapes);
          }
          break;
        case '\a':
          esc = 'a';
          goto cEscape;
        case '\b':
          esc = 'b';
          goto cEscape;
        case '\f':
          esc = 'f';
          goto cEscape;
        case '\n':
          esc = 'n';
          goto cAndShellEscape;
        case '\r':
          esc = 'r';
          goto cAndShellEscape;
        case '\t':
          esc = 't';
          goto cAndShellEscape;
        case '\v':
          esc = 'v';
          goto cEscape;
        case '\\':
          esc = c;
          if (style == Style::kShellAlways) {
            if (elideOuter) return ForceOuter(buffersize, style, backslashEscapes);
            storeDirectly = true;
            break;
          }
          if (backslashEscapes && elideOuter && quoteString != 0) {
            storeDirectly = true;
            break;
          }
        cAndShellEscape:
          if (style == Style::kShellAlways && elideOuter) {
            return ForceOuter(buffersize, style, backslashEscapes);
          }
        cEscape:
          if (backslashEscapes) {
            c = esc;
            escapeIt = true;
          }
          break;
        case '{':
        case '}':
          if (argsize != 1) break;
          [[fallthrough]];
        case '#':
        case '~':
          if (i != 0) break;
          [[fallthrough]];
        case ' ':
          compat = true;
          if (style == Style::kShellAlways && elideOuter) {
            return ForceOuter(buffersize, style, backslashEscapes);
          }
          break;
        case '\'':
          encounteredSingleQuote = true;
          compat = true;
          if (style == Style::kShellAlways) {
            if (elideOuter) return ForceOuter(buffersize, style, backslashEscapes);
            if (buffersize != 0 && origBuffersize == 0) {
              // First only scan for the shortest form; write afterwards.
              origBuffersize = buffersize;
              buffersize = 0;
            }
            store('\'');
            store('\\');
            store('\'');
            pending = false;
          }
          break;
        default:
          if (ShellSpecial(c)) {
            if (style == Style::kShellAlways && elideOuter) {
              return ForceOuter(buffersize, style, backslashEscapes);
            }
            break;
          }
          if (AlwaysSafe(c)) {
            compat = true;
            break;
          }
          {
            // A character of the locale, which may take several bytes: kept when printable,
            // else each of its bytes in octal.
            const auto [bytes, printable] = NextCharacter(i);
            compat = printable;
            if (bytes > 1 || (backslashEscapes && !printable)) {
              const std::size_t end = i + bytes;
              while (true) {
                if (backslashEscapes && !printable) {
                  if (!startEscape()) return ForceOuter(buffersize, style, backslashEscapes);
                  store(static_cast<char>('0' + (c >> 6)));
                  store(static_cast<char>('0' + ((c >> 3) & 7)));
                  c = static_cast<unsigned char>('0' + (c & 7));
                } else if (isRightQuote) {
                  store('\\');
                  isRightQuote = false;
                }
                if (end <= i + 1) break;
                endEscape();
                store(static_cast<char>(c));
                c = static_cast<unsigned char>(arg_[++i]);
              }
              storeDirectly = true;
            }
          }
          break;
      }
      if (!storeDirectly && !escapeIt) {
        const bool quoteThis =
            colon && c == ':' && ((backslashEscapes && style != Style::kShellAlways) || elideOuter);
        if (quoteThis || isRightQuote) escapeIt = true;
      }
      if (escapeIt && !storeDirectly) {
        if (!startEscape()) return ForceOuter(buffersize, style, backslashEscapes);
      }
      endEscape();
      store(static_cast<char>(c));
      if (!compat) allCompat = false;
    }

    if (len == 0 && style == Style::kShellAlways && elideOuter) {
      return ForceOuter(buffersize, style, backslashEscapes);
    }
    if (style == Style::kShellAlways && !elideOuter && encounteredSingleQuote) {
      if (allCompat) return Restyled(origBuffersize, Style::kC, false, false);
      if (buffersize == 0 && origBuffersize != 0) {
        buffersize = origBuffersize;
        len = 0;
        goto processInput;
      }
    }
    if (quoteString != 0 && !elideOuter) store(quoteString);
    return len;
  }

  // The length in bytes of the character at arg_[i] and whether it is printable: in a multi-byte
  // locale (UTF-8) as the C library reads it, where an ill-formed byte counts alone (0 bytes, as
  // gnulib counts it) and a sequence cut short by the end takes the rest of the name; else one
  // byte, printable when it is printable ASCII.
  std::pair<std::size_t, bool> NextCharacter(std::size_t i) const {
    if (NamesAreAlwaysUtf8()) return NextUtf8Character(i);
    if (MB_CUR_MAX == 1) return {1, Printable(static_cast<unsigned char>(arg_[i]))};
    std::mbstate_t state{};
    std::size_t m = 0;
    bool printable = true;
    while (true) {
      wchar_t w = 0;
      const std::size_t bytes =
          std::mbrtowc(&w, arg_.data() + i + m, arg_.size() - (i + m), &state);
      if (bytes == 0) break;
      if (bytes == static_cast<std::size_t>(-1)) {
        printable = false;
        break;
      }
      if (bytes == static_cast<std::size_t>(-2)) {
        printable = false;
        while (i + m < arg_.size() && arg_[i + m] != '\0') ++m;
        break;
      }
      if (std::iswprint(static_cast<std::wint_t>(w)) == 0) printable = false;
      m += bytes;
      if (std::mbsinit(&state) != 0) break;
    }
    return {m, printable};
  }

  // NextCharacter for names held as UTF-8 whatever the C library's locale (Windows): the same
  // answers as a UTF-8 locale's mbrtowc gives, surrogates being ill-formed there too.
  std::pair<std::size_t, bool> NextUtf8Character(std::size_t i) const {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(arg_[i + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {1, Printable(lead)};
    std::size_t length = 0;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, c = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, c = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, c = lead & 0x07u;
    } else {
      return {0, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k == arg_.size()) return {k, false};  // cut short by the end: the rest of the name
      const unsigned char next = byte(k);
      // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
      const bool allowed =
          k > 1 || ((lead != 0xE0 || next >= 0xA0) && (lead != 0xED || next < 0xA0) &&
                    (lead != 0xF0 || next >= 0x90) && (lead != 0xF4 || next < 0x90));
      if ((next & 0xC0) != 0x80 || !allowed) return {0, false};
      c = (c << 6) | (next & 0x3Fu);
    }
    // wchar_t has 16 bits on Windows: a character past U+FFFF counts as printable there.
    const bool printable =
        c > static_cast<char32_t>(WCHAR_MAX) || std::iswprint(static_cast<std::wint_t>(c)) != 0;
    return {length, printable};
  }

  // The quotes around the whole name, which the elided form could not do without.
  std::size_t ForceOuter(std::size_t buffersize, Style style, bool backslashEscapes) {
    if (style == Style::kShellAlways && backslashEscapes) style = Style::kShellEscapeAlways;
    return Restyled(buffersize, style, false, false);
  }

  std::string_view arg_;
  std::string* buffer_ = nullptr;
};

std::string Quoted(std::string_view text, Style style, bool colon) {
  Quoter quoter(text);
  std::string buffer(256, '\0');
  std::size_t length = quoter.Run(buffer, buffer.size(), style, false, colon);
  if (length >= buffer.size()) {
    buffer.assign(length + 1, '\0');
    length = quoter.Run(buffer, buffer.size(), style, false, colon);
  }
  buffer.resize(length);
  return buffer;
}

}  // namespace

std::string QuoteName(std::string_view name) { return Quoted(name, Style::kShellEscape, true); }

std::string QuoteAlways(std::string_view text) {
  return Quoted(text, Style::kShellEscapeAlways, false);
}

}  // namespace ansicrypt::cli
