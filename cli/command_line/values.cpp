// Numbers in option values.
#include "cli/command_line/values.h"

#include <limits>

#include "ansicrypt/common/error.h"
#include "ansicrypt/platform/code_page.h"
#include "cli/command_line/command.h"
#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {
namespace {

constexpr const char* kCodePages = "874, 932, 936, 949, 950, 1250 to 1258 or 65001";

// Digits only, without overflow: "+5", " 5", "-1" and "5x" are no numbers.
bool ParseDecimal(const std::string& text, std::uint64_t& value) {
  if (text.empty()) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return false;
    value = value * 10 + digit;
  }
  return true;
}

}  // namespace

std::uint64_t ReadNumber(const std::string& text, std::uint64_t low, std::uint64_t high,
                         const std::string& option, const std::string& what) {
  std::uint64_t value = 0;
  if (!ParseDecimal(text, value) || value < low || value > high) {
    throw UsageError(option, "needs " + what + " from " + std::to_string(low) + " to " +
                                 std::to_string(high) + ", not " + QuoteAlways(text));
  }
  return value;
}

unsigned ReadCodePage(const std::string& text, const std::string& option) {
  std::uint64_t value = 0;
  if (ParseDecimal(text, value) && value <= std::numeric_limits<unsigned>::max()) {
    try {
      // Selected on this thread only, to ask the library whether it knows the number.
      platform::ScopedAnsiCodePage known(static_cast<unsigned>(value));
      return static_cast<unsigned>(value);
    } catch (const Error&) {
    }
  }
  throw UsageError(option, std::string("needs a code page number (") + kCodePages + "), not " +
                               QuoteAlways(text));
}

}  // namespace ansicrypt::cli
