// The FIPS 46-3 tables as decimal text, and the parser that turns such text into table entries.
#pragma once

#include <cstddef>
#include <limits>
#include <span>
#include <string_view>

#include "ansicrypt/common/error.h"

namespace ansicrypt::detail {

// Each text lists its table in the standard's printed order, joined from one fragment per printed
// row; numbers are separated by commas, and blanks around numbers are allowed.
extern const std::string_view kTextIP;     // 64 positions 1..64
extern const std::string_view kTextFP;     // 64 positions 1..64 (IP-1)
extern const std::string_view kTextE;      // 48 positions 1..32
extern const std::string_view kTextPC1;    // 56 positions 1..64
extern const std::string_view kTextPC2;    // 48 positions 1..56
extern const std::string_view kTextShift;  // 16 shift counts
extern const std::string_view kTextP;      // 32 positions 1..32
extern const std::string_view kTextS;      // 512 values 0..15: S1 row 0, S1 row 1, ... S8 row 3

// Splits `text` at every comma and reads piece i as a decimal number into table[i]: blanks are
// skipped and a piece without digits reads as 0. A value outside T raises errc::overflow; a value
// outside [lowest, highest] (a position the permutations could not index with) or a piece count
// other than the table's size raises errc::out_of_range.
template <class T>
void ParseDecimalTable(std::string_view text, std::span<T> table, long lowest, long highest) {
  std::size_t index = 0;
  long value = 0;
  bool negative = false;
  bool inNumber = false;  // a digit or sign was seen in this piece
  bool ended = false;     // the leading number of this piece has ended
  auto commit = [&] {
    const long v = negative ? -value : value;
    if (v < static_cast<long>(std::numeric_limits<T>::min()) ||
        v > static_cast<long>(std::numeric_limits<T>::max())) {
      throw Error(errc::overflow);
    }
    if (index >= table.size() || v < lowest || v > highest) throw Error(errc::out_of_range);
    table[index++] = static_cast<T>(v);
    value = 0;
    negative = inNumber = ended = false;
  };
  for (const char c : text) {
    if (c == ',') {
      commit();
    } else if (ended || c == ' ' || c == '\t') {
      continue;
    } else if (c >= '0' && c <= '9') {
      inNumber = true;
      value = value * 10 + (c - '0');
      if (value > 1'000'000) throw Error(errc::overflow);
    } else if ((c == '-' || c == '+') && !inNumber) {
      negative = c == '-';
      inNumber = true;
    } else {
      ended = true;  // the leading number ends at the first other character
    }
  }
  commit();
  if (index != table.size()) throw Error(errc::out_of_range);
}

}  // namespace ansicrypt::detail
