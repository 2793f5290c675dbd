// The peer of the tool's record commands and of the Python and SQL bindings: the library's text
// operation called in a tight loop over records already in memory, one thread. Prints records per
// second. With "base64-bytes", decodes the whole FILE as Base64 into a new array instead, best of
// three, and prints megabytes of Base64 per second.
//   ansicrypt_records_loop (encrypt|decrypt|encode|decode|digest|base64-bytes) KEY FILE
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "ansicrypt/base64/base64.h"
#include "ansicrypt/common/utf8.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/text/base64_text.h"
#include "ansicrypt/text/des_text.h"

int main(int argc, char** argv) {
  using namespace ansicrypt;
  if (argc != 4) {
    std::cerr << "usage: ansicrypt_records_loop OPERATION KEY FILE\n";
    return 2;
  }
  const std::string operation = argv[1];
  if (operation == "base64-bytes") {
    std::ifstream in(argv[3], std::ios::binary);
    const ByteArray text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    double best = 0;
    for (int run = 0; run < 3; ++run) {
      const auto start = std::chrono::steady_clock::now();
      const ByteArray decoded = Base64::DecodeBase64(text);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (decoded.empty() != text.empty()) return 1;
      if (run == 0 || seconds < best) best = seconds;
    }
    std::printf("%.1f MB/s\n", static_cast<double>(text.size()) / best / 1e6);
    return 0;
  }
  const Text key = Utf8ToText(argv[2]);
  std::vector<Text> records;
  std::ifstream in(argv[3]);
  for (std::string line; std::getline(in, line);) records.push_back(Utf8ToText(line));
  std::size_t total = 0;  // keeps the results alive for the optimiser
  clsMD5 md5;
  const auto start = std::chrono::steady_clock::now();
  for (const Text& record : records) {
    Text result;
    if (operation == "encrypt") result = EncryptDes_StrToHex(record, key);
    if (operation == "decrypt") result = DecryptDes_HexToStr(record, key);
    if (operation == "encode") result = EncodeBase64_StrToStr(record);
    if (operation == "decode") result = DecodeBase64_StrToStr(record);
    if (operation == "digest") result = md5.Md5_String_Calc(record);
    total += result.size();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.0f records/s (%zu result units)\n", static_cast<double>(records.size()) / seconds,
              total);
  return 0;
}
