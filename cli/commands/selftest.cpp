// ansicrypt selftest: built-in known answers of every service, one table row per service.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ansicrypt/base64/base64.h"
#include "ansicrypt/cipher/des.h"
#include "ansicrypt/common/hex_text.h"
#include "ansicrypt/common/simd_paths.h"
#include "ansicrypt/common/utf8.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/text/base64_text.h"
#include "ansicrypt/text/des_text.h"
#include "cli/commands/commands.h"
#include "cli/io/output_file.h"
#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {
namespace {

ByteArray FromHex(std::string_view hex) {
  ByteArray bytes(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] =
        static_cast<std::uint8_t>(std::stoul(std::string(hex.substr(2 * i, 2)), nullptr, 16));
  }
  return bytes;
}

std::string Hex(const ByteArray& bytes) { return TextToUtf8(HexText(bytes)); }

struct Cipher {
  const char* key;
  const char* plain;
  const char* cipher;
};

// FIPS 81 appendix B and NIST SP 800-17 known answers; the last is two-key triple DES (NIST CAVP
// TECBMMT2).
constexpr Cipher kSingleDes[] = {
    {"0123456789ABCDEF", "4E6F77206973207468652074696D6520666F7220616C6C20",
     "3FA40E8A984D48156A271787AB8883F9893D51EC4B563B53"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"3849674C2602319E", "51454B582DDF440A", "7178876E01F19B2A"},
};
constexpr Cipher kTripleDes[] = {
    {"AD192FD064B5579E7A4FB3C8F794F22A", "13BAD542F3652D67", "908E543CF2CB254F"},
};

bool CheckSingleDes(const Cipher& v) {
  DES des;
  des.SetKey(FromHex(v.key));
  ByteArray out, back;
  std::uint8_t keyNumber = 1;
  des.EncryptDes_ArrToArr(FromHex(v.plain), out, keyNumber, 1);
  des.EncryptDes_ArrToArr(out, back, keyNumber, 2);
  return Hex(out) == v.cipher && Hex(back) == v.plain;
}

bool CheckTripleDes(const Cipher& v) {
  DES des;
  des.SetKey(FromHex(v.key));
  ByteArray out, back;
  des.Encrypt3Des_ArrToArr(FromHex(v.plain), out, 1);
  des.Encrypt3Des_ArrToArr(out, back, 2);
  return Hex(out) == v.cipher && Hex(back) == v.plain;
}

// RFC 1321 appendix A.5.
constexpr std::pair<const char*, const char*> kMd5[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

// RFC 4648 section 10.
constexpr std::pair<const char*, const char*> kBase64[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

struct TextVector {
  unsigned codePage;
  const char* plain;  // UTF-8
  const char* key;
  const char* result;
};

// Computed with OpenSSL's DES over the code page's bytes of the text and key.
constexpr TextVector kHexText[] = {
    {1252, "Legacy data!", "12345678", "49FDC43D6090F19023378E9BEC8EBA8C"},
    {936, "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAF\x86\xE6\x96\x87", "\xE5\xAF\x86\xE9\x92\xA5",
     "28791EE85EEE5858"},
};

constexpr TextVector kBase64Text[] = {
    {1252, "Man", "", "TWFu"},
    {1252, "caf\xC3\xA9", "", "Y2Fm6Q=="},
    {936, "\xE4\xB8\xAD\xE6\x96\x87", "", "1tDOxA=="},
};

// Runs `check` on every vector; any error counts as a failure.
template <class Vector, std::size_t N>
bool All(const Vector (&vectors)[N], const std::function<bool(const Vector&)>& check) {
  bool passed = true;
  for (const Vector& v : vectors) {
    try {
      passed = check(v) && passed;
    } catch (const std::exception&) {
      passed = false;
    }
  }
  return passed;
}

// The vectors of texts hold for their code page without best fit; the settings are restored.
class CodePageSetting {
 public:
  explicit CodePageSetting(unsigned codePage)
      : savedPage_(platform::AnsiCodePage()), savedBestFit_(platform::AnsiBestFit()) {
    platform::SetAnsiCodePage(codePage);
    platform::SetAnsiBestFit(false);
  }
  ~CodePageSetting() {
    platform::SetAnsiCodePage(savedPage_);
    platform::SetAnsiBestFit(savedBestFit_);
  }
  CodePageSetting(const CodePageSetting&) = delete;
  CodePageSetting& operator=(const CodePageSetting&) = delete;

 private:
  unsigned savedPage_;
  bool savedBestFit_;
};

int RunSelftest() {
  using Pair = std::pair<const char*, const char*>;
  struct Row {
    const char* service;
    std::size_t vectors;
    bool passed;
  };
  std::vector<Row> rows = {
      {"DES (FIPS 81, NIST SP 800-17)", std::size(kSingleDes),
       All<Cipher>(kSingleDes, CheckSingleDes)},
      {"two-key triple DES (NIST CAVP)", std::size(kTripleDes),
       All<Cipher>(kTripleDes, CheckTripleDes)},
      {"MD5 (RFC 1321)", std::size(kMd5),
       All<Pair>(kMd5,
                 [](const Pair& v) {
                   const CodePageSetting setting(1252);
                   return TextToUtf8(clsMD5().Md5_String_Calc(Utf8ToText(v.first))) == v.second;
                 })},
      {"Base64 (RFC 4648)", std::size(kBase64),
       All<Pair>(kBase64,
                 [](const Pair& v) {
                   const std::string_view plain = v.first, encoded = v.second;
                   return Base64::EncodeBase64(ByteArray(plain.begin(), plain.end())) ==
                              ByteArray(encoded.begin(), encoded.end()) &&
                          Base64::DecodeBase64(ByteArray(encoded.begin(), encoded.end())) ==
                              ByteArray(plain.begin(), plain.end());
                 })},
      {"hex-text DES (1252, 936)", std::size(kHexText),
       All<TextVector>(kHexText,
                       [](const TextVector& v) {
                         const CodePageSetting setting(v.codePage);
                         const Text hex =
                             EncryptDes_StrToHex(Utf8ToText(v.plain), Utf8ToText(v.key));
                         return TextToUtf8(hex) == v.result &&
                                TextToUtf8(DecryptDes_HexToStr(hex, Utf8ToText(v.key))) == v.plain;
                       })},
      {"Base64 text (1252, 936)", std::size(kBase64Text),
       All<TextVector>(kBase64Text,
                       [](const TextVector& v) {
                         const CodePageSetting setting(v.codePage);
                         const Text encoded = EncodeBase64_StrToStr(Utf8ToText(v.plain));
                         return TextToUtf8(encoded) == v.result &&
                                TextToUtf8(DecodeBase64_StrToStr(encoded)) == v.plain;
                       })},
  };
  // The code page the command line chose: every byte read alone, written back and read again
  // gives the same text (nothing is lost on the way that the first reading kept).
  const std::string page = "ANSI code page " + std::to_string(platform::AnsiCodePage()) +
                           (platform::AnsiBestFit() ? ", best fit" : "");
  rows.push_back({page.c_str(), 256, [] {
                    for (unsigned b = 0; b < 256; ++b) {
                      const Text once = platform::AnsiToText({static_cast<std::uint8_t>(b)});
                      if (platform::AnsiToText(platform::TextToAnsi(once)) != once) return false;
                    }
                    return true;
                  }()});
  bool allPassed = true;
  std::string table;
  char line[96];
  std::snprintf(line, sizeof line, "%-32s %7s  %s\n", "service", "vectors", "result");
  table += line;
  for (const Row& row : rows) {
    std::snprintf(line, sizeof line, "%-32s %7zu  %s\n", row.service, row.vectors,
                  row.passed ? "PASS" : "FAIL");
    table += line;
    allPassed = allPassed && row.passed;
  }
  // The vectors ran on the paths in use; say which, and what ANSICRYPT_SIMD could choose.
  table += "SIMD paths: " + std::string(ActiveSimdPath()) +
           " (this processor: " + std::string(ProcessorSimdPath()) + ")\n";
  Output("-").Write(table);
  return allPassed ? 0 : 1;
}

}  // namespace

Command SelftestCommand() {
  Command command;
  command.name = "selftest";
  command.group = "Other";
  command.synopsis = "";
  command.summary = "Check every service against built-in known answers.";
  command.honoursCodePage = true;
  command.finish = [](std::vector<std::string> operands) -> Runner {
    if (!operands.empty()) {
      throw UsageError("selftest", "extra operand " + QuoteAlways(operands.front()), "selftest");
    }
    return RunSelftest;
  };
  return command;
}

}  // namespace ansicrypt::cli
