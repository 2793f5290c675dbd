// The code page and best fit of one call of a binding: given with the call, or the binding's own
// default; never a setting of the process or of the thread that another caller may have changed,
// so that equal arguments always give equal results.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ansicrypt/common/types.h"
#include "ansicrypt/platform/code_page.h"

namespace ansicrypt::bindings {

struct CallSettings {
  unsigned codePage = 1252;  // the library's default
  bool bestFit = false;
  bool operator==(const CallSettings&) const = default;
};

// A code page number of any width: itself when the library knows it, else
// Error(errc::invalid_argument) (874, 932, 936, 949, 950, 1250 to 1258 and 65001 are known).
unsigned CheckedCodePage(std::int64_t number);

// For a CallScope that must hold whatever the process's defaults become meanwhile.
struct WhateverIsInForce {};
inline constexpr WhateverIsInForce kWhateverIsInForce{};

// Puts `settings` in force on this thread for the scope, over whatever else is set; nothing to do
// (the common case) when they are in force already. `current` is what is in force, when the
// caller knows it (reading it costs thread-local look-ups in a loaded module) and nobody can
// change it during the scope. Where another thread may change the process's defaults meanwhile
// (the Python module's set_ansi_code_page while a call runs without the interpreter's lock),
// kWhateverIsInForce sets both on this thread, so that the defaults are not read.
class CallScope {
 public:
  CallScope(const CallSettings& settings, const CallSettings& current) {
    if (current.codePage != settings.codePage) codePage_.emplace(settings.codePage);
    if (current.bestFit != settings.bestFit) bestFit_.emplace(settings.bestFit);
  }
  CallScope(const CallSettings& settings, WhateverIsInForce) {
    codePage_.emplace(settings.codePage);
    bestFit_.emplace(settings.bestFit);
  }

 private:
  std::optional<platform::ScopedAnsiCodePage> codePage_;
  std::optional<platform::ScopedAnsiBestFit> bestFit_;
};

// The part of a key given as UTF-8 text that can take effect: its first nine characters at most
// (key 1 is the first 8 bytes of the key's ANSI form), so that a key of any length is never
// converted whole.
std::string_view KeyPrefix(std::string_view utf8);

// The ANSI bytes of such a key's text that take part: those of its first nine UTF-16 units. Under
// the scope's code page.
ByteArray KeyAnsiBytes(const Text& key);

// Whether a UTF-8 text of `utf8Bytes` bytes surely gives more than `limit` ANSI bytes, before it
// is converted: every character gives at least one byte and takes at most three bytes of UTF-8
// per UTF-16 unit, so that a text far over a limit is refused without converting it.
constexpr bool SurelyOver(std::size_t utf8Bytes, std::size_t limit) {
  return utf8Bytes / 3 > limit;
}

}  // namespace ansicrypt::bindings
