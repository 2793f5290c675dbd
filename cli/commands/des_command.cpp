// ansicrypt des: DES or two-key triple DES in ECB mode over a stream of bytes, the last block
// zero-filled, with reading, ciphering and writing overlapped.
#include <memory>

#include "ansicrypt/cipher/des.h"
#include "cli/arguments.h"
#include "cli/commands/commands.h"
#include "cli/io/output_file.h"
#include "cli/io/overlapped_writer.h"
#include "cli/io/report.h"
#include "cli/io/stream_input.h"

namespace ansicrypt::cli {
namespace {

// Pieces are whole blocks, so that the result is that of one call over the whole input, without
// the cipher's length limit; each piece is ciphered in calls of the largest size the cipher takes.
constexpr std::size_t kPieceBytes = 1 << 20;
static_assert(kPieceBytes % 8 == 0 && DES::kMaxInputBytes % 8 == 0);

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

int RunDes(const DesOptions& options) {
  DES des;
  des.SetKey(KeyBytes(options.keyHex));
  const std::uint8_t direction = options.encrypt ? 1 : 2;
  StreamInput in(options.in);
  Output out(options.out);
  out.RefuseSameFile(in.identity(), in.name());
  OverlappedWriter writer(out);
  ByteArray piece(kPieceBytes);
  ByteArray call;
  ByteArray result;
  for (bool first = true;; first = false) {
    piece.resize(in.ReadFull(piece.data(), kPieceBytes));
    // An empty input is the cipher's to refuse; an input that ends on a piece gives no more.
    if (piece.empty() && !first) break;
    ByteArray output = writer.TakeBuffer();
    try {
      std::size_t at = 0;
      do {
        const std::size_t n = std::min(piece.size() - at, DES::kMaxInputBytes);
        call.assign(piece.begin() + static_cast<std::ptrdiff_t>(at),
                    piece.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (options.triple) {
          des.Encrypt3Des_ArrToArr(call, result, direction);
        } else {
          std::uint8_t keyNumber = static_cast<std::uint8_t>(options.keyNumber);
          des.EncryptDes_ArrToArr(call, result, keyNumber, direction);
        }
        output.insert(output.end(), result.begin(), result.end());
        at += n;
      } while (at < piece.size());
    } catch (const Error& e) {
      throw Failure("des", e.code());
    }
    writer.Submit(std::move(output));
    if (piece.size() < kPieceBytes) break;
    piece.resize(kPieceBytes);
  }
  writer.Finish();
  out.Commit();
  return 0;
}

bool IsHex(const std::string& text) {
  return text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

}  // namespace

void AddDesCommand(CLI::App& app, Runner& selected) {
  auto options = std::make_shared<DesOptions>();
  CLI::App* command = app.add_subcommand(
      "des", "DES or two-key triple DES in ECB mode over bytes; the last block is zero-filled");
  command->group("Streams of bytes");
  command->add_flag("-e,--encrypt", options->encrypt, "Encrypt");
  command->add_flag("-d,--decrypt", options->decrypt, "Decrypt");
  Verbatim(command->add_option("--key", options->keyHex,
                               "Key 1 as 16 hexadecimal digits, or keys 1 and 2 as 32 (needed by "
                               "--triple and --key-number 2)"));
  auto* keyNumber =
      command->add_option("--key-number", options->keyNumber, "Single DES under key 1 or key 2")
          ->check(CLI::IsMember({1U, 2U}));
  command
      ->add_flag("--triple", options->triple,
                 "Two-key triple DES: encrypt with key 1, decrypt with key 2, encrypt with key 1")
      ->excludes(keyNumber);
  Verbatim(command->add_option("file", options->in, "Input file (none or -: standard input)"));
  Verbatim(
      command->add_option("-o,--output", options->out, "Output file (default: standard output)"));
  command->callback([options, command, &selected] {
    if (options->encrypt == options->decrypt) {
      throw CLI::ValidationError("des", "give one of -e and -d");
    }
    if (command->count("--key") == 0) throw CLI::RequiredError("--key");
    const std::size_t digits = options->keyHex.size();
    if (!IsHex(options->keyHex) || (digits != 16 && digits != 32)) {
      throw CLI::ValidationError("--key", "16 or 32 hexadecimal digits");
    }
    if ((options->triple || options->keyNumber == 2) && digits != 32) {
      throw CLI::ValidationError("--key",
                                 std::string(options->triple ? "--triple" : "--key-number 2") +
                                     " needs keys 1 and 2: 32 hexadecimal digits");
    }
    selected = [options] { return RunDes(*options); };
  });
}

}  // namespace ansicrypt::cli
