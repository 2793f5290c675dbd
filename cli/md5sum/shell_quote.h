// File names in messages, quoted the way coreutils quotes them, so that the tool's messages match
// md5sum's and a name with blanks, quotes or control characters stays readable and unambiguous.
#pragma once

#include <string>
#include <string_view>

namespace ansicrypt::cli {

// The name as is when it holds only characters no shell treats specially; otherwise quoted:
// 'a b', "it's", 'tab'$'\t''x', 'caf'$'\351' (bytes above ASCII in octal, as in the C locale).
std::string QuoteName(std::string_view name);

}  // namespace ansicrypt::cli
