// ansicrypt encrypt / decrypt: the hexadecimal-text cipher; ansicrypt des: binary ECB over streams.
#include <memory>
#include <optional>

#include "ansicrypt/cipher/des.h"
#include "ansicrypt/common/utf8.h"
#include "ansicrypt/text/des_text.h"
#include "cli/commands.h"
#include "cli/io.h"

namespace ansicrypt::cli {
namespace {

struct TextCipherOptions {
  std::string key;
  std::optional<std::string> text;
};

// The positional text, or all of standard input without the line feed a pipe adds.
Text InputText(const TextCipherOptions& options) {
  if (options.text) return Utf8ToText(*options.text);
  std::string all = Input("-").ReadAll();
  StripTrailingNewline(all);
  return Utf8ToText(all);
}

void AddTextCipher(CLI::App& app, Runner& selected, const char* name, const char* description,
                   const char* textName, Text (*operation)(const Text&, const Text&)) {
  auto options = std::make_shared<TextCipherOptions>();
  CLI::App* command = app.add_subcommand(name, description);
  command->add_option("--key", options->key, "The key text; its first 8 ANSI bytes take effect")
      ->required();
  command->add_option(textName, options->text, "The text (default: all of standard input)");
  command->callback([options, &selected, operation, name] {
    selected = [options, operation, name] {
      Text result;
      try {
        result = operation(InputText(*options), Utf8ToText(options->key));
      } catch (const Error& e) {
        throw Failure(name, e.code());
      }
      Output("-").Write(TextToUtf8(result) + "\n");
      return 0;
    };
  });
}

struct DesOptions {
  bool encrypt = false;
  bool decrypt = false;
  std::string keyHex;
  unsigned keyNumber = 1;
  bool triple = false;
  std::string in = "-";
  std::string out = "-";
};

ByteArray KeyBytes(const std::string& hex) {
  ByteArray key(hex.size() / 2);
  for (std::size_t i = 0; i < key.size(); ++i) {
    key[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  }
  return key;
}

// Runs the cipher over the input in pieces of 32,760 bytes, a multiple of the block size, so that
// the result is that of one call over the whole input, without its length limit.
int RunDes(const DesOptions& options) {
  DES des;
  des.SetKey(KeyBytes(options.keyHex));
  const std::uint8_t direction = options.encrypt ? 1 : 2;
  Input in(options.in);
  Output out(options.out);
  ByteArray result;
  bool first = true;
  while (true) {
    const ByteArray piece = in.ReadFull(DES::kMaxInputBytes);
    if (piece.empty() && !first) break;  // an empty input is the cipher's to refuse
    first = false;
    try {
      if (options.triple) {
        des.Encrypt3Des_ArrToArr(piece, result, direction);
      } else {
        std::uint8_t keyNumber = static_cast<std::uint8_t>(options.keyNumber);
        des.EncryptDes_ArrToArr(piece, result, keyNumber, direction);
      }
    } catch (const Error& e) {
      throw Failure("des", e.code());
    }
    out.Write(result);
    if (piece.size() < DES::kMaxInputBytes) break;
  }
  out.Commit();
  return 0;
}

}  // namespace

void AddTextCipherCommands(CLI::App& app, Runner& selected) {
  AddTextCipher(app, selected, "encrypt",
                "Encrypt a text's ANSI bytes with DES under a text key, to uppercase hexadecimal",
                "text", &EncryptDes_StrToHex);
  AddTextCipher(app, selected, "decrypt",
                "Decrypt hexadecimal text made by encrypt under the same key, to text", "hex",
                &DecryptDes_HexToStr);
}

void AddDesCommand(CLI::App& app, Runner& selected) {
  auto options = std::make_shared<DesOptions>();
  CLI::App* command = app.add_subcommand(
      "des", "DES or two-key triple DES in ECB mode over bytes; the last block is zero-filled");
  auto* encrypt = command->add_flag("-e,--encrypt", options->encrypt, "Encrypt");
  auto* decrypt = command->add_flag("-d,--decrypt", options->decrypt, "Decrypt");
  encrypt->excludes(decrypt);
  command
      ->add_option("--key", options->keyHex,
                   "Key as 16 hexadecimal digits (key 1) or 32 (key 1 and key 2)")
      ->required()
      ->check([](const std::string& hex) {
        const bool digits = hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        return digits && (hex.size() == 16 || hex.size() == 32)
                   ? std::string()
                   : std::string("16 or 32 hexadecimal digits");
      });
  auto* keyNumber =
      command->add_option("--key-number", options->keyNumber, "Single DES under key 1 or key 2")
          ->check(CLI::IsMember({1U, 2U}));
  auto* triple = command->add_flag("--triple", options->triple,
                                   "Two-key triple DES: encrypt with key 1, decrypt with key 2, "
                                   "encrypt with key 1");
  triple->excludes(keyNumber);
  command->add_option("in", options->in, "Input file (default -: standard input)");
  command->add_option("out", options->out, "Output file (default -: standard output)");
  command->callback([options, &selected] {
    if (options->encrypt == options->decrypt) throw CLI::ValidationError("des", "give -e or -d");
    selected = [options] { return RunDes(*options); };
  });
}

}  // namespace ansicrypt::cli
