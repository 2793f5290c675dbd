// Reads Windows' code-page description files: tag lines (CODEPAGE, CPINFO, MBTABLE, DBCSRANGE,
// DBCSTABLE, WCTABLE, ENDCODEPAGE) and two-field hexadecimal records, comments after ';'.
#include "tests/support/bestfit_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ansicrypt::test {
namespace {

std::vector<std::vector<std::string>> Records(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::vector<std::string>> records;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line.substr(0, line.find(';')));
    std::vector<std::string> record;
    for (std::string field; fields >> field;) record.push_back(field);
    if (!record.empty()) records.push_back(record);
  }
  return records;
}

unsigned Value(const std::string& field) { return static_cast<unsigned>(std::stoul(field, 0, 0)); }

}  // namespace

std::optional<char16_t> BestFitFile::Read(std::uint16_t bytes) const {
  if (bytes > 0xFF) {
    const auto it = pairs.find(bytes);
    return it == pairs.end() ? std::nullopt : std::optional(it->second);
  }
  const auto it = single.find(static_cast<std::uint8_t>(bytes));
  return it == single.end() ? std::nullopt : std::optional(it->second);
}

ByteArray BestFitFile::Bytes(std::uint16_t value) {
  if (value > 0xFF)
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  return {static_cast<std::uint8_t>(value)};
}

Text BestFitFile::Decode(const ByteArray& bytes) const {
  Text text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t byte = bytes[i];
    if (leads.contains(byte)) {
      // A lead byte takes the next byte unless there is none or it is zero.
      if (i + 1 < bytes.size() && bytes[i + 1] != 0) {
        text += Read(static_cast<std::uint16_t>(byte << 8 | bytes[i + 1])).value_or(defaultChar);
        ++i;
      } else {
        text += defaultChar;
      }
    } else {
      text += Read(byte).value_or(defaultChar);
    }
  }
  return text;
}

ByteArray BestFitFile::Encode(std::u16string_view text, bool bestFit) const {
  ByteArray bytes;
  for (const char16_t unit : text) {
    ByteArray piece{defaultByte};
    if (const auto it = wide.find(unit); it != wide.end()) {
      if (bestFit || Read(it->second) == unit) piece = Bytes(it->second);
    }
    bytes.insert(bytes.end(), piece.begin(), piece.end());
  }
  return bytes;
}

BestFitFile ReadBestFitFile(unsigned codePage) {
  const std::string path =
      std::string(ANSICRYPT_CODE_PAGE_DATA_DIR) + "/bestfit" + std::to_string(codePage) + ".txt";
  const auto records = Records(path);
  BestFitFile file;
  std::size_t at = 0;
  auto expect = [&](bool ok, const char* what) {
    if (!ok) throw std::runtime_error(path + ": record " + std::to_string(at) + ": " + what);
  };
  auto take = [&]() -> const std::vector<std::string>& {
    expect(at < records.size(), "cut off");
    return records[at++];
  };
  auto count = [&](const char* tag) {
    const auto& r = take();
    expect(r.size() == 2 && r[0] == tag, tag);
    return Value(r[1]);
  };
  auto pair = [&]() {
    const auto& r = take();
    expect(r.size() == 2 && r[0].rfind("0x", 0) == 0, "record");
    return std::pair{Value(r[0]), Value(r[1])};
  };

  file.codePage = count("CODEPAGE");
  const auto& info = take();
  expect(info.size() == 4 && info[0] == "CPINFO", "CPINFO");
  file.doubleByte = Value(info[1]) == 2;
  file.defaultByte = static_cast<std::uint8_t>(Value(info[2]));
  file.defaultChar = static_cast<char16_t>(Value(info[3]));
  for (unsigned n = count("MBTABLE"); n > 0; --n) {
    const auto [byte, unit] = pair();
    file.single[static_cast<std::uint8_t>(byte)] = static_cast<char16_t>(unit);
  }
  if (file.doubleByte) {
    for (unsigned ranges = count("DBCSRANGE"); ranges > 0; --ranges) {
      const auto [first, last] = pair();
      for (unsigned lead = first; lead <= last; ++lead) {
        file.leads.insert(static_cast<std::uint8_t>(lead));
        for (unsigned n = count("DBCSTABLE"); n > 0; --n) {
          const auto [trail, unit] = pair();
          file.pairs[static_cast<std::uint16_t>(lead << 8 | trail)] = static_cast<char16_t>(unit);
        }
      }
    }
  }
  for (unsigned n = count("WCTABLE"); n > 0; --n) {
    const auto [unit, bytes] = pair();
    file.wide[static_cast<char16_t>(unit)] = static_cast<std::uint16_t>(bytes);
  }
  expect(take() == std::vector<std::string>{"ENDCODEPAGE"}, "ENDCODEPAGE");
  return file;
}

const std::vector<unsigned>& BestFitCodePages() {
  static const std::vector<unsigned> pages = {874,  932,  936,  949,  950,  1250, 1251,
                                              1252, 1253, 1254, 1255, 1256, 1257, 1258};
  return pages;
}

}  // namespace ansicrypt::test
