// md5sum's list format: the lines `md5` writes and the lines `md5 -c` reads, escapes included.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ansicrypt::cli {

// The line md5sum writes for a digest (32 hexadecimal digits) of `name`: "DIGEST  NAME", or with
// `tag` "MD5 (NAME) = DIGEST". A name holding a backslash, line feed or carriage return is escaped
// and the line starts with a backslash, unless lines end with NUL (`zero`).
std::string DigestLine(std::string_view digest, std::string_view name, bool tag, bool zero);

// A name as md5 -c prints it in its results: escaped, behind a leading backslash, only when it
// holds a line feed.
std::string CheckedName(std::string_view name);

// One line of a list, parsed as md5sum parses it.
struct ListEntry {
  std::string digest;  // 32 hexadecimal digits, either case
  std::string name;    // unescaped
};

// Reads lines the way md5sum does: "DIGEST  NAME", "DIGEST *NAME", the BSD tag form
// "MD5 (NAME) = DIGEST", each with an optional leading backslash for an escaped name, and the
// reversed form "DIGEST NAME" when the first list line read uses it. As in md5sum, that choice
// holds for every list of one command.
class ListParser {
 public:
  // The entry of a line (without its line end), or nothing for a line md5sum calls improperly
  // formatted.
  std::optional<ListEntry> Parse(std::string_view line);

 private:
  int reversed_ = -1;  // unknown until a line decides: 1 reversed form, 0 standard form
};

}  // namespace ansicrypt::cli
