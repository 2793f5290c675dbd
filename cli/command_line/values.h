// Option values as the tool reads them: decimal numbers only, no sign, no blanks, no wrapping.
#pragma once

#include <cstdint>
#include <string>

namespace ansicrypt::cli {

// The value of `text` when it is a decimal number from `low` to `high`; raises UsageError (about
// `option`, saying `what` the number is) otherwise.
std::uint64_t ReadNumber(const std::string& text, std::uint64_t low, std::uint64_t high,
                         const std::string& option, const std::string& what);

// A code page number the library knows (874, 932, 936, 949, 950, 1250 to 1258, 65001).
unsigned ReadCodePage(const std::string& text, const std::string& option);

}  // namespace ansicrypt::cli
