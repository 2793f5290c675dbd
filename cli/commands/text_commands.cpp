// The text commands, one per text operation of the library: encrypt, decrypt, encode, decode and
// digest. Records are UTF-8, or with --ansi the code page's own bytes; the library converts texts
// through the ANSI code page.
#include <memory>
#include <optional>

#include "ansicrypt/base64/base64.h"
#include "ansicrypt/common/utf8.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/text/des_text.h"
#include "cli/command_line/values.h"
#include "cli/commands/base64_failure.h"
#include "cli/commands/commands.h"
#include "cli/commands/records.h"
#include "cli/io/report.h"

namespace ansicrypt::cli {
namespace {

// decrypt refuses hexadecimal texts of this many digits or more.
constexpr std::size_t kDecryptableDigits = 32767;

struct TextOptions {
  RecordOptions records;
  std::optional<std::string> key;
  bool registers = false;
  bool ansi = false;  // records, the key and decoded results are bytes of the code page
};

// How records and results are read and written: UTF-8 converted through the code page, or with
// --ansi the code page's bytes used as they are, as a BLOB is in SQL.
class Encoding {
 public:
  explicit Encoding(bool ansi) : ansi_(ansi) {}

  // The ANSI bytes of a record (or of the key). Raises BadRecord for a UTF-8 record that is not
  // UTF-8.
  ByteArray Read(std::string_view record) const {
    if (ansi_) return ByteArray(record.begin(), record.end());
    Text text;
    if (!TryUtf8ToText(record, text)) RaiseNotUtf8();
    return platform::TextToAnsi(text);
  }

  // A record read as characters (hexadecimal digits, ASCII in every code page): with --ansi one
  // per byte, else its UTF-8 decoded, as the library's text form reads them.
  Text ReadCharacters(std::string_view record) const {
    if (ansi_) return Text(record.begin(), record.end());
    Text text;
    if (!TryUtf8ToText(record, text)) RaiseNotUtf8();
    return text;
  }

  // A result given as ANSI bytes, as it is written.
  std::string Write(const ByteArray& ansi) const {
    if (ansi_) return std::string(ansi.begin(), ansi.end());
    return TextToUtf8(platform::AnsiToText(ansi));
  }

 private:
  [[noreturn, gnu::cold]] static void RaiseNotUtf8() { throw BadRecord("not valid UTF-8"); }

  bool ansi_;
};

void AddWarning(std::string& warning, const std::string& more) {
  warning += warning.empty() ? more : "; " + more;
}

// Appends a result; warns when it holds the character that ends records, which would split the
// result across two lines of output.
void AppendResult(const std::string& result, char end, std::string& out, std::string& warning) {
  out += result;
  if (result.find(end) != std::string::npos) {
    AddWarning(warning, end == '\n' ? "the result holds a line feed; -z keeps records apart"
                                    : "the result holds a NUL character");
  }
}

void AppendAscii(const Text& text, std::string& out) {
  for (const char16_t c : text) out += static_cast<char>(c);
}

// Each command's operation on one record, made once the options are known and the code page set.
// Every operation is the library's byte form over the record's ANSI bytes, which is what the text
// form computes for a text.
using MakeOperation = RecordOperation (*)(const TextOptions&);

// The key's ANSI bytes, read as a record is; a bad one stops the command before any record.
ByteArray KeyBytes(const TextOptions& options) {
  try {
    return Encoding(options.ansi).Read(*options.key);
  } catch (const BadRecord& e) {
    throw Failure("--key", e.what());
  }
}

RecordOperation Encrypt(const TextOptions& options) {
  return [key = KeyBytes(options), encoding = Encoding(options.ansi)](
             std::string_view record, std::string& out, std::string& warning) {
    const Text hex = EncryptDes_ArrToHex(encoding.Read(record), key);
    AppendAscii(hex, out);
    if (hex.size() >= kDecryptableDigits) {
      AddWarning(warning, std::to_string(hex.size()) +
                              " hexadecimal digits: decrypt takes fewer than 32767");
    }
  };
}

RecordOperation Decrypt(const TextOptions& options) {
  return [key = KeyBytes(options), encoding = Encoding(options.ansi),
          end = options.records.nulEnded ? '\0' : '\n'](std::string_view record, std::string& out,
                                                        std::string& warning) {
    const Text hex = encoding.ReadCharacters(record);
    AppendResult(encoding.Write(DecryptDes_HexToArr(hex, key)), end, out, warning);
    if (hex.size() % 16 != 0) {
      AddWarning(warning, std::to_string(hex.size()) +
                              " digits, not a multiple of 16: encrypt did not make this");
    }
  };
}

RecordOperation Encode(const TextOptions& options) {
  return
      [encoding = Encoding(options.ansi)](std::string_view record, std::string& out, std::string&) {
        const ByteArray encoded = Base64::EncodeBase64(encoding.Read(record));
        out.append(encoded.begin(), encoded.end());
      };
}

// A Base64 text that does not decode is reported with what is wrong and where, counted in the
// text's ANSI bytes, which is what the decoder reads.
RecordOperation Decode(const TextOptions& options) {
  return [encoding = Encoding(options.ansi), end = options.records.nulEnded ? '\0' : '\n'](
             std::string_view record, std::string& out, std::string& warning) {
    const ByteArray bytes = encoding.Read(record);
    ByteArray decoded;
    try {
      decoded = Base64::DecodeBase64(bytes);
    } catch (const Error&) {
      const auto failure = Base64::FindDecodeFailure(bytes);
      if (!failure) throw;
      const std::uint8_t character = failure->offset < bytes.size() ? bytes[failure->offset] : 0;
      throw BadRecord(
          DescribeBase64Failure(failure->error, character, failure->offset, bytes.size()));
    }
    AppendResult(encoding.Write(decoded), end, out, warning);
  };
}

RecordOperation Digest(const TextOptions& options) {
  return [registers = options.registers, encoding = Encoding(options.ansi)](
             std::string_view record, std::string& out, std::string&) {
    clsMD5 md5;
    AppendAscii(md5.Md5_Arr_Calc(encoding.Read(record)), out);
    if (registers) {
      out += TextToUtf8(u" " + md5.RegisterA() + u" " + md5.RegisterB() + u" " + md5.RegisterC() +
                        u" " + md5.RegisterD());
    }
  };
}

struct TextCommand {
  const char* name;
  const char* synopsis;
  const char* summary;
  MakeOperation make;
  bool keyed;
};

constexpr TextCommand kCommands[] = {
    {"encrypt", "--key=KEY [OPTION]... [TEXT]...",
     "DES of each text's ANSI bytes under a text key, as uppercase hexadecimal.", Encrypt, true},
    {"decrypt", "--key=KEY [OPTION]... [HEX]...",
     "Hexadecimal text made by encrypt back to text, under the same key.", Decrypt, true},
    {"encode", "[OPTION]... [TEXT]...", "Base64 of each text's ANSI bytes.", Encode, false},
    {"decode", "[OPTION]... [BASE64]...", "Base64 back to text, read through the ANSI code page.",
     Decode, false},
    {"digest", "[OPTION]... [TEXT]...",
     "MD5 of each text's ANSI bytes, as 32 uppercase hexadecimal digits.", Digest, false},
};

Command MakeTextCommand(const TextCommand& kind) {
  auto options = std::make_shared<TextOptions>();
  Command command;
  command.name = kind.name;
  command.group = kTextsGroup;
  command.synopsis = kind.synopsis;
  command.summary = kind.summary;
  command.honoursCodePage = true;
  command.details =
      "Each operand is a record; with none, each line of standard input is one (a carriage "
      "return before the line feed is dropped). Each record gives one line of output, in input "
      "order. Records are UTF-8, or with --ansi bytes of the code page, used as they are; a "
      "record that is not UTF-8 is a bad record. A bad record stops the command (exit status 1) "
      "unless --keep-going.";
  if (kind.keyed) {
    command.options.push_back({"key", 'k', "KEY",
                               "the key text; its first 8 ANSI bytes take effect",
                               [options](const std::string& value) { options->key = value; }});
  }
  command.options.push_back(
      {"ansi", 0, "",
       std::string("records and the key are bytes of the code page, not UTF-8") +
           (kind.make == Decrypt || kind.make == Decode ? ", and so are the results" : ""),
       [options](const std::string&) { options->ansi = true; }});
  if (kind.make == Digest) {
    command.options.push_back({"registers", 0, "",
                               "also write the four state words as signed decimal numbers",
                               [options](const std::string&) { options->registers = true; }});
  }
  command.options.push_back(
      {"zero", 'z', "",
       "records on standard input, and results, end with NUL instead of a line feed",
       [options](const std::string&) { options->records.nulEnded = true; }});
  command.options.push_back({"jobs", 'j', "N", "convert on N threads (1 to 256); the order is kept",
                             [options](const std::string& value) {
                               options->records.jobs = static_cast<unsigned>(
                                   ReadNumber(value, 1, 256, "--jobs", "a number of threads"));
                             }});
  command.options.push_back(
      {"keep-going", 0, "",
       "after a bad record write an empty line, report it and go on (exit status 1)",
       [options](const std::string&) { options->records.keepGoing = true; }});
  command.finish = [options, kind](std::vector<std::string> operands) -> Runner {
    if (kind.keyed && !options->key) {
      throw UsageError(kind.name, "--key is required", kind.name);
    }
    options->records.operands = std::move(operands);
    return [options, kind] { return RunRecords(kind.name, options->records, kind.make(*options)); };
  };
  return command;
}

}  // namespace

std::vector<Command> TextCommands() {
  std::vector<Command> commands;
  for (const TextCommand& kind : kCommands) commands.push_back(MakeTextCommand(kind));
  return commands;
}

}  // namespace ansicrypt::cli
