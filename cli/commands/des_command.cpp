// ansicrypt des: DES or two-key triple DES in ECB mode over a stream of bytes, the last block
// zero-filled, with reading, ciphering and writing overlapped.
#include <memory>
#include <optional>

#include "ansicrypt/cipher/des.h"
#include "cli/command_line/values.h"
#include "cli/commands/commands.h"
#include "cli/commands/stream_options.h"
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
  std::optional<bool> encrypt;  // -e or -d, the last given
  std::optional<std::string> keyHex;
  unsigned keyNumber = 1;
  bool keyNumberGiven = false;
  bool triple = false;
  std::string in = "-";
  std::shared_ptr<std::string> out = std::make_shared<std::string>("-");
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
  des.SetKey(KeyBytes(*options.keyHex));
  const std::uint8_t direction = *options.encrypt ? 1 : 2;
  StreamInput in(options.in);
  Output out(*options.out);
  out.RefuseSameFile(in.identity(), in.name());
  OverlappedWriter writer(out);
  ByteArray piece(kPieceBytes);
  ByteArray call;
  ByteArray result;
  while (true) {
    piece.resize(in.ReadFull(piece.data(), kPieceBytes));
    // The stream has no length limit, the empty one included: it gives no blocks.
    if (piece.empty()) break;
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

Command DesCommand() {
  auto options = std::make_shared<DesOptions>();
  Command command;
  command.name = "des";
  command.group = kStreamsGroup;
  command.synopsis = "(-e|-d) --key=HEX [OPTION]... [FILE]";
  command.summary =
      "DES or two-key triple DES in ECB mode over bytes of any number; the last block is "
      "zero-filled.";
  command.details = std::string(kStreamDetails) + " The empty input gives the empty output.";
  command.options = {
      {"encrypt", 'e', "", "encrypt", [options](const std::string&) { options->encrypt = true; }},
      {"decrypt", 'd', "", "decrypt", [options](const std::string&) { options->encrypt = false; }},
      {"key", 0, "HEX",
       "key 1 as 16 hexadecimal digits, or keys 1 and 2 as 32 (needed by --triple and "
       "--key-number 2)",
       [options](const std::string& value) { options->keyHex = value; }},
      {"key-number", 0, "N", "single DES under key 1 (the default) or key 2",
       [options](const std::string& value) {
         options->keyNumber =
             static_cast<unsigned>(ReadNumber(value, 1, 2, "--key-number", "a key number"));
         options->keyNumberGiven = true;
       }},
      {"triple", 0, "",
       "two-key triple DES: encrypt with key 1, decrypt with key 2, encrypt with key 1",
       [options](const std::string&) { options->triple = true; }},
      OutputOption(options->out),
  };
  command.finish = [options](std::vector<std::string> operands) -> Runner {
    options->in = InputOperand("des", operands);
    if (!options->encrypt) throw UsageError("des", "give -e to encrypt or -d to decrypt", "des");
    if (!options->keyHex) throw UsageError("des", "--key is required", "des");
    const std::size_t digits = options->keyHex->size();
    if (!IsHex(*options->keyHex) || (digits != 16 && digits != 32)) {
      throw UsageError("--key", "needs 16 or 32 hexadecimal digits", "des");
    }
    if (options->triple && options->keyNumberGiven) {
      throw UsageError("des", "--triple and --key-number exclude each other", "des");
    }
    if ((options->triple || options->keyNumber == 2) && digits != 32) {
      throw UsageError("--key",
                       std::string(options->triple ? "--triple" : "--key-number 2") +
                           " needs keys 1 and 2: 32 hexadecimal digits",
                       "des");
    }
    return [options] { return RunDes(*options); };
  };
  return command;
}

}  // namespace ansicrypt::cli
