// File names in messages, quoted the way coreutils quotes them, so that the tool's messages match
// md5sum's and a name with blanks, quotes or control characters stays readable and unambiguous.
#pragma once

#include <string>
#include <string_view>

namespace ansicrypt::cli {

// The name as is when it holds only characters no shell treats specially; otherwise quoted:
// 'a b', "it's", 'tab'$'\t''x', 'caf'$'\351'. Bytes that are no printable character of the locale
// (LC_CTYPE) are written in octal: in the C locale every byte above ASCII, in a UTF-8 locale only
// ill-formed sequences and unprintable characters ("caf\xC3\xA9" stays café there).
std::string QuoteName(std::string_view name);

// The same, always between quotes ('x', 'a b'): for values shown in messages.
std::string QuoteAlways(std::string_view text);

}  // namespace ansicrypt::cli
