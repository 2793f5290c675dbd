// coreutils' "shell-escape" quoting of names in messages, in the C locale, as gnulib's quotearg
// does it for quotef() (':' quoted too), transcribed step by step so that every message matches
// md5sum's byte for byte, the way it also handles a single quote (first a scan for the shortest
// form, then the writing) and the end of a $'...' part left open by that scan.
#include "cli/md5sum/shell_quote.h"

#include <cstddef>

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
          compat = Printable(c);
          if (backslashEscapes && !compat) {
            if (!startEscape()) return ForceOuter(buffersize, style, backslashEscapes);
            store(static_cast<char>('0' + (c >> 6)));
            store(static_cast<char>('0' + ((c >> 3) & 7)));
            c = static_cast<unsigned char>('0' + (c & 7));
            storeDirectly = true;
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

  // The quotes around the whole name, which the elided form could not do without.
  std::size_t ForceOuter(std::size_t buffersize, Style style, bool backslashEscapes) {
    if (style == Style::kShellAlways && backslashEscapes) style = Style::kShellEscapeAlways;
    return Restyled(buffersize, style, false, false);
  }

  std::string_view arg_;
  std::string* buffer_ = nullptr;
};

}  // namespace

std::string QuoteName(std::string_view name) {
  Quoter quoter(name);
  std::string buffer(256, '\0');
  std::size_t length = quoter.Run(buffer, buffer.size(), Style::kShellEscape, false, true);
  if (length >= buffer.size()) {
    buffer.assign(length + 1, '\0');
    length = quoter.Run(buffer, buffer.size(), Style::kShellEscape, false, true);
  }
  buffer.resize(length);
  return buffer;
}

}  // namespace ansicrypt::cli
