// The FIPS 46-3 tables: their decimal text as the standard prints it, the parser that reads such
// text, and the tables parsed from it at compile time, once for the whole program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "ansicrypt/common/error.h"

namespace ansicrypt::detail {

// Each text lists its table in the standard's printed order, joined from one fragment per printed
// row; numbers are separated by commas, and blanks around numbers are allowed. IP, IP-1 and PC-1
// hold positions 1..64, E and P positions 1..32, PC-2 positions 1..56; the shift schedule counts
// 1 or 2; the S-boxes are listed as S1 row 0, S1 row 1, ... S8 row 3, values 0..15.
// clang-format off
inline constexpr std::string_view kTextIP =
    "58,50,42,34,26,18,10,2,"
    "60,52,44,36,28,20,12,4,"
    "62,54,46,38,30,22,14,6,"
    "64,56,48,40,32,24,16,8,"
    "57,49,41,33,25,17,9,1,"
    "59,51,43,35,27,19,11,3,"
    "61,53,45,37,29,21,13,5,"
    "63,55,47,39,31,23,15,7";

inline constexpr std::string_view kTextFP =
    "40,8,48,16,56,24,64,32,"
    "39,7,47,15,55,23,63,31,"
    "38,6,46,14,54,22,62,30,"
    "37,5,45,13,53,21,61,29,"
    "36,4,44,12,52,20,60,28,"
    "35,3,43,11,51,19,59,27,"
    "34,2,42,10,50,18,58,26,"
    "33,1,41,9,49,17,57,25";

inline constexpr std::string_view kTextE =
    "32,1, 2, 3, 4, 5,"
    " 4, 5, 6, 7, 8, 9,"
    " 8, 9,10,11,12,13,"
    "12,13,14,15,16,17,"
    "16,17,18,19,20,21,"
    "20,21,22,23,24,25,"
    "24,25,26,27,28,29,"
    "28,29,30,31,32,1";

inline constexpr std::string_view kTextPC1 =
    "57,49,41,33,25,17,9,"
    "1,58,50,42,34,26,18,"
    "10,2,59,51,43,35,27,"
    "19,11,3,60,52,44,36,"
    "63,55,47,39,31,23,15,"
    "7,62,54,46,38,30,22,"
    "14,6,61,53,45,37,29,"
    "21,13,5,28,20,12,4";

inline constexpr std::string_view kTextPC2 =
    "14,17,11,24,1,5,"
    "3,28,15,6,21,10,"
    "23,19,12,4,26,8,"
    "16,7,27,20,13,2,"
    "41,52,31,37,47,55,"
    "30,40,51,45,33,48,"
    "44,49,39,56,34,53,"
    "46,42,50,36,29,32";

inline constexpr std::string_view kTextShift = "1,1,2,2,2,2,2,2,1,2,2,2,2,2,2,1";

inline constexpr std::string_view kTextP =
    "16,7,20,21,"
    "29,12,28,17,"
    "1,15,23,26,"
    "5,18,31,10,"
    "2,8,24,14,"
    "32,27,3,9,"
    "19,13,30,6,"
    "22,11,4,25";

inline constexpr std::string_view kTextS =
    // S1
    "14,4,13,1,2,15,11,8,3,10,6,12,5,9,0,7,"
    "0,15,7,4,14,2,13,1,10,6,12,11,9,5,3,8,"
    "4,1,14,8,13,6,2,11,15,12,9,7,3,10,5,0,"
    "15,12,8,2,4,9,1,7,5,11,3,14,10,0,6,13,"
    // S2
    "15,1,8,14,6,11,3,4,9,7,2,13,12,0,5,10,"
    "3,13,4,7,15,2,8,14,12,0,1,10,6,9,11,5,"
    "0,14,7,11,10,4,13,1,5,8,12,6,9,3,2,15,"
    "13,8,10,1,3,15,4,2,11,6,7,12,0,5,14,9,"
    // S3
    "10,0,9,14,6,3,15,5,1,13,12,7,11,4,2,8,"
    "13,7,0,9,3,4,6,10,2,8,5,14,12,11,15,1,"
    "13,6,4,9,8,15,3,0,11,1,2,12,5,10,14,7,"
    "1,10,13,0,6,9,8,7,4,15,14,3,11,5,2,12,"
    // S4
    "7,13,14,3,0,6,9,10,1,2,8,5,11,12,4,15,"
    "13,8,11,5,6,15,0,3,4,7,2,12,1,10,14,9,"
    "10,6,9,0,12,11,7,13,15,1,3,14,5,2,8,4,"
    "3,15,0,6,10,1,13,8,9,4,5,11,12,7,2,14,"
    // S5
    "2,12,4,1,7,10,11,6,8,5,3,15,13,0,14,9,"
    "14,11,2,12,4,7,13,1,5,0,15,10,3,9,8,6,"
    "4,2,1,11,10,13,7,8,15,9,12,5,6,3,0,14,"
    "11,8,12,7,1,14,2,13,6,15,0,9,10,4,5,3,"
    // S6
    "12,1,10,15,9,2,6,8,0,13,3,4,14,7,5,11,"
    "10,15,4,2,7,12,9,5,6,1,13,14,0,11,3,8,"
    "9,14,15,5,2,8,12,3,7,0,4,10,1,13,11,6,"
    "4,3,2,12,9,5,15,10,11,14,1,7,6,0,8,13,"
    // S7
    "4,11,2,14,15,0,8,13,3,12,9,7,5,10,6,1,"
    "13,0,11,7,4,9,1,10,14,3,5,12,2,15,8,6,"
    "1,4,11,13,12,3,7,14,10,15,6,8,0,5,9,2,"
    "6,11,13,8,1,4,10,7,9,5,0,15,14,2,3,12,"
    // S8
    "13,2,8,4,6,15,11,1,10,9,3,14,5,0,12,7,"
    "1,15,13,8,10,3,7,4,12,5,6,11,0,14,9,2,"
    "7,11,4,1,9,12,14,2,0,6,10,13,15,3,5,8,"
    "2,1,14,7,4,10,8,13,15,12,9,0,3,5,6,11";
// clang-format on

// Splits `text` at every comma and reads piece i as a decimal number into table[i]: blanks are
// skipped and a piece without digits reads as 0. A value outside T raises errc::overflow; a value
// outside [lowest, highest] (a position the permutations could not index with) or a piece count
// other than the table's size raises errc::out_of_range. At compile time a raised error stops the
// build.
template <class T>
constexpr void ParseDecimalTable(std::string_view text, std::span<T> table, long lowest,
                                 long highest) {
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

// The tables with their entries as the standard prints them (bit positions counted from 1).
struct StandardTables {
  std::array<std::uint8_t, 64> IP{};
  std::array<std::uint8_t, 64> FP{};
  std::array<std::uint8_t, 48> E{};
  std::array<std::int16_t, 56> PC1{};
  std::array<std::int16_t, 48> PC2{};
  std::array<std::int16_t, 16> Shift{};
  std::array<std::uint8_t, 32> P{};
  std::array<std::array<std::array<std::uint8_t, 16>, 4>, 8> S{};  // box, row, column
};

// The one list of what is parsed from which text, in the standard's order: IP, IP-1, E, PC-1,
// PC-2, shift schedule, P, S-boxes.
constexpr StandardTables ParseStandardTables() {
  StandardTables t;
  ParseDecimalTable<std::uint8_t>(kTextIP, t.IP, 1, 64);
  ParseDecimalTable<std::uint8_t>(kTextFP, t.FP, 1, 64);
  ParseDecimalTable<std::uint8_t>(kTextE, t.E, 1, 32);
  ParseDecimalTable<std::int16_t>(kTextPC1, t.PC1, 1, 64);
  ParseDecimalTable<std::int16_t>(kTextPC2, t.PC2, 1, 56);
  ParseDecimalTable<std::int16_t>(kTextShift, t.Shift, 1, 2);
  ParseDecimalTable<std::uint8_t>(kTextP, t.P, 1, 32);
  std::array<std::uint8_t, 512> s{};
  ParseDecimalTable<std::uint8_t>(kTextS, s, 0, 15);
  for (std::size_t i = 0; i < s.size(); ++i) t.S[i / 64][(i / 16) % 4][i % 16] = s[i];
  return t;
}

// Parsed while the library is compiled: a fault in the text is a compile-time error.
inline constexpr StandardTables kStandardTables = ParseStandardTables();

// The parse holds the standard's structure (the known-answer tests then pin every entry).
constexpr bool HoldsTheStandardsStructure(const StandardTables& t) {
  std::array<int, 65> seen{};
  for (std::size_t i = 0; i < 64; ++i) {
    if (t.IP[static_cast<std::size_t>(t.FP[i] - 1)] != i + 1) return false;  // IP-1 inverts IP
  }
  for (const auto& box : t.S) {
    for (const auto& row : box) {
      std::array<int, 16> values{};
      for (const auto v : row) ++values[v];
      for (const int count : values) {
        if (count != 1) return false;  // every row of every S-box is a permutation of 0..15
      }
    }
  }
  for (const auto position : t.PC1) {
    if (position % 8 == 0 || ++seen[static_cast<std::size_t>(position)] != 1) return false;
  }
  seen = {};
  for (const auto position : t.PC2) {
    if (++seen[static_cast<std::size_t>(position)] != 1) return false;
  }
  seen = {};
  for (const auto position : t.P) ++seen[position];
  for (std::size_t i = 1; i <= 32; ++i) {
    if (seen[i] != 1) return false;  // P permutes the 32 bits
  }
  seen = {};
  for (const auto position : t.E) ++seen[position];
  for (std::size_t i = 1; i <= 32; ++i) {
    if (seen[i] != (i % 4 == 0 || i % 4 == 1 ? 2 : 1)) return false;  // E repeats the edge bits
  }
  int shifts = 0;
  for (const auto s : t.Shift) shifts += s;
  return shifts == 28;  // C and D come back to where they started
}
static_assert(HoldsTheStandardsStructure(kStandardTables));

}  // namespace ansicrypt::detail
