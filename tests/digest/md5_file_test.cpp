// clsMD5 on files: sizes around the block length, failures, pipes and the 2^28-byte limit.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else  // descriptors, FIFOs and permissions: the POSIX cases below
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <fstream>
#include <random>
#include <thread>

#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/input_file.h"
#include "tests/support/oracle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

std::u16string OpenSslMd5(const ByteArray& bytes) {
  const std::string hex = ToHex(OracleMd5(bytes));
  return std::u16string(hex.begin(), hex.end());
}

class FileSize : public testing::TestWithParam<std::size_t> {};

TEST_P(FileSize, DigestEqualsOpenSsl) {
  const TempDir dir;
  ByteArray bytes(GetParam());
  std::mt19937 rng(static_cast<unsigned>(GetParam()));
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  clsMD5 md5;
  EXPECT_EQ(md5.Md5_File_Calc(FileName(dir.Write("data.bin", bytes))), OpenSslMd5(bytes));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileSize,
                         testing::Values(0, 1, 55, 56, 63, 64, 65, 127, 128, 129, 65535, 65536,
                                         65537, 200003, 1 << 20));

TEST(Md5File, MissingFileGivesEmptyTextAndCreatesNothing) {
  const TempDir dir;
  const auto missing = dir.path() / "missing.bin";
  clsMD5 md5;
  EXPECT_EQ(md5.Md5_File_Calc(FileName(missing)), u"");
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(Md5File, NamesThatAreNoReadableFileGiveEmptyText) {
  const TempDir dir;
  clsMD5 md5;
  EXPECT_EQ(md5.Md5_File_Calc(FileName(dir.path())), u"");  // a directory
  EXPECT_EQ(md5.Md5_File_Calc(u""), u"");
  const auto file = dir.Write("a", {'x'});
  // U+0000 must not cut the name short and open another file.
  EXPECT_EQ(md5.Md5_File_Calc(FileName(file) + std::u16string(1, u'\0') + u"tail"), u"");
  EXPECT_EQ(md5.Md5_File_Calc(FileName(file) + std::u16string(1, char16_t{0xD800})), u"");
#if !defined(_WIN32)
  if (::geteuid() != 0) {  // root reads any file
    const auto locked = dir.Write("locked", {'x'});
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    EXPECT_EQ(md5.Md5_File_Calc(FileName(locked)), u"");
  }
#endif
}

TEST(Md5File, NonAsciiNamesAreUtf8Paths) {
  const TempDir dir;
  const auto file = dir.Write("d\xC3\xA9j\xC3\xA0-\xE4\xB8\xAD.txt", {'a', 'b', 'c'});
  clsMD5 md5;
  EXPECT_EQ(md5.Md5_File_Calc(FileName(file)), u"900150983CD24FB0D6963F7D28E17F72");
}

#if !defined(_WIN32)
// A native path opens whatever bytes the name holds; the UTF-16 form cannot name such a file.
TEST(Md5File, NativePathOpensNamesThatAreNotUtf8) {
  const TempDir dir;
  const auto file = dir.Write("caf\xE9", {'a', 'b', 'c'});
  clsMD5 md5;
  std::error_code why;
  EXPECT_EQ(md5.Md5_File_Calc(file, why), u"900150983CD24FB0D6963F7D28E17F72");
  EXPECT_FALSE(why);
  EXPECT_EQ(md5.Md5_File_Calc(file), u"900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(md5.Md5_File_Calc(FileName(dir.path()) + u"/caf\u00E9"), u"");  // UTF-8 C3 A9
}

#endif  // !_WIN32

TEST(Md5File, FailuresSayWhy) {
  const TempDir dir;
  clsMD5 md5;
  std::error_code why;
  EXPECT_EQ(md5.Md5_File_Calc(dir.path() / "missing", why), u"");
  EXPECT_EQ(why, std::errc::no_such_file_or_directory);
  EXPECT_EQ(md5.Md5_File_Calc(dir.path(), why), u"");
  EXPECT_EQ(why, std::errc::is_a_directory);
  EXPECT_EQ(md5.Md5_File_Calc(std::filesystem::path(), why), u"");
  EXPECT_EQ(why, std::errc::no_such_file_or_directory);
  EXPECT_EQ(md5.Md5_File_Calc(dir.Write("ok", {}), why), u"D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_FALSE(why);  // a success clears an earlier error
}

#if !defined(_WIN32)
// Descriptor 0 replaced by a file that a caller already read from: the digest covers the rest,
// and a second digest of the same input is that of no bytes.
TEST(Md5File, StandardInputFromWhereItStands) {
  const TempDir dir;
  ByteArray bytes(100000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  const auto file = dir.Write("input", bytes);
  const int saved = ::dup(STDIN_FILENO);
  ASSERT_GE(saved, 0);
  const int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::lseek(fd, 10, SEEK_SET), 10);
  ASSERT_EQ(::dup2(fd, STDIN_FILENO), STDIN_FILENO);
  ::close(fd);
  clsMD5 md5;
  std::error_code why;
  Text rest;
  Text nothing;
  {
    auto input = platform::InputFile::StandardInput();
    rest = md5.Md5_Input_Calc(input, why);
    nothing = md5.Md5_Input_Calc(input, why);
  }
  const bool stillOpen = ::fcntl(STDIN_FILENO, F_GETFD) >= 0;
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  EXPECT_EQ(rest, OpenSslMd5(ByteArray(bytes.begin() + 10, bytes.end())));
  EXPECT_EQ(nothing, u"D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_TRUE(stillOpen);
}

TEST(Md5File, PipeIsReadToItsEnd) {
  const TempDir dir;
  const auto fifo = dir.path() / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ByteArray bytes(300000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13);
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    // Odd-sized writes, so that reads end inside blocks.
    for (std::size_t at = 0; at < bytes.size(); at += 1001) {
      out.write(reinterpret_cast<const char*>(bytes.data() + at),
                static_cast<std::streamsize>(std::min<std::size_t>(1001, bytes.size() - at)));
      out.flush();
    }
  });
  clsMD5 md5;
  const Text digest = md5.Md5_File_Calc(FileName(fifo));
  writer.join();
  EXPECT_EQ(digest, OpenSslMd5(bytes));
}

#else
// Names are UTF-16 on Windows: characters outside every ANSI code page open through both forms.
TEST(Md5File, NamesAreUtf16OnWindows) {
  const TempDir dir;
  const std::filesystem::path file =
      dir.path() / std::filesystem::path(L"\u65E5\u672C-\u00FC-\U0001F600.txt");
  {
    std::ofstream out(file, std::ios::binary);
    out << "abc";
  }
  clsMD5 md5;
  std::error_code why;
  EXPECT_EQ(md5.Md5_File_Calc(file, why), u"900150983CD24FB0D6963F7D28E17F72");
  EXPECT_FALSE(why);
  EXPECT_EQ(md5.Md5_File_Calc(FileName(file)), u"900150983CD24FB0D6963F7D28E17F72");
}

// Standard input is read in binary mode: CR LF and Ctrl-Z are bytes like any other.
TEST(Md5File, StandardInputIsBinaryOnWindows) {
  const TempDir dir;
  const ByteArray bytes = {'a', '\r', '\n', 0x1A, 'b', '\n', '\r'};
  const auto file = dir.Write("input", bytes);
  const int saved = ::_dup(0);
  ASSERT_GE(saved, 0);
  const int fd = ::_wopen(file.c_str(), _O_RDONLY | _O_TEXT);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::_dup2(fd, 0), 0);
  ::_close(fd);
  clsMD5 md5;
  std::error_code why;
  Text digest;
  {
    auto input = platform::InputFile::StandardInput();
    digest = md5.Md5_Input_Calc(input, why);
  }
  ::_dup2(saved, 0);
  ::_close(saved);
  EXPECT_EQ(digest, OpenSslMd5(bytes));
}
#endif  // _WIN32

// A narrow name (a literal, a std::string) is UTF-8 on Windows and the name's bytes elsewhere.
TEST(Md5File, NarrowNamesAreUtf8OnWindowsAndBytesElsewhere) {
  const TempDir dir;
  const std::u8string folder = dir.path().u8string();
  std::string narrow(reinterpret_cast<const char*>(folder.data()), folder.size());
#if defined(_WIN32)
  narrow += "/caf\xC3\xA9-\xF0\x9F\x98\x80.txt";
  const std::filesystem::path file =
      dir.path() / std::filesystem::path(L"caf\u00E9-\U0001F600.txt");
#else
  narrow += "/caf\xE9";  // not UTF-8: the bytes reach the file as they are
  const std::filesystem::path file(narrow);
#endif
  {
    std::ofstream out(file, std::ios::binary);
    out << "abc";
  }
  clsMD5 md5;
  std::error_code why;
  EXPECT_EQ(md5.Md5_File_Calc(narrow, why), u"900150983CD24FB0D6963F7D28E17F72");
  EXPECT_FALSE(why) << why.message();
  EXPECT_EQ(md5.Md5_File_Calc(narrow.c_str(), why), u"900150983CD24FB0D6963F7D28E17F72");
  EXPECT_FALSE(why) << why.message();
  EXPECT_EQ(md5.Md5_File_Calc(std::string_view(narrow), why), u"900150983CD24FB0D6963F7D28E17F72");
  EXPECT_FALSE(why) << why.message();
  // A NUL would end the name early and open another file.
  EXPECT_EQ(md5.Md5_File_Calc(narrow + std::string(1, '\0') + "tail", why), u"");
  EXPECT_EQ(why, std::errc::invalid_argument);
  const char* none = nullptr;
  EXPECT_EQ(md5.Md5_File_Calc(none, why), u"");
  EXPECT_EQ(why, std::errc::invalid_argument);
#if defined(_WIN32)
  // A name that is no UTF-8 names nothing on Windows: refused, never guessed at.
  EXPECT_EQ(md5.Md5_File_Calc(std::string(narrow + "\xFF"), why), u"");
  EXPECT_EQ(why, std::errc::illegal_byte_sequence);
#endif
}

TEST(Md5File, FailedDigestBetweenTwoGoodOnesChangesNeither) {
  const TempDir dir;
  const auto file = dir.Write("abc", {'a', 'b', 'c'});
  clsMD5 md5;
  const Text first = md5.Md5_File_Calc(FileName(file));
  EXPECT_EQ(md5.Md5_File_Calc(FileName(dir.path() / "none")), u"");
  EXPECT_EQ(md5.Md5_String_Calc(u"abc"), first);
  EXPECT_EQ(md5.Md5_File_Calc(FileName(file)), first);
}

// A sparse file just below and at 2^28 bytes (labelled "large": skipped by quick runs).
TEST(Md5FileLarge, LimitAt2To28Bytes) {
  const TempDir dir;
  const auto file = dir.path() / "sparse.bin";
  std::ofstream(file).close();
  std::filesystem::resize_file(file, static_cast<std::uintmax_t>(clsMD5::kMaxFileBytes - 1));
  OracleMd5Stream context;
  const ByteArray zeros(1 << 20, 0);
  std::int64_t left = clsMD5::kMaxFileBytes - 1;
  while (left > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, 1 << 20));
    context.Update(zeros.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  const std::string hex = ToHex(context.Final());
  clsMD5 md5;
  EXPECT_EQ(md5.Md5_File_Calc(FileName(file)), std::u16string(hex.begin(), hex.end()));
  std::filesystem::resize_file(file, static_cast<std::uintmax_t>(clsMD5::kMaxFileBytes));
  EXPECT_EQ(md5.Md5_File_Calc(FileName(file)), u"");
  std::error_code why;
  EXPECT_EQ(md5.Md5_File_Calc(file, why), u"");
  EXPECT_EQ(why, make_error_code(errc::overflow));
}

}  // namespace
}  // namespace ansicrypt::test
