// class clsMD5: MD5 digests (RFC 1321) of texts and files as 32 uppercase hexadecimal digits.
//
// MD5 is broken for new designs; this class exists to check and produce legacy digests.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

#include "ansicrypt/common/error.h"
#include "ansicrypt/common/types.h"

namespace ansicrypt {
namespace platform {
class InputFile;
}
namespace test {
struct Md5EngineAccess;
}

class clsMD5 {
 public:
  // Largest text digest, in ANSI bytes: the legacy engine counts one absorb in 16 bits.
  static constexpr std::size_t kMaxTextBytes = 32767;
  // Files must be shorter than this: the bit length is computed in a signed 32-bit integer.
  static constexpr std::int64_t kMaxFileBytes = std::int64_t{1} << 28;

  // Each state word of the last digest (or of a new object: 0) as signed decimal text, as the
  // legacy program showed it: a word with its top bit set reads as a negative number.
  //   after Md5_String_Calc(u""): RegisterA() == u"-645128748"
  Text RegisterA() const;
  Text RegisterB() const;
  Text RegisterC() const;
  Text RegisterD() const;

  // The MD5 digest of the text's bytes in the ANSI code page, as 32 uppercase hexadecimal digits.
  // Errors: errc::overflow for more than 32,767 ANSI bytes.
  //   clsMD5().Md5_String_Calc(u"abc") == u"900150983CD24FB0D6963F7D28E17F72"
  Text Md5_String_Calc(const Text& SourceString);

  // The same over bytes already in the code page, digested as they are (a BLOB of legacy text):
  // Md5_String_Calc(text) equals Md5_Arr_Calc(TextToAnsi(text)), registers included.
  // Errors: errc::overflow for more than 32,767 bytes.
  Text Md5_Arr_Calc(const ByteArray& SourceBytes);

  // The MD5 digest of the named file's content, or the empty text when it cannot be digested: no
  // such file, a directory, no permission, a read error, or 2^28 bytes (256 MiB) or more. Never
  // throws. The file is only read, in a fixed buffer, and closed before the call returns.
  Text Md5_File_Calc(const Text& InFile);

  // The same for a native path, whatever bytes the name holds (names that are not UTF-8 too). On
  // failure the result is the empty text and `error` says why: the system's error for the file, or
  // errc::overflow for 2^28 bytes or more.
  //   std::error_code why;
  //   md5.Md5_File_Calc(std::filesystem::path("caf\xE9"), why);
  Text Md5_File_Calc(const std::filesystem::path& InFile, std::error_code& error);
  // The same for a narrow name (a literal, a std::string, a std::string_view...): its bytes on
  // POSIX systems, UTF-8 on Windows, where bytes that are not UTF-8 give
  // errc::illegal_byte_sequence; a name holding '\0' gives errc::invalid_argument, as the Text
  // form refuses U+0000.
  //   md5.Md5_File_Calc("caf\xC3\xA9.txt", why);  // café.txt wherever names are UTF-8
  template <class Name>
  requires(std::is_convertible_v<const Name&, std::string_view> &&
           !std::is_null_pointer_v<Name>) Text
      Md5_File_Calc(const Name& InFile, std::error_code& error) {
    if constexpr (std::is_same_v<Name, const char*> || std::is_same_v<Name, char*>) {
      if (InFile == nullptr) {
        error = std::make_error_code(std::errc::invalid_argument);
        return Text();
      }
    }
    return DigestOfNarrowName(std::string_view(InFile), error);
  }
  template <class Path>
  requires std::same_as<Path, std::filesystem::path>  // a text literal picks the Text form
      Text Md5_File_Calc(const Path& InFile) {
    std::error_code ignored;
    return Md5_File_Calc(InFile, ignored);
  }

  // The digests of many files, one text per file in their order, each exactly what
  // Md5_File_Calc gives for it: the empty text for a file that cannot be digested, without
  // disturbing the others. 24 files are digested at once in the processor's AVX2 vector lanes
  // (32 with AVX-512). The registers are then those that digesting the files one after another
  // would leave. A failing file never throws; only std::bad_alloc can, when the results do not
  // fit in memory.
  //   std::vector<std::filesystem::path> files = {"a.bin", "b.bin"};
  //   std::vector<ansicrypt::Text> digests = md5.Md5_Files_Calc(files);
  std::vector<Text> Md5_Files_Calc(std::span<const std::filesystem::path> InFiles);
  // The same, with the reason for each failure in errors[i] (cleared for a digest).
  std::vector<Text> Md5_Files_Calc(std::span<const std::filesystem::path> InFiles,
                                   std::vector<std::error_code>& errors);

  // The digest of what an open input yields from where it stands to its end: standard input, a
  // pipe, a socket. Failures as for a path.
  //   auto in = ansicrypt::platform::InputFile::StandardInput();
  //   md5.Md5_Input_Calc(in, why);
  Text Md5_Input_Calc(platform::InputFile& input, std::error_code& error);

 private:
  Text DigestOfNarrowName(std::string_view name, std::error_code& error);
  friend struct test::Md5EngineAccess;

  void ResetState();
  // Feeds source bytes 0..n-1. errc::overflow for n above 32,767; errc::out_of_range when the
  // source holds fewer than n bytes.
  void AbsorbBytes(std::int32_t n, const ByteArray& source);
  void Absorb(const std::uint8_t* data, std::size_t n);
  // Feeds the leading units of `units` that are below U+0080, each as its own byte, and returns
  // how many it fed; the caller keeps the count within kMaxTextBytes.
  std::size_t AbsorbAsciiUnits(std::u16string_view units);
  // Pads, appends the bit length and leaves the digest in DigestState. errc::overflow at 2^28
  // bytes or more, before anything is absorbed.
  void FinishDigest();
  Text DigestToHex() const;
  // Digests the rest of `input`; the empty text, with the reason in `error`, on failure.
  Text DigestInput(platform::InputFile& input, std::error_code& error);

  std::array<std::uint32_t, 4> DigestState{};  // A, B, C, D
  std::int32_t ByteCount = 0;                  // bytes absorbed since the reset
  std::array<std::uint8_t, 64> BlockBuffer{};  // the block being filled
};

}  // namespace ansicrypt
