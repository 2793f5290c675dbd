// ansicrypt base64: Base64 of a stream of bytes and back, in pieces of whole groups so that the
// result is that of one call over the whole input, with reading, converting and writing
// overlapped.
#include <cstring>
#include <memory>

#include "ansicrypt/base64/base64.h"
#include "cli/arguments.h"
#include "cli/commands/commands.h"
#include "cli/io/output_file.h"
#include "cli/io/overlapped_writer.h"
#include "cli/io/report.h"
#include "cli/io/stream_input.h"

namespace ansicrypt::cli {
namespace {

constexpr std::size_t kBytesPerPiece = 3 << 18;       // encoded: 1 MiB of characters
constexpr std::size_t kCharactersPerPiece = 4 << 18;  // decoded: 768 KiB

struct Base64Options {
  bool decode = false;
  long long columns = 0;
  std::string in = "-";
  std::string out = "-";
};

// Appends `encoded` broken into lines of `columns` characters; `column` carries the position in
// the current line from piece to piece.
void AppendWrapped(const ByteArray& encoded, std::size_t columns, std::size_t& column,
                   ByteArray& out) {
  std::size_t at = 0;
  while (at < encoded.size()) {
    const std::size_t n = std::min(columns - column, encoded.size() - at);
    out.insert(out.end(), encoded.begin() + static_cast<std::ptrdiff_t>(at),
               encoded.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    column += n;
    if (column == columns) {
      out.push_back('\n');
      column = 0;
    }
  }
}

void Encode(StreamInput& in, OverlappedWriter& writer, std::size_t columns) {
  ByteArray piece(kBytesPerPiece);
  ByteArray encoded;
  std::size_t column = 0;
  while (true) {
    piece.resize(in.ReadFull(piece.data(), kBytesPerPiece));
    ByteArray output = writer.TakeBuffer();
    if (columns == 0) {
      Base64::EncodeBase64(piece, output);
    } else {
      Base64::EncodeBase64(piece, encoded);
      AppendWrapped(encoded, columns, column, output);
    }
    const bool last = piece.size() < kBytesPerPiece;
    // Wrapped output ends with a line end, as coreutils writes it.
    if (last && columns > 0 && column > 0) output.push_back('\n');
    writer.Submit(std::move(output));
    if (last) return;
    piece.resize(kBytesPerPiece);
  }
}

// Drops the line feeds and carriage returns of p[0..n) in place; returns how many bytes are left.
std::size_t RemoveLineBreaks(std::uint8_t* p, std::size_t n) {
  if (std::memchr(p, '\n', n) == nullptr && std::memchr(p, '\r', n) == nullptr) return n;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != '\n' && p[i] != '\r') p[kept++] = p[i];
  }
  return kept;
}

// How many characters, line breaks aside, the rest of the input holds.
std::size_t CountRest(StreamInput& in, ByteArray& buffer) {
  std::size_t count = 0;
  buffer.resize(kCharactersPerPiece);
  while (const std::size_t n = in.ReadFull(buffer.data(), buffer.size())) {
    count += RemoveLineBreaks(buffer.data(), n);
    if (n < buffer.size()) break;
  }
  return count;
}

// Line breaks are dropped wherever they are; every other character goes to the decoder, and the
// result is what one call over the whole input gives or raises. A piece that more input follows
// is decoded as inner groups: when it would end with a pad character, its last group waits for the
// next piece, so that the decoder sees the pad inside the data. One call checks the length before
// any character, so a piece that fails makes the rest be counted first: a length that is no
// multiple of 4 is the error then.
void Decode(StreamInput& in, OverlappedWriter& writer) {
  ByteArray pending;  // characters read and not yet decoded
  ByteArray tail;
  while (true) {
    const std::size_t had = pending.size();
    pending.resize(had + kCharactersPerPiece);
    const std::size_t n = in.ReadFull(pending.data() + had, kCharactersPerPiece);
    pending.resize(had + RemoveLineBreaks(pending.data() + had, n));
    if (n < kCharactersPerPiece) {
      ByteArray output = writer.TakeBuffer();
      Base64::DecodeBase64(pending, output);
      writer.Submit(std::move(output));
      return;
    }
    // Keep at least one character back: only the end of the input may end with a pad.
    std::size_t take = pending.empty() ? 0 : (pending.size() - 1) / 4 * 4;
    if (take > 0 && pending[take - 1] == '=') take -= 4;
    if (take == 0) continue;
    tail.assign(pending.begin() + static_cast<std::ptrdiff_t>(take), pending.end());
    pending.resize(take);
    ByteArray output = writer.TakeBuffer();
    try {
      Base64::DecodeBase64(pending, output);
    } catch (const Error&) {
      if ((tail.size() + CountRest(in, pending)) % 4 != 0) throw Error(errc::invalid_argument);
      throw;
    }
    writer.Submit(std::move(output));
    pending.assign(tail.begin(), tail.end());
  }
}

int RunBase64(const Base64Options& options) {
  StreamInput in(options.in);
  Output out(options.out);
  out.RefuseSameFile(in.identity(), in.name());
  OverlappedWriter writer(out);
  try {
    if (options.decode) {
      Decode(in, writer);
    } else {
      Encode(in, writer, static_cast<std::size_t>(options.columns));
    }
  } catch (const Error& e) {
    throw Failure("base64", e.code());
  }
  writer.Finish();
  out.Commit();
  return 0;
}

}  // namespace

void AddBase64Command(CLI::App& app, Runner& selected) {
  auto options = std::make_shared<Base64Options>();
  CLI::App* command = app.add_subcommand(
      "base64", "Base64 of bytes, or back with -d (line breaks in the input are skipped)");
  command->group("Streams of bytes");
  command->add_flag("-d,--decode", options->decode, "Decode");
  command
      ->add_option("-w,--wrap", options->columns,
                   "Break encoded lines after this many characters (default 0: no breaks)")
      ->check(
          [](const std::string& value) {
            return value.find_first_not_of("0123456789") == std::string::npos && !value.empty()
                       ? std::string()
                       : "invalid wrap size: " + value;
          },
          "COLS");
  Verbatim(command->add_option("file", options->in, "Input file (none or -: standard input)"));
  Verbatim(
      command->add_option("-o,--output", options->out, "Output file (default: standard output)"));
  command->callback([options, &selected] { selected = [options] { return RunBase64(*options); }; });
}

}  // namespace ansicrypt::cli
