// Generates the library's code-page conversion tables from Windows' published description of a
// code page (data/codepages/bestfitNNN.txt; format in data/codepages/readme.txt).
//
//   codepage_tables bestfit936.txt code_page_936.cpp      one code page's tables
//   codepage_tables --registry code_pages.cpp 874 932 ...  the list of generated code pages
//
// The input is checked strictly (record counts, ranges, duplicates, values that fit); anything
// unexpected stops the build with the file and line. The output is deterministic.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr unsigned kNoMapping = 0x10000;  // above every UTF-16 unit and byte pair

struct Line {
  int number;
  std::vector<std::string> fields;
};

struct CodePage {
  std::string source;  // file name as given, for messages and the generated header
  unsigned number = 0;
  unsigned kind = 0;  // CPINFO field 1: 1 single-byte, 2 double-byte
  unsigned defaultByte = 0;
  unsigned defaultChar = 0;
  std::array<unsigned, 256> byteToText;  // kNoMapping where MBTABLE has no record
  std::array<int, 256> byteLine{};       // source line of each MBTABLE record
  std::array<bool, 256> isLead{};
  std::map<unsigned, std::array<unsigned, 256>> pairs;    // lead byte -> trail byte -> character
  std::map<unsigned, int> leadLine;                       // lead byte -> line of its DBCSTABLE
  std::vector<std::pair<unsigned, unsigned>> leadRanges;  // DBCSRANGE records, ascending
  std::vector<unsigned> wideToBytes = std::vector<unsigned>(0x10000, kNoMapping);
  int wcLine = 0;
};

[[noreturn]] void Fail(const std::string& source, int line, const std::string& what) {
  throw std::runtime_error(source + ":" + std::to_string(line) + ": " + what);
}

// The records of the file: comments (after ';') and blank lines dropped, CR removed, fields split
// on blanks and tabs. The records are ASCII; comment bytes may be in any encoding.
std::vector<Line> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open");
  std::vector<Line> lines;
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    raw = raw.substr(0, raw.find(';'));
    std::istringstream split(raw);
    Line line{number, {}};
    for (std::string field; split >> field;) line.fields.push_back(field);
    if (!line.fields.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

class Reader {
 public:
  Reader(std::string source, std::vector<Line> lines)
      : source_(std::move(source)), lines_(std::move(lines)) {}

  const Line& Next() {
    if (at_ == lines_.size()) Fail(source_, lines_.empty() ? 0 : lines_.back().number, "cut off");
    return lines_[at_++];
  }
  const Line* Peek() const { return at_ < lines_.size() ? &lines_[at_] : nullptr; }

  // A tag line "NAME value...": the values as numbers.
  std::vector<unsigned> Tag(const char* name, std::size_t values) {
    const Line& line = Next();
    if (line.fields[0] != name || line.fields.size() != values + 1) {
      Fail(source_, line.number, std::string("expected ") + name);
    }
    std::vector<unsigned> out;
    for (std::size_t i = 1; i <= values; ++i) out.push_back(Number(line, line.fields[i], 0xFFFF));
    return out;
  }

  // A record "0xAA 0xBBBB": both numbers, each checked against its limit.
  std::pair<unsigned, unsigned> Record(unsigned firstMax, unsigned secondMax, int& lineNumber) {
    const Line& line = Next();
    if (line.fields.size() != 2) Fail(source_, line.number, "expected a record of two fields");
    lineNumber = line.number;
    return {Hex(line, line.fields[0], firstMax), Hex(line, line.fields[1], secondMax)};
  }

  const std::string& source() const { return source_; }

 private:
  unsigned Hex(const Line& line, const std::string& field, unsigned max) {
    if (field.size() < 3 || field[0] != '0' || (field[1] != 'x' && field[1] != 'X')) {
      Fail(source_, line.number, "not a hexadecimal number: " + field);
    }
    return Number(line, field, max);
  }
  unsigned Number(const Line& line, const std::string& field, unsigned max) {
    std::size_t used = 0;
    unsigned long value = 0;
    try {
      value = std::stoul(field, &used, 0);
    } catch (const std::exception&) {
      Fail(source_, line.number, "not a number: " + field);
    }
    if (used != field.size() || value > max) Fail(source_, line.number, "out of range: " + field);
    return static_cast<unsigned>(value);
  }

  std::string source_;
  std::vector<Line> lines_;
  std::size_t at_ = 0;
};

CodePage Parse(const std::string& path) {
  Reader reader(path, ReadLines(path));
  CodePage page;
  page.source = path.substr(path.find_last_of('/') + 1);
  page.byteToText.fill(kNoMapping);
  page.number = reader.Tag("CODEPAGE", 1)[0];
  const std::vector<unsigned> info = reader.Tag("CPINFO", 3);
  page.kind = info[0];
  page.defaultByte = info[1];
  page.defaultChar = info[2];
  if ((page.kind != 1 && page.kind != 2) || page.defaultByte > 0x7F) {
    Fail(path, 3, "unexpected CPINFO");
  }
  int line = 0;
  for (unsigned n = reader.Tag("MBTABLE", 1)[0]; n > 0; --n) {
    const auto [byte, unit] = reader.Record(0xFF, 0xFFFF, line);
    if (page.byteToText[byte] != kNoMapping) Fail(path, line, "byte mapped twice");
    page.byteToText[byte] = unit;
    page.byteLine[byte] = line;
  }
  if (page.kind == 2) {
    for (unsigned ranges = reader.Tag("DBCSRANGE", 1)[0]; ranges > 0; --ranges) {
      const auto [first, last] = reader.Record(0xFF, 0xFF, line);
      if (first < 0x80 || first > last) Fail(path, line, "bad lead byte range");
      if (!page.leadRanges.empty() && first <= page.leadRanges.back().second) {
        Fail(path, line, "lead byte ranges out of order");
      }
      page.leadRanges.emplace_back(first, last);
      for (unsigned lead = first; lead <= last; ++lead) {
        if (page.isLead[lead] || page.byteToText[lead] != kNoMapping) {
          Fail(path, line, "lead byte also mapped on its own");
        }
        page.isLead[lead] = true;
        page.leadLine[lead] = reader.Peek() ? reader.Peek()->number : 0;
        auto& row = page.pairs[lead];
        row.fill(kNoMapping);
        for (unsigned n = reader.Tag("DBCSTABLE", 1)[0]; n > 0; --n) {
          const auto [trail, unit] = reader.Record(0xFF, 0xFFFF, line);
          if (trail == 0 || row[trail] != kNoMapping) Fail(path, line, "bad or repeated trail");
          row[trail] = unit;
        }
      }
    }
  }
  page.wcLine = reader.Peek() ? reader.Peek()->number : 0;
  for (unsigned n = reader.Tag("WCTABLE", 1)[0]; n > 0; --n) {
    const auto [unit, bytes] = reader.Record(0xFFFF, page.kind == 1 ? 0xFF : 0xFFFF, line);
    if (page.wideToBytes[unit] != kNoMapping) Fail(path, line, "unit mapped twice");
    if (bytes > 0xFF ? !page.isLead[bytes >> 8] || (bytes & 0xFF) == 0 : page.isLead[bytes]) {
      Fail(path, line, "bytes that are no character of the code page");
    }
    page.wideToBytes[unit] = bytes;
  }
  reader.Tag("ENDCODEPAGE", 0);
  if (page.leadRanges.size() > 2) Fail(path, 0, "more than two lead byte ranges");
  return page;
}

// What the bytes of a WCTABLE mapping read back as.
unsigned ReadBack(const CodePage& page, unsigned bytes) {
  if (bytes > 0xFF) return page.pairs.at(bytes >> 8)[bytes & 0xFF];
  return page.byteToText[bytes];
}

std::string HexNumber(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
  return buffer;
}

// Writes `values` as a C++ array body, `perLine` entries a line.
void WriteValues(std::ostream& out, const unsigned* values, std::size_t count, int digits,
                 std::size_t perLine) {
  for (std::size_t i = 0; i < count; ++i) {
    out << (i % perLine == 0 ? "    " : " ") << HexNumber(values[i], digits) << ",";
    if (i % perLine == perLine - 1 || i + 1 == count) out << "\n";
  }
}

void Generate(const CodePage& page, std::ostream& out) {
  const unsigned defaultChar = page.defaultChar;
  const std::string name = "kCodePage" + std::to_string(page.number);

  bool asciiIdentity = true;
  for (unsigned b = 0; b < 0x80; ++b) {
    asciiIdentity = asciiIdentity && page.byteToText[b] == b && page.wideToBytes[b] == b;
  }

  // Text to bytes: the round-trip table and the best-fit table, cut into blocks of 256 units,
  // identical blocks stored once.
  std::vector<std::array<unsigned, 256>> blocks;
  std::map<std::array<unsigned, 256>, unsigned> blockIndex;
  std::array<unsigned, 256> roundTripIndex{};
  std::array<unsigned, 256> bestFitIndex{};
  std::vector<std::string> blockNotes;
  for (int bestFit = 0; bestFit < 2; ++bestFit) {
    for (unsigned high = 0; high < 256; ++high) {
      std::array<unsigned, 256> block;
      for (unsigned low = 0; low < 256; ++low) {
        const unsigned unit = high << 8 | low;
        const unsigned bytes = page.wideToBytes[unit];
        const bool keep = bytes != kNoMapping && (bestFit || ReadBack(page, bytes) == unit);
        block[low] = keep ? bytes : page.defaultByte;
      }
      auto [it, added] = blockIndex.emplace(block, static_cast<unsigned>(blocks.size()));
      if (added) {
        blocks.push_back(block);
        char note[48];
        std::snprintf(note, sizeof note, "U+%02X00..U+%02XFF%s", high, high,
                      bestFit ? ", best fit" : "");
        blockNotes.emplace_back(note);
      }
      (bestFit ? bestFitIndex : roundTripIndex)[high] = it->second;
    }
  }

  std::array<unsigned, 256> leadRow{};
  unsigned rows = 0;
  for (unsigned b = 0; b < 256; ++b) leadRow[b] = page.isLead[b] ? ++rows : 0;

  std::string ranges[2] = {"{0x01, 0x00}", "{0x01, 0x00}"};  // empty: no lead bytes
  for (std::size_t r = 0; r < 2 && !page.leadRanges.empty(); ++r) {
    const auto& [first, last] = page.leadRanges[std::min(r, page.leadRanges.size() - 1)];
    char range[24];
    std::snprintf(range, sizeof range, "{0x%02X, 0x%02X}", first, last);
    ranges[r] = range;
  }

  out << "// Generated by tools/codepage_tables.cpp from data/codepages/" << page.source
      << "; do not edit.\n"
         "// Bytes to text: MBTABLE line numbers per byte, DBCSTABLE line per lead byte. Text to\n"
         "// bytes: WCTABLE from line "
      << page.wcLine
      << ", sorted by unit; each block names its first unit.\n"
         "#include <cstdint>\n\n"
         "#include \"ansicrypt/platform/detail/code_page_tables.h\"\n\n"
         "namespace ansicrypt::platform::detail {\n\n"
         "extern const CodePageTables "
      << name
      << ";\n\nnamespace {\n\n// clang-format off\n"
         "// The characters of single bytes, then a row of 256 per lead byte, in one array:\n"
         "// a byte b is at b, a pair at 256 * kLeadRow[lead] + trail.\n"
         "constexpr char16_t kText["
      << rows << " * 256 + 256 + 1] = {\n";
  for (unsigned b = 0; b < 256; ++b) {
    const bool mapped = page.byteToText[b] != kNoMapping;
    out << "    " << HexNumber(mapped ? page.byteToText[b] : defaultChar, 4) << ",  // "
        << HexNumber(b, 2)
        << (mapped           ? ": line " + std::to_string(page.byteLine[b])
            : page.isLead[b] ? ": lead byte"
                             : ": undefined")
        << "\n";
  }
  for (const auto& [lead, row] : page.pairs) {
    out << "    // lead byte " << HexNumber(lead, 2) << ": DBCSTABLE at line "
        << page.leadLine.at(lead) << "\n";
    std::array<unsigned, 256> filled;
    for (unsigned t = 0; t < 256; ++t) filled[t] = row[t] == kNoMapping ? defaultChar : row[t];
    WriteValues(out, filled.data(), 256, 4, 16);
  }
  out << "    0x0000,  // one entry past the end for 32-bit gathers\n"
         "};\n\nconstexpr std::uint8_t kLeadRow[256] = {\n";
  WriteValues(out, leadRow.data(), 256, 2, 16);
  out << "};\n\nconstexpr std::uint16_t kRoundTripIndex[256 + 1] = {\n";
  WriteValues(out, roundTripIndex.data(), 256, 2, 16);
  out << "    0x00,  // one entry past the end for 32-bit gathers\n"
         "};\n\nconstexpr std::uint16_t kBestFitIndex[256 + 1] = {\n";
  WriteValues(out, bestFitIndex.data(), 256, 2, 16);
  out << "    0x00,\n};\n\nconstexpr std::uint16_t kTextToBytes[" << blocks.size()
      << " * 256 + 1] = {\n";
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    out << "    // block " << i << ": " << blockNotes[i] << "\n";
    WriteValues(out, blocks[i].data(), 256, 4, 16);
  }
  out << "    0x0000,\n};\n// clang-format on\n\n}  // namespace\n\nconstinit const CodePageTables "
      << name << " = {\n    " << page.number << ",\n    " << HexNumber(page.defaultByte, 2)
      << ",\n    " << HexNumber(defaultChar, 4) << ",\n    " << (asciiIdentity ? "true" : "false")
      << ",\n    {{" << ranges[0] << ", " << ranges[1] << "}},\n"
      << "    std::span<const char16_t, 256>(kText, 256),\n    kLeadRow,\n    "
      << "std::span<const char16_t>(kText + 256, " << rows << " * 256),\n"
      << "    std::span<const char16_t>(kText, " << rows
      << " * 256 + 256),\n    std::span<const std::uint16_t, 256>(kRoundTripIndex, 256),\n"
         "    std::span<const std::uint16_t, 256>(kBestFitIndex, 256),\n"
         "    std::span<const std::uint16_t>(kTextToBytes, "
      << blocks.size()
      << " * 256),\n};\n\n"
         "}  // namespace ansicrypt::platform::detail\n";
}

void GenerateRegistry(const std::vector<std::string>& numbers, std::ostream& out) {
  out << "// Generated by tools/codepage_tables.cpp: the list of generated code pages; do not "
         "edit.\n#include \"ansicrypt/platform/detail/code_page_tables.h\"\n\n"
         "namespace ansicrypt::platform::detail {\n\n";
  for (const auto& n : numbers) out << "extern const CodePageTables kCodePage" << n << ";\n";
  out << "\nnamespace {\nconstexpr const CodePageTables* kPages[] = {\n";
  for (const auto& n : numbers) out << "    &kCodePage" << n << ",\n";
  out << "};\n}  // namespace\n\nstd::span<const CodePageTables* const> GeneratedCodePages() {"
         " return kPages; }\n\n}  // namespace ansicrypt::platform::detail\n";
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw std::runtime_error(path + ": cannot write");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::ostringstream text;
    if (args.size() >= 2 && args[0] == "--registry") {
      GenerateRegistry({args.begin() + 2, args.end()}, text);
      WriteFile(args[1], text.str());
    } else if (args.size() == 2) {
      Generate(Parse(args[0]), text);
      WriteFile(args[1], text.str());
    } else {
      std::cerr << "usage: codepage_tables BESTFIT.txt OUT.cpp\n"
                   "       codepage_tables --registry OUT.cpp NUMBER...\n";
      return 2;
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "codepage_tables: " << e.what() << "\n";
    return 1;
  }
}
