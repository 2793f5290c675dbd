// class clsMD5: the engine's bookkeeping, the text and file digests and the register texts.
#include "ansicrypt/digest/md5.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "ansicrypt/digest/detail/md5_compress.h"
#include "ansicrypt/digest/detail/md5_file_lanes.h"
#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/platform/input_file.h"

namespace ansicrypt {
namespace {

Text RegisterText(std::uint32_t word) {
  const std::string digits = std::to_string(static_cast<std::int32_t>(word));
  return Text(digits.begin(), digits.end());
}

constexpr std::size_t kFileBufferBytes = 256 * 1024;

// A text's stretches that hold units above ASCII are converted at least this many units at a
// time, so that the conversion's cost per call stays small beside its work.
constexpr std::size_t kConvertedStretch = 4096;

}  // namespace

Text clsMD5::RegisterA() const { return RegisterText(DigestState[0]); }
Text clsMD5::RegisterB() const { return RegisterText(DigestState[1]); }
Text clsMD5::RegisterC() const { return RegisterText(DigestState[2]); }
Text clsMD5::RegisterD() const { return RegisterText(DigestState[3]); }

void clsMD5::ResetState() {
  ByteCount = 0;
  DigestState = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};  // RFC 1321 section 3.3
}

void clsMD5::AbsorbBytes(std::int32_t n, const ByteArray& source) {
  if (n > static_cast<std::int32_t>(kMaxTextBytes)) throw Error(errc::overflow);
  if (n < 0 || static_cast<std::size_t>(n) > source.size()) throw Error(errc::out_of_range);
  Absorb(source.data(), static_cast<std::size_t>(n));
}

void clsMD5::Absorb(const std::uint8_t* data, std::size_t n) {
  const std::size_t index = static_cast<std::size_t>(ByteCount) % 64;
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - ByteCount)) {
    throw Error(errc::overflow);  // the count is a signed 32-bit integer
  }
  if (n == 0) return;  // an empty source may have no storage at all
  ByteCount += static_cast<std::int32_t>(n);
  std::size_t i = 0;
  if (index > 0) {
    const std::size_t room = 64 - index;
    if (n < room) {
      std::memcpy(BlockBuffer.data() + index, data, n);
      return;
    }
    std::memcpy(BlockBuffer.data() + index, data, room);
    detail::Md5Compress(DigestState, BlockBuffer.data(), 1);
    i = room;
  }
  // Whole blocks are compressed where they lie; only a tail is buffered.
  const std::size_t blocks = (n - i) / 64;
  detail::Md5Compress(DigestState, data + i, blocks);
  i += blocks * 64;
  if (i < n) std::memcpy(BlockBuffer.data(), data + i, n - i);
}

std::size_t clsMD5::AbsorbAsciiUnits(std::u16string_view units) {
  std::size_t index = static_cast<std::size_t>(ByteCount) % 64;
  std::size_t n = 0;
  const auto narrowIntoBuffer = [&](std::size_t room) {
    for (; n < units.size() && room > 0 && units[n] < 0x80; ++n, --room) {
      BlockBuffer[index++] = static_cast<std::uint8_t>(units[n]);
    }
    if (index == 64) {
      detail::Md5Compress(DigestState, BlockBuffer.data(), 1);
      index = 0;
    }
  };
  if (index > 0) narrowIntoBuffer(64 - index);  // the block being filled first
  if (index == 0) {
    const std::size_t blocks = (units.size() - n) / 64;
    n += 64 * detail::Md5CompressAsciiUnits(DigestState, units.data() + n, blocks);
    narrowIntoBuffer(64);  // fewer than 64 ASCII units follow the last whole block
  }
  ByteCount += static_cast<std::int32_t>(n);
  return n;
}

void clsMD5::FinishDigest() {
  if (ByteCount >= kMaxFileBytes) throw Error(errc::overflow);  // ByteCount * 8 would overflow
  const std::uint32_t bits = static_cast<std::uint32_t>(ByteCount) * 8;
  std::uint8_t padSource[72] = {0x80};
  const std::size_t used = static_cast<std::size_t>(ByteCount) % 64;
  const std::size_t padLength = used < 56 ? 56 - used : 120 - used;
  for (std::size_t k = 0; k < 4; ++k)
    padSource[padLength + k] = static_cast<std::uint8_t>(bits >> (8 * k));
  // The pad, then the 64-bit bit length, little-endian as MD5 writes its words (high half zero).
  Absorb(padSource, padLength + 8);
}

Text clsMD5::DigestToHex() const { return detail::Md5DigestText(DigestState); }

// The text's bytes are digested as the code page gives them, piece by piece (a table code page's
// bytes are never held whole). ASCII units are their own bytes in every code page, and a text
// cut before an ASCII unit converts as its two parts do: runs of them are digested from the text
// itself, narrowed a block at a time inside the transform's loop, and the stretches between them
// go through the code page, which is held for the whole call (another thread's change of the
// process-wide setting meanwhile does not split one digest between two code pages). The state is
// reset when the first bytes arrive, so that a conversion that fails before them leaves it as
// Md5_Arr_Calc(TextToAnsi(text)) would.
Text clsMD5::Md5_String_Calc(const Text& SourceString) {
  bool started = false;
  const auto start = [this, &started] {
    if (!started) ResetState();
    started = true;
  };
  const auto room = [this] { return kMaxTextBytes - static_cast<std::size_t>(ByteCount); };
  const platform::ScopedAnsiCodePage page(platform::AnsiCodePage());
  const platform::ScopedAnsiBestFit bestFit(platform::AnsiBestFit());
  try {
    std::u16string_view rest(SourceString);
    while (!rest.empty()) {
      if (rest.front() < 0x80) {
        start();
        rest.remove_prefix(AbsorbAsciiUnits(rest.substr(0, room())));
        if (rest.empty()) break;
        if (rest.front() < 0x80) throw Error(errc::overflow);  // more bytes than there is room for
      }
      // Up to the first ASCII unit past the next kConvertedStretch units.
      std::size_t cut = std::min(rest.size(), kConvertedStretch);
      while (cut < rest.size() && rest[cut] >= 0x80) ++cut;
      platform::TextToAnsiInPieces(rest.substr(0, cut), [&](std::span<const std::uint8_t> piece) {
        start();
        if (piece.size() > room()) throw Error(errc::overflow);
        Absorb(piece.data(), piece.size());
      });
      rest.remove_prefix(cut);
    }
  } catch (...) {
    if (started) ResetState();  // as Md5_Arr_Calc leaves it when the bytes are too many
    throw;
  }
  start();  // the empty text
  FinishDigest();
  return DigestToHex();
}

Text clsMD5::Md5_Arr_Calc(const ByteArray& SourceBytes) {
  ResetState();
  if (SourceBytes.size() > kMaxTextBytes) throw Error(errc::overflow);
  AbsorbBytes(static_cast<std::int32_t>(SourceBytes.size()), SourceBytes);
  FinishDigest();
  return DigestToHex();
}

Text clsMD5::DigestInput(platform::InputFile& input, std::error_code& error) {
  error.clear();
  try {
    ResetState();
    const auto buffer = std::make_unique<std::uint8_t[]>(kFileBufferBytes);
    // Reads stop at 2^28 bytes, where the digest fails, so that the state then holds exactly
    // that much whatever the input's read sizes (a pipe's, a file's).
    while (const std::size_t n = input.Read(
               buffer.get(),
               std::min<std::size_t>(kFileBufferBytes,
                                     static_cast<std::size_t>(kMaxFileBytes - ByteCount)))) {
      Absorb(buffer.get(), n);
      // The digest of a file this long can only fail; there is no need to read the rest.
      if (ByteCount >= kMaxFileBytes) throw Error(errc::overflow);
    }
    FinishDigest();
    return DigestToHex();
  } catch (const std::system_error& e) {
    error = e.code();
  } catch (const std::bad_alloc&) {
    error = std::make_error_code(std::errc::not_enough_memory);
  }
  return Text();
}

Text clsMD5::Md5_File_Calc(const Text& InFile) {
  try {
    platform::InputFile file(InFile);
    std::error_code ignored;
    return DigestInput(file, ignored);
  } catch (...) {
    return Text();  // the caller tells failure by the empty text
  }
}

Text clsMD5::Md5_File_Calc(const std::filesystem::path& InFile, std::error_code& error) {
  try {
    platform::InputFile file(InFile);
    return DigestInput(file, error);
  } catch (const std::system_error& e) {
    error = e.code();
  } catch (const std::bad_alloc&) {
    error = std::make_error_code(std::errc::not_enough_memory);
  }
  return Text();
}

Text clsMD5::DigestOfNarrowName(std::string_view name, std::error_code& error) {
  std::filesystem::path path;
  try {
    path = platform::PathOfNarrowName(name);
  } catch (const std::system_error& e) {
    error = e.code();
    return Text();
  } catch (const std::bad_alloc&) {
    error = std::make_error_code(std::errc::not_enough_memory);
    return Text();
  }
  return Md5_File_Calc(path, error);
}

std::vector<Text> clsMD5::Md5_Files_Calc(std::span<const std::filesystem::path> InFiles) {
  std::vector<std::error_code> ignored;
  return Md5_Files_Calc(InFiles, ignored);
}

std::vector<Text> clsMD5::Md5_Files_Calc(std::span<const std::filesystem::path> InFiles,
                                         std::vector<std::error_code>& errors) {
  std::vector<Text> digests(InFiles.size());
  errors.assign(InFiles.size(), std::make_error_code(std::errc::not_enough_memory));
  // The registers follow the last file that was opened, as Md5_File_Calc leaves them.
  std::optional<std::size_t> lastOpened;
  std::array<std::uint32_t, 4> lastState{};
  std::size_t taken = 0;
  try {
    detail::DigestFilesInLanes(
        [&](bool) -> std::optional<detail::Md5FileJob> {
          if (taken == InFiles.size()) return std::nullopt;
          const std::size_t index = taken++;
          return detail::Md5FileJob{index, InFiles[index]};
        },
        [&](std::size_t index, detail::Md5FileOutcome& outcome) {
          errors[index] = outcome.error;
          if (!outcome.error) digests[index] = detail::Md5DigestText(outcome.state);
          if (outcome.opened && (!lastOpened || index > *lastOpened)) {
            lastOpened = index;
            lastState = outcome.state;
          }
        });
  } catch (const std::bad_alloc&) {
    // The files not digested keep the empty text and errc::not_enough_memory.
  }
  if (lastOpened) DigestState = lastState;
  return digests;
}

Text clsMD5::Md5_Input_Calc(platform::InputFile& input, std::error_code& error) {
  return DigestInput(input, error);
}

}  // namespace ansicrypt
