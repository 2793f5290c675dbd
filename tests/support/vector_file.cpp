// Reader for the test-vector files under tests/data.
#include "tests/support/vector_file.h"

#include <fstream>
#include <stdexcept>

namespace ansicrypt::test {
namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw std::invalid_argument(std::string("not a hex digit: ") + c);
}

}  // namespace

const std::string& VectorRecord::at(const std::string& name) const {
  const auto it = fields.find(name);
  if (it == fields.end()) {
    throw std::out_of_range(file + ":" + std::to_string(line) + ": no field " + name);
  }
  return it->second;
}

std::vector<VectorRecord> ReadVectorFile(const std::string& name) {
  const std::string path = std::string(ANSICRYPT_TEST_DATA_DIR) + "/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<VectorRecord> records;
  VectorRecord current;
  current.file = name;
  auto flush = [&] {
    if (!current.fields.empty()) records.push_back(current);
    current.fields.clear();
  };
  std::string raw;
  int lineNumber = 0;
  while (std::getline(in, raw)) {
    ++lineNumber;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string_view line = Trim(raw);
    if (line.empty()) {
      flush();
    } else if (line.front() == '#') {
      continue;
    } else if (line.front() == '[' && line.back() == ']') {
      flush();
      current.section = std::string(line.substr(1, line.size() - 2));
    } else if (const auto eq = line.find('='); eq != std::string_view::npos) {
      if (current.fields.empty()) current.line = lineNumber;
      current.fields[std::string(Trim(line.substr(0, eq)))] =
          std::string(Trim(line.substr(eq + 1)));
    }
  }
  flush();
  return records;
}

ByteArray FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) throw std::invalid_argument("odd hex length");
  ByteArray bytes(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]));
  }
  return bytes;
}

std::string ToHex(const ByteArray& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xf];
  }
  return hex;
}

}  // namespace ansicrypt::test
