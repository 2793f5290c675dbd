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

// Puts `settings` in force on this thread for the scope, over whatever else is set; nothing to do
// (the common case) when they are in force already. `current` is what is in force, when the
// caller knows it (reading it costs thread-local look-ups in a loaded module).
class CallScope {
 public:
  CallScope(const CallSettings& settings, const CallSettings& current) {
    if (current.codePage != settings.codePage) codePage_.emplace(settings.codePage);
    if (current.bestFit != settings.bestFit) bestFit_.emplace(settings.bestFit);
  }
  explicit CallScope(const CallSettings& settings)
      : CallScope(settings, {platform::AnsiCodePage(), platform::AnsiBestFit()}) {}

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
