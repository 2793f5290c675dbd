// clsMD5 on texts and on the engine: published vectors, OpenSSL, splits, registers and limits.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "ansicrypt/digest/md5.h"
#include "ansicrypt/platform/code_page.h"
#include "tests/support/bestfit_file.h"
#include "tests/support/code_page_scope.h"
#include "tests/support/error_of.h"
#include "tests/support/md5_engine_access.h"
#include "tests/support/oracle.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {

namespace {

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

std::u16string OpenSslMd5(const ByteArray& bytes) { return Ascii(ToHex(OracleMd5(bytes))); }

// Under code page 1252 every byte is one character and comes back as itself, so a text made from
// bytes is digested over exactly those bytes.
Text TextOfBytes(const ByteArray& bytes) { return platform::AnsiToText(bytes); }

TEST(Md5Vectors, BotanFile) {
  clsMD5 md5;
  int count = 0;
  for (const auto& r : ReadVectorFile("botan-md5.vec")) {
    SCOPED_TRACE(r.file + ":" + std::to_string(r.line));
    std::string want = r.at("Out");
    for (auto& c : want) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(md5.Md5_String_Calc(TextOfBytes(FromHex(r.at("In")))), Ascii(want));
    ++count;
  }
  EXPECT_EQ(count, 78);
}

TEST(Md5Vectors, Rfc1321Suite) {
  clsMD5 md5;
  int count = 0;
  for (const auto& r : ReadVectorFile("pyca-rfc-1321.txt")) {
    ByteArray message = FromHex(r.at("Msg"));
    message.resize(std::stoul(r.at("Len")) / 8);  // Len is in bits; "00" stands for no message
    std::string want = r.at("MD");
    for (auto& c : want) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(md5.Md5_String_Calc(TextOfBytes(message)), Ascii(want));
    ++count;
  }
  EXPECT_EQ(count, 7);
}

TEST(Md5String, EveryLengthUpTo200AndRandomLongerOnesMatchOpenSsl) {
  std::mt19937 rng(51);
  clsMD5 md5;
  for (std::size_t n = 0; n < 230; ++n) {
    const std::size_t length = n < 200 ? n : 200 + rng() % 32000;
    ByteArray bytes(length);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    const Text digest = md5.Md5_String_Calc(TextOfBytes(bytes));
    EXPECT_EQ(digest, OpenSslMd5(bytes)) << length;
    EXPECT_EQ(digest.size(), 32U);
  }
}

// In every code page, texts whose bytes are converted in several pieces (ASCII runs, double-byte,
// accented and unmappable characters across the 4,096-unit boundaries) digest as their whole bytes,
// registers included, or fail with error 6 where those bytes pass 32,767.
TEST(Md5String, TextsOfSeveralPiecesDigestAsTheirWholeBytes) {
  const std::u16string alphabet = u"abcXYZ09 \u00E9\u00FC\u4E2D\u6587\uAC00\u3042\u0E01\uFF21";
  std::mt19937 rng(52);
  std::vector<unsigned> pages = BestFitCodePages();
  pages.push_back(65001);
  for (const unsigned page : pages) {
    const CodePageScope scope(page);
    for (const std::size_t length : {4095U, 4096U, 4097U, 8191U, 8193U, 12289U, 20000U}) {
      Text text;
      while (text.size() < length) {
        if (rng() % 3 == 0) {
          text.append(rng() % 40, u'q');  // an ASCII run
        } else {
          text += alphabet[rng() % alphabet.size()];
        }
      }
      text.resize(length);
      const ByteArray bytes = platform::TextToAnsi(text);
      clsMD5 pieces;
      clsMD5 whole;
      if (bytes.size() <= clsMD5::kMaxTextBytes) {
        EXPECT_EQ(pieces.Md5_String_Calc(text), OpenSslMd5(bytes)) << page << " " << length;
        whole.Md5_Arr_Calc(bytes);
      } else {
        EXPECT_EQ(ErrorOf([&] { pieces.Md5_String_Calc(text); }), errc::overflow) << page;
        EXPECT_EQ(ErrorOf([&] { whole.Md5_Arr_Calc(bytes); }), errc::overflow);
      }
      EXPECT_EQ(pieces.RegisterA(), whole.RegisterA()) << page << " " << length;
      EXPECT_EQ(pieces.RegisterD(), whole.RegisterD());
    }
  }
}

// ASCII runs are digested from the text itself: one unit that is not ASCII at every place of a
// 192-unit ASCII text, in every code page, among them units whose low byte is ASCII (U+0100,
// U+0141, U+FF41) and halves of surrogate pairs, alone and paired across a block's end.
TEST(Md5String, EveryUnitPlaceAmongAsciiBlocksMatchesOpenSsl) {
  std::vector<unsigned> pages = BestFitCodePages();
  pages.push_back(65001);
  const char16_t units[] = {0x7F,   0x80,   0xFF,   0x100,  0x141,  0x4E2D,
                            0x8000, 0xD800, 0xDC00, 0xFF41, 0xFFFF, 0xE9};
  for (const unsigned page : pages) {
    const CodePageScope scope(page);
    clsMD5 md5;
    for (const char16_t unit : units) {
      for (std::size_t at = 0; at < 130; ++at) {
        Text text(192, u'a');
        for (std::size_t k = 0; k < text.size(); ++k) text[k] = static_cast<char16_t>(k % 128);
        text[at] = unit;
        EXPECT_EQ(md5.Md5_String_Calc(text), OpenSslMd5(platform::TextToAnsi(text)))
            << page << " U+" << std::hex << unsigned{unit} << std::dec << " at " << at;
      }
    }
    // Every ASCII unit gives its own byte, which the direct digest of ASCII runs relies on.
    std::u16string ascii(128, u' ');
    ByteArray bytes(128);
    for (std::size_t u = 0; u < 128; ++u) {
      ascii[u] = static_cast<char16_t>(u);
      bytes[u] = static_cast<std::uint8_t>(u);
    }
    EXPECT_EQ(platform::TextToAnsi(ascii), bytes) << page;
    // A pair whose halves would fall either side of where a stretch of 4,096 units is converted.
    for (const std::size_t before : {4094U, 4095U, 4096U}) {
      Text text(before, u'\u00E9');
      text += u"\U0001F600a";
      text += Text(100, u'b');
      EXPECT_EQ(md5.Md5_String_Calc(text), OpenSslMd5(platform::TextToAnsi(text)))
          << page << " " << before;
    }
    // A pair whose halves fall in two blocks of the text; a run of them, then ASCII.
    for (std::size_t at = 60; at < 68; ++at) {
      Text text(192, u'z');
      text.replace(at, 2, u"\U0001F600");
      text.insert(140, u"\U0001F600\U0001F600\u00E9");
      EXPECT_EQ(md5.Md5_String_Calc(text), OpenSslMd5(platform::TextToAnsi(text))) << page;
    }
  }
}

// One digest converts through one code page: another thread that switches the process-wide
// setting meanwhile gives either page's digest, never a mixture (stretches of text between ASCII
// runs, each longer than one converted stretch, converted through different pages).
TEST(Md5String, OneCodePageForTheWholeText) {
  Text text;
  for (int k = 0; k < 3; ++k) {  // 25,500 bytes in UTF-8
    text.append(4200, u'\u00E9');
    text.append(100, u'a');
  }
  const Text in1252 = [&] {
    const CodePageScope scope(1252);
    return clsMD5().Md5_String_Calc(text);
  }();
  const Text inUtf8 = [&] {
    const CodePageScope scope(65001);
    return clsMD5().Md5_String_Calc(text);
  }();
  ASSERT_NE(in1252, inUtf8);
  std::atomic<bool> stop = false;
  std::thread switcher([&] {
    for (unsigned k = 0; !stop.load(); ++k) platform::SetAnsiCodePage(k % 2 == 0 ? 65001 : 1252);
  });
  clsMD5 md5;
  int mixed = 0;
  for (int k = 0; k < 300; ++k) {
    const Text digest = md5.Md5_String_Calc(text);
    if (digest != in1252 && digest != inUtf8) ++mixed;
  }
  stop = true;
  switcher.join();
  platform::SetAnsiCodePage(1252);
  EXPECT_EQ(mixed, 0);
}

// The limit where ASCII runs follow units of two bytes: the bytes, not the units, are counted.
TEST(Md5String, LimitCountsBytesAcrossAsciiRuns) {
  const CodePageScope scope(936);
  clsMD5 bytes;
  bytes.Md5_String_Calc(u"abc");
  EXPECT_EQ(ErrorOf([&] { bytes.Md5_Arr_Calc(ByteArray(32768, 'x')); }), errc::overflow);
  for (const std::size_t wide : {1U, 63U, 64U, 1000U}) {
    Text text(wide, u'\u4E2D');  // two bytes each
    text.append(32767 - 2 * wide, u'x');
    clsMD5 md5;
    EXPECT_EQ(md5.Md5_String_Calc(text), OpenSslMd5(platform::TextToAnsi(text))) << wide;
    text += u'x';
    md5.Md5_String_Calc(u"abc");
    EXPECT_EQ(ErrorOf([&] { md5.Md5_String_Calc(text); }), errc::overflow) << wide;
    EXPECT_EQ(md5.RegisterA(), bytes.RegisterA()) << wide;
    EXPECT_EQ(md5.RegisterD(), bytes.RegisterD());
    // The one byte too many is a unit of two bytes after the ASCII run.
    text.back() = u'\u4E2D';
    text.erase(text.size() - 2, 1);
    md5.Md5_String_Calc(u"abc");
    EXPECT_EQ(ErrorOf([&] { md5.Md5_String_Calc(text); }), errc::overflow) << wide;
    EXPECT_EQ(md5.RegisterA(), bytes.RegisterA()) << wide;
    EXPECT_EQ(md5.RegisterD(), bytes.RegisterD());
  }
}

TEST(Md5String, EmptyTextAndRegisters) {
  clsMD5 md5;
  EXPECT_EQ(md5.RegisterA(), u"0");
  EXPECT_EQ(md5.RegisterD(), u"0");
  EXPECT_EQ(md5.Md5_String_Calc(u""), u"D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(md5.RegisterA(), u"-645128748");
  EXPECT_EQ(md5.RegisterB(), u"78774415");
  EXPECT_EQ(md5.RegisterC(), u"-1744207639");
  EXPECT_EQ(md5.RegisterD(), u"2118318316");
  EXPECT_EQ(md5.Md5_String_Calc(u"abc"), u"900150983CD24FB0D6963F7D28E17F72");
}

TEST(Md5String, DigestsTheAnsiBytes) {
  const CodePageScope scope(936);
  clsMD5 md5;
  const Text text = u"\u4E2D\u6587";
  EXPECT_EQ(md5.Md5_String_Calc(text), OpenSslMd5({0xD6, 0xD0, 0xCE, 0xC4}));
  EXPECT_NE(md5.Md5_String_Calc(text), OpenSslMd5({0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87}));  // UTF-8
  EXPECT_NE(md5.Md5_String_Calc(text), OpenSslMd5({0x2D, 0x4E, 0x87, 0x65}));  // UTF-16LE
  // 16,383 double-byte characters are 32,766 bytes; one more passes the limit.
  EXPECT_EQ(md5.Md5_String_Calc(Text(16383, u'\u4E2D')).size(), 32U);
  EXPECT_EQ(ErrorOf([&] { md5.Md5_String_Calc(Text(16384, u'\u4E2D')); }), errc::overflow);
}

// A tag character is a surrogate pair: in every ANSI code page it digests as "??".
TEST(Md5String, CharactersBeyondTheBasicPlaneDigestAsQuestionMarks) {
  for (const unsigned page : {932U, 936U, 949U, 950U, 1252U}) {
    const CodePageScope scope(page);
    clsMD5 md5;
    EXPECT_EQ(md5.Md5_String_Calc(u"\U000E0041"), OpenSslMd5({'?', '?'})) << page;
  }
}

TEST(Md5String, LengthLimit) {
  clsMD5 md5;
  EXPECT_EQ(md5.Md5_String_Calc(Text(32767, u'x')), OpenSslMd5(ByteArray(32767, 'x')));
  EXPECT_EQ(ErrorOf([&] { md5.Md5_String_Calc(Text(32768, u'x')); }), errc::overflow);
  // A failed digest does not spoil the next one.
  EXPECT_EQ(md5.Md5_String_Calc(u"abc"), u"900150983CD24FB0D6963F7D28E17F72");
}

// A text whose bytes pass the limit leaves the registers as the byte form leaves them, wherever
// the limit falls among the pieces the bytes are converted in.
TEST(Md5String, FailureLeavesTheRegistersOfTheByteForm) {
  clsMD5 bytes;
  bytes.Md5_String_Calc(u"abc");
  EXPECT_EQ(ErrorOf([&] { bytes.Md5_Arr_Calc(ByteArray(32768, 'x')); }), errc::overflow);
  for (const std::size_t length : {32768U, 40000U, 70000U}) {
    for (const unsigned page : {1252U, 936U, 65001U}) {
      const CodePageScope scope(page);
      clsMD5 text;
      text.Md5_String_Calc(u"abc");
      EXPECT_EQ(ErrorOf([&] { text.Md5_String_Calc(Text(length, u'x')); }), errc::overflow);
      EXPECT_EQ(text.RegisterA(), bytes.RegisterA()) << length << " " << page;
      EXPECT_EQ(text.RegisterB(), bytes.RegisterB());
      EXPECT_EQ(text.RegisterC(), bytes.RegisterC());
      EXPECT_EQ(text.RegisterD(), bytes.RegisterD());
    }
  }
}

// The byte form digests the bytes as they are, with the text form's limit and registers.
TEST(Md5Arr, DigestsTheBytesAsTheyAre) {
  std::mt19937 rng(37);
  for (const std::size_t n : {0U, 1U, 55U, 56U, 63U, 64U, 65U, 1000U, 32767U}) {
    ByteArray bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    clsMD5 md5;
    EXPECT_EQ(md5.Md5_Arr_Calc(bytes), OpenSslMd5(bytes)) << n;
  }
  clsMD5 text, bytes;
  text.Md5_String_Calc(u"caf\u00E9");
  bytes.Md5_Arr_Calc({'c', 'a', 'f', 0xE9});
  EXPECT_EQ(bytes.RegisterA(), text.RegisterA());
  EXPECT_EQ(bytes.RegisterD(), text.RegisterD());
  EXPECT_EQ(ErrorOf([] { clsMD5().Md5_Arr_Calc(ByteArray(32768)); }), errc::overflow);
}

TEST(Md5Engine, AnySplitGivesTheSameDigest) {
  std::mt19937 rng(52);
  ByteArray message(100000);
  for (auto& b : message) b = static_cast<std::uint8_t>(rng());
  const Text want = OpenSslMd5(message);
  for (int trial = 0; trial < 50; ++trial) {
    clsMD5 md5;
    Md5EngineAccess::Reset(md5);
    for (std::size_t at = 0; at < message.size();) {
      const std::size_t piece =
          std::min<std::size_t>(message.size() - at, rng() % (trial < 25 ? 130 : 32768));
      Md5EngineAccess::Absorb(md5, static_cast<std::int32_t>(piece),
                              ByteArray(message.begin() + static_cast<std::ptrdiff_t>(at),
                                        message.begin() + static_cast<std::ptrdiff_t>(at + piece)));
      at += piece;
    }
    Md5EngineAccess::Finish(md5);
    EXPECT_EQ(Md5EngineAccess::Hex(md5), want);
  }
}

TEST(Md5Engine, AbsorbLimits) {
  clsMD5 md5;
  Md5EngineAccess::Reset(md5);
  EXPECT_NO_THROW(Md5EngineAccess::Absorb(md5, 32767, ByteArray(32767)));
  EXPECT_EQ(ErrorOf([&] { Md5EngineAccess::Absorb(md5, 32768, ByteArray(32768)); }),
            errc::overflow);
  EXPECT_EQ(ErrorOf([&] { Md5EngineAccess::Absorb(md5, 10, ByteArray(9)); }), errc::out_of_range);
  // Right after a reset the words are RFC 1321's initial values, read as signed integers.
  Md5EngineAccess::Reset(md5);
  EXPECT_EQ(md5.RegisterA(), u"1732584193");
  EXPECT_EQ(md5.RegisterB(), u"-271733879");
  EXPECT_EQ(md5.RegisterC(), u"-1732584194");
  EXPECT_EQ(md5.RegisterD(), u"271733878");
}

TEST(Md5EngineLarge, FinishingAt2To28BytesOverflows) {
  clsMD5 md5;
  Md5EngineAccess::Reset(md5);
  const ByteArray chunk(32767, 0);
  std::int64_t total = 0;
  while (total + 32767 < clsMD5::kMaxFileBytes) {
    Md5EngineAccess::Absorb(md5, 32767, chunk);
    total += 32767;
  }
  const auto rest = static_cast<std::int32_t>(clsMD5::kMaxFileBytes - total);
  Md5EngineAccess::Absorb(md5, rest, chunk);
  EXPECT_EQ(ErrorOf([&] { Md5EngineAccess::Finish(md5); }), errc::overflow);
}

}  // namespace
}  // namespace ansicrypt::test
