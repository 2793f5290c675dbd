// The tests' own reader of Windows' code-page description files (data/codepages/bestfitNNN.txt),
// kept apart from the generator so that the two can catch each other's faults.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ansicrypt/common/types.h"

namespace ansicrypt::test {

struct BestFitFile {
  unsigned codePage = 0;
  bool doubleByte = false;
  std::uint8_t defaultByte = 0;             // CPINFO field 2
  char16_t defaultChar = 0;                 // CPINFO field 3
  std::map<std::uint8_t, char16_t> single;  // MBTABLE
  std::set<std::uint8_t> leads;             // DBCSRANGE
  std::map<std::uint16_t, char16_t> pairs;  // lead << 8 | trail (DBCSTABLE)
  std::map<char16_t, std::uint16_t> wide;   // WCTABLE: unit -> one byte, or lead << 8 | trail

  // The character Windows reads from `bytes` (one byte or a pair), if the file defines one.
  std::optional<char16_t> Read(std::uint16_t bytes) const;
  // The bytes of a WCTABLE value, one or two.
  static ByteArray Bytes(std::uint16_t value);

  // What Windows' rules make of whole inputs under these tables, one byte or unit at a time: the
  // slow reference that the library's converters are held against.
  Text Decode(const ByteArray& bytes) const;
  ByteArray Encode(std::u16string_view text, bool bestFit) const;
};

// Reads data/codepages/bestfit<codePage>.txt; throws std::runtime_error on anything unexpected.
BestFitFile ReadBestFitFile(unsigned codePage);

// The code pages that have such a file.
const std::vector<unsigned>& BestFitCodePages();

}  // namespace ansicrypt::test
