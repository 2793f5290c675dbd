// ansicrypt base64: Base64 of a stream of bytes and back, in pieces of whole groups so that the
// result is that of one call over the whole input, with reading, converting and writing
// overlapped.
#include <cstring>
#include <limits>
#include <memory>
#include <span>

#include "ansicrypt/base64/base64.h"
#include "cli/command_line/values.h"
#include "cli/commands/base64_failure.h"
#include "cli/commands/commands.h"
#include "cli/commands/stream_options.h"
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
  std::uint64_t columns = 0;
  std::string in = "-";
  std::shared_ptr<std::string> out = std::make_shared<std::string>("-");
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

// The offset of the first line feed or carriage return in p[from..n), or n.
std::size_t NextLineBreak(const std::uint8_t* p, std::size_t from, std::size_t n) {
  const void* lf = std::memchr(p + from, '\n', n - from);
  const std::size_t end =
      lf != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - p) : n;
  const void* cr = std::memchr(p + from, '\r', end - from);
  return cr != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(cr) - p) : end;
}

// The input's characters with line feeds and carriage returns dropped, numbered from 0 over the
// whole input, and where each stood in the input, for messages.
class Base64Text {
 public:
  explicit Base64Text(StreamInput& in) : in_(in) {}

  // Appends the characters of the next piece of input to `text`; false when the input has ended.
  bool Read(ByteArray& text) {
    const std::size_t had = text.size();
    text.resize(had + kCharactersPerPiece);
    std::uint8_t* p = text.data() + had;
    const std::size_t n = in_.ReadFull(p, kCharactersPerPiece);
    // Runs between line breaks move down over the breaks; a piece without one stays as it is.
    std::size_t kept = 0;
    std::size_t at = 0;
    while (at < n) {
      const std::size_t end = NextLineBreak(p, at, n);
      if (end > at) {
        runs_.push_back({count_ + kept, consumed_ + at});
        if (kept != at) std::memmove(p + kept, p + at, end - at);
        kept += end - at;
      }
      at = end + 1;
    }
    text.resize(had + kept);
    count_ += kept;
    consumed_ += n;
    return n == kCharactersPerPiece;
  }

  // The input offset of character k (k < count()).
  std::uint64_t OffsetOf(std::uint64_t k) const {
    std::size_t low = 0;
    std::size_t high = runs_.size();
    while (high - low > 1) {
      const std::size_t middle = (low + high) / 2;
      (runs_[middle].character <= k ? low : high) = middle;
    }
    return runs_[low].offset + (k - runs_[low].character);
  }

  // Characters before k are no longer asked about.
  void Forget(std::uint64_t k) {
    std::size_t keep = 0;
    while (keep + 1 < runs_.size() && runs_[keep + 1].character <= k) ++keep;
    runs_.erase(runs_.begin(), runs_.begin() + static_cast<std::ptrdiff_t>(keep));
  }

  std::uint64_t count() const { return count_; }

 private:
  struct Run {
    std::uint64_t character;  // its first character's number
    std::uint64_t offset;     // where that character stood in the input
  };
  StreamInput& in_;
  std::vector<Run> runs_;
  std::uint64_t count_ = 0;     // characters read
  std::uint64_t consumed_ = 0;  // input bytes read
};

// Raises the failure that one call over the whole input would raise, given that `piece` (whole
// groups from character `first` on, or the rest of the input) fails and `rest` follows it: a
// length that is not a multiple of 4 first, then the legacy decoder's errors, which may lie further
// on, then the piece's own refusal.
[[noreturn]] void RaiseDecodeFailure(Base64Text& text, const ByteArray& piece, std::uint64_t first,
                                     ByteArray rest, bool more) {
  std::optional<Base64::DecodeFailure> failure = Base64::FindDecodeFailure(piece);
  const auto characterAt = [](const ByteArray& bytes, std::size_t offset) {
    return offset < bytes.size() ? bytes[offset] : std::uint8_t{0};
  };
  std::uint8_t character = failure ? characterAt(piece, failure->offset) : 0;
  std::uint64_t offset =
      failure && failure->offset < piece.size() ? text.OffsetOf(first + failure->offset) : 0;
  bool legacy = Base64::FindDecodeFailure(piece, true).has_value();
  std::uint64_t groupStart = first + piece.size();  // the number of rest[0]
  while (true) {
    const std::size_t whole = rest.size() / 4 * 4;
    if (!legacy && whole > 0) {
      const std::span<const std::uint8_t> groups(rest.data(), whole);
      if (const auto later = Base64::FindDecodeFailure(groups, true)) {
        failure = later;
        character = rest[later->offset];
        offset = text.OffsetOf(groupStart + later->offset);
        legacy = true;
      }
    }
    rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(whole));
    groupStart += whole;
    text.Forget(groupStart);
    if (!more) break;
    more = text.Read(rest);
  }
  const std::uint64_t length = text.count();
  if (length % 4 != 0) {
    throw Failure("base64", DescribeBase64Failure(errc::invalid_argument, 0, 0, length));
  }
  const errc error = failure ? failure->error : errc::overflow;
  throw Failure("base64", DescribeBase64Failure(error, character, offset, length));
}

// Line breaks are dropped wherever they are; every other character goes to the decoder, and the
// result is what one call over the whole input gives or raises. A piece that more input follows
// is decoded as inner groups: when it would end with a pad character, its last group waits for the
// next piece, so that the decoder sees the pad inside the data.
void Decode(StreamInput& in, OverlappedWriter& writer) {
  Base64Text text(in);
  ByteArray pending;        // characters read and not yet decoded
  std::uint64_t first = 0;  // the number of pending[0]
  while (true) {
    const bool more = text.Read(pending);
    // Keep at least one character back while more may come: only the end may end with a pad.
    std::size_t take = pending.size();
    if (more) {
      take = pending.empty() ? 0 : (pending.size() - 1) / 4 * 4;
      if (take > 0 && pending[take - 1] == '=') take -= 4;
      if (take == 0) continue;
    }
    // Decoded where it stands: only a piece that fails is copied, to find out why.
    const std::span<const std::uint8_t> piece(pending.data(), take);
    ByteArray output = writer.TakeBuffer();
    try {
      output.resize(Base64::DecodedSize(piece));
      Base64::DecodeBase64(piece, std::span<std::uint8_t>(output));
    } catch (const Error&) {
      RaiseDecodeFailure(
          text, ByteArray(piece.begin(), piece.end()), first,
          ByteArray(pending.begin() + static_cast<std::ptrdiff_t>(take), pending.end()), more);
    }
    writer.Submit(std::move(output));
    if (!more) return;
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(take));
    first += take;
    text.Forget(first);
  }
}

int RunBase64(const Base64Options& options) {
  StreamInput in(options.in);
  Output out(*options.out);
  out.RefuseSameFile(in.identity(), in.name());
  OverlappedWriter writer(out);
  if (options.decode) {
    Decode(in, writer);
  } else {
    try {
      Encode(in, writer, static_cast<std::size_t>(options.columns));
    } catch (const Error& e) {
      throw Failure("base64", e.code());
    }
  }
  writer.Finish();
  out.Commit();
  return 0;
}

}  // namespace

Command Base64Command() {
  auto options = std::make_shared<Base64Options>();
  Command command;
  command.name = "base64";
  command.group = kStreamsGroup;
  command.synopsis = "[OPTION]... [FILE]";
  command.summary = "Base64 of bytes, or back with -d.";
  command.details = kStreamDetails;
  command.options = {
      {"decode", 'd', "", "decode; line feeds and carriage returns in the input are skipped",
       [options](const std::string&) { options->decode = true; }},
      {"wrap", 'w', "COLS", "break encoded lines after COLS characters (default 0: no breaks)",
       [options](const std::string& value) {
         options->columns = ReadNumber(value, 0, std::numeric_limits<std::uint32_t>::max(),
                                       "--wrap", "a number of columns");
       }},
      OutputOption(options->out),
  };
  command.finish = [options](std::vector<std::string> operands) -> Runner {
    options->in = InputOperand("base64", operands);
    return [options] { return RunBase64(*options); };
  };
  return command;
}

}  // namespace ansicrypt::cli
