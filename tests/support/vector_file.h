// Reader for the test-vector files under tests/data: NIST CAVP .rsp and Botan .vec layouts.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ansicrypt/common/types.h"

namespace ansicrypt::test {

// One record: the `Name = value` lines between blank lines, under the latest [section] header.
struct VectorRecord {
  std::string file;
  int line = 0;  // line of the record's first field, for failure messages
  std::string section;
  std::map<std::string, std::string> fields;

  const std::string& at(const std::string& name) const;  // fails the test when missing
  bool has(const std::string& name) const { return fields.count(name) != 0; }
};

// Reads tests/data/<name>. CR line ends and `#` comment lines are dropped; a section header also
// ends the record above it.
std::vector<VectorRecord> ReadVectorFile(const std::string& name);

// Hex text (either case, even length) to bytes and back (uppercase).
ByteArray FromHex(std::string_view hex);
std::string ToHex(const ByteArray& bytes);

}  // namespace ansicrypt::test
