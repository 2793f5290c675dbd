// The text commands, one per text operation of the library: encrypt, decrypt, encode, decode and
// digest. Records are UTF-8; the library converts them through the ANSI code page.
#include <memory>

#include "ansicrypt/common/utf8.h"
#include "ansicrypt/digest/md5.h"
#include "ansicrypt/text/base64_text.h"
#include "ansicrypt/text/des_text.h"
#include "cli/arguments.h"
#include "cli/commands/commands.h"
#include "cli/commands/records.h"

namespace ansicrypt::cli {
namespace {

// decrypt refuses hexadecimal texts of this many digits or more.
constexpr std::size_t kDecryptableDigits = 32767;

struct TextOptions {
  RecordOptions records;
  std::string key;
  bool registers = false;
};

void AddWarning(std::string& warning, const std::string& more) {
  warning += warning.empty() ? more : "; " + more;
}

// Appends `text` as UTF-8; warns when it holds the character that ends records, which would split
// the result across two lines of output.
void AppendResult(const Text& text, char end, std::string& out, std::string& warning) {
  const std::size_t at = out.size();
  out += TextToUtf8(text);
  if (out.find(end, at) != std::string::npos) {
    AddWarning(warning, end == '\n' ? "the result holds a line feed; -z keeps records apart"
                                    : "the result holds a NUL character");
  }
}

// Each command's operation on one record, made once the options are known.
using MakeOperation = RecordOperation (*)(const TextOptions&);

RecordOperation Encrypt(const TextOptions& options) {
  return [key = Utf8ToText(options.key)](std::string_view record, std::string& out,
                                         std::string& warning) {
    const Text hex = EncryptDes_StrToHex(Utf8ToText(record), key);
    out += TextToUtf8(hex);
    if (hex.size() >= kDecryptableDigits) {
      AddWarning(warning, std::to_string(hex.size()) +
                              " hexadecimal digits: decrypt takes fewer than 32767");
    }
  };
}

RecordOperation Decrypt(const TextOptions& options) {
  return [key = Utf8ToText(options.key), end = options.records.nulEnded ? '\0' : '\n'](
             std::string_view record, std::string& out, std::string& warning) {
    const Text hex = Utf8ToText(record);
    AppendResult(DecryptDes_HexToStr(hex, key), end, out, warning);
    if (hex.size() % 16 != 0) {
      AddWarning(warning, std::to_string(hex.size()) +
                              " digits, not a multiple of 16: encrypt did not make this");
    }
  };
}

RecordOperation Encode(const TextOptions&) {
  return [](std::string_view record, std::string& out, std::string&) {
    out += TextToUtf8(EncodeBase64_StrToStr(Utf8ToText(record)));
  };
}

RecordOperation Decode(const TextOptions& options) {
  return [end = options.records.nulEnded ? '\0' : '\n'](std::string_view record, std::string& out,
                                                        std::string& warning) {
    AppendResult(DecodeBase64_StrToStr(Utf8ToText(record)), end, out, warning);
  };
}

RecordOperation Digest(const TextOptions& options) {
  return [registers = options.registers](std::string_view record, std::string& out, std::string&) {
    clsMD5 md5;
    out += TextToUtf8(md5.Md5_String_Calc(Utf8ToText(record)));
    if (registers) {
      out += TextToUtf8(u" " + md5.RegisterA() + u" " + md5.RegisterB() + u" " + md5.RegisterC() +
                        u" " + md5.RegisterD());
    }
  };
}

struct TextCommand {
  const char* name;
  const char* description;
  MakeOperation make;
  bool keyed;
};

constexpr TextCommand kCommands[] = {
    {"encrypt", "DES of each text's ANSI bytes under a text key, as uppercase hexadecimal", Encrypt,
     true},
    {"decrypt", "Hexadecimal text made by encrypt back to text, under the same key", Decrypt, true},
    {"encode", "Base64 of each text's ANSI bytes", Encode, false},
    {"decode", "Base64 back to text, read through the ANSI code page", Decode, false},
    {"digest", "MD5 of each text's ANSI bytes, as 32 uppercase hexadecimal digits", Digest, false},
};

void AddTextCommand(CLI::App& app, Runner& selected, const TextCommand& kind) {
  auto options = std::make_shared<TextOptions>();
  CLI::App* command = app.add_subcommand(kind.name, kind.description);
  command->group("Texts, one record per argument or input line, through the ANSI code page");
  Verbatim(command->add_option("records", options->records.operands,
                               "Records to convert (default: one per line of standard input)"));
  command->add_flag("-z,--zero", options->records.nulEnded,
                    "Records on standard input, and results, end with NUL instead of a line feed");
  command->add_option("-j,--jobs", options->records.jobs, "Convert on this many threads")
      ->check(CLI::Range(1, 256));
  command->add_flag("--keep-going", options->records.keepGoing,
                    "After a bad record write an empty line, report it and go on (exit status 1)");
  if (kind.keyed) {
    // Checked below rather than by CLI11, so that a mistyped option is named first.
    Verbatim(command->add_option("--key", options->key,
                                 "The key text; its first 8 ANSI bytes take effect"));
  }
  if (kind.make == Digest) {
    command->add_flag("--registers", options->registers,
                      "Also write the four state words as signed decimal numbers");
  }
  command->callback([options, command, kind, &selected] {
    if (kind.keyed && command->count("--key") == 0) throw CLI::RequiredError("--key");
    selected = [options, kind] {
      return RunRecords(kind.name, options->records, kind.make(*options));
    };
  });
}

}  // namespace

void AddTextCommands(CLI::App& app, Runner& selected) {
  for (const TextCommand& kind : kCommands) AddTextCommand(app, selected, kind);
}

}  // namespace ansicrypt::cli
