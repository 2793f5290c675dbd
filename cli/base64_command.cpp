// ansicrypt base64: Base64 of bytes streamed in pieces, or of a text's ANSI bytes.
#include <memory>

#include "ansicrypt/base64/base64.h"
#include "ansicrypt/common/utf8.h"
#include "ansicrypt/text/base64_text.h"
#include "cli/commands.h"
#include "cli/io.h"

namespace ansicrypt::cli {
namespace {

struct Base64Options {
  bool decode = false;
  bool text = false;
  std::string in = "-";
  std::string out = "-";
};

// Pieces are whole groups (3 bytes in, 4 characters out), so that the result equals that of one
// call over the whole input while memory stays constant.
constexpr std::size_t kBytesPerPiece = 3 << 18;
constexpr std::size_t kCharactersPerPiece = 4 << 18;

void Encode(Input& in, Output& out) {
  ByteArray piece(kBytesPerPiece);
  ByteArray encoded;
  while (true) {
    piece.resize(in.ReadFull(piece.data(), kBytesPerPiece));
    Base64::EncodeBase64(piece, encoded);
    out.Write(encoded);
    if (piece.size() < kBytesPerPiece) return;
    piece.resize(kBytesPerPiece);
  }
}

// Decodes a piece that more input follows. A pad character at its end is not the end of the data:
// its group is decoded as an inner group, which raises the same error as one whole call would.
void DecodeInnerPiece(const ByteArray& piece, ByteArray& decoded) {
  if (piece.back() != '=') {
    Base64::DecodeBase64(piece, decoded);
    return;
  }
  const ByteArray lastGroupFirst(piece.end() - 4, piece.end());
  ByteArray probe(piece.begin(), piece.end() - 4);
  Base64::DecodeBase64(probe, decoded);  // errors of earlier groups come first
  probe = lastGroupFirst;
  probe.insert(probe.end(), {'A', 'A', 'A', 'A'});
  Base64::DecodeBase64(probe, decoded);
  throw Error(errc::overflow);  // not reached: "=" inside the data is refused above
}

// A line feed at the very end of the input (as a shell adds) is dropped.
void Decode(Input& in, Output& out) {
  ByteArray piece = in.ReadFull(kCharactersPerPiece);
  ByteArray decoded;
  while (true) {
    ByteArray next =
        piece.size() == kCharactersPerPiece ? in.ReadFull(kCharactersPerPiece) : ByteArray{};
    const bool nextIsNewline = (next.size() == 1 && next[0] == '\n') ||
                               (next.size() == 2 && next[0] == '\r' && next[1] == '\n');
    if (nextIsNewline) next.clear();
    if (next.empty()) {
      if (!piece.empty() && piece.back() == '\n') {
        piece.pop_back();
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
      }
      Base64::DecodeBase64(piece, decoded);
      out.Write(decoded);
      return;
    }
    DecodeInnerPiece(piece, decoded);
    out.Write(decoded);
    piece = std::move(next);
  }
}

int RunBase64(const Base64Options& options) {
  Input in(options.in);
  Output out(options.out);
  try {
    if (options.text) {
      std::string text = in.ReadAll();
      StripTrailingNewline(text);
      const Text result = options.decode ? DecodeBase64_StrToStr(Utf8ToText(text))
                                         : EncodeBase64_StrToStr(Utf8ToText(text));
      out.Write(TextToUtf8(result));
    } else if (options.decode) {
      Decode(in, out);
    } else {
      Encode(in, out);
    }
  } catch (const Error& e) {
    throw Failure("base64", e.code());
  }
  out.Commit();
  return 0;
}

}  // namespace

void AddBase64Command(CLI::App& app, Runner& selected) {
  auto options = std::make_shared<Base64Options>();
  CLI::App* command = app.add_subcommand(
      "base64",
      "Base64 of bytes (no line breaks), or back with -d; --text works on a UTF-8 text's "
      "ANSI bytes");
  command->add_flag("-d,--decode", options->decode, "Decode");
  command->add_flag("--text", options->text,
                    "Encode the text's ANSI bytes; decode to a text (printed as UTF-8)");
  command->add_option("in", options->in, "Input file (default -: standard input)");
  command->add_option("out", options->out, "Output file (default -: standard output)");
  command->callback([options, &selected] { selected = [options] { return RunBase64(*options); }; });
}

}  // namespace ansicrypt::cli
