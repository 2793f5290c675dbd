// The ANSI code page conversions and their Windows-style rules.
#include <gtest/gtest.h>

#include <thread>

#include "ansicrypt/platform/code_page.h"
#include "tests/support/code_page_scope.h"
#include "tests/support/error_of.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

using platform::AnsiToText;
using platform::TextToAnsi;

TEST(CodePage, DefaultsTo1252AndRefusesUnknownNumbers) {
  EXPECT_EQ(platform::AnsiCodePage(), 1252U);
  for (const unsigned unknown : {0U, 437U, 1249U, 1259U, 65000U, 20127U}) {
    EXPECT_EQ(ErrorOf([&] { platform::SetAnsiCodePage(unknown); }), errc::invalid_argument);
    EXPECT_EQ(platform::AnsiCodePage(), 1252U);
  }
}

struct Sample {
  unsigned codePage;
  std::u16string text;
  const char* bytes;  // hex
};

void PrintTo(const Sample& s, std::ostream* os) { *os << s.codePage << " " << s.bytes; }

class KnownConversion : public testing::TestWithParam<Sample> {};

TEST_P(KnownConversion, BothWays) {
  const CodePageScope scope(GetParam().codePage);
  const ByteArray bytes = FromHex(GetParam().bytes);
  EXPECT_EQ(ToHex(TextToAnsi(GetParam().text)), GetParam().bytes);
  EXPECT_EQ(AnsiToText(bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, KnownConversion,
    testing::Values(Sample{1252, u"A\u20AC\u2013\u00E9\u00FF", "418096E9FF"},
                    Sample{1252, u"\u0081\u008D\u008F\u0090\u009D", "818D8F909D"},  // undefined
                    Sample{1252, std::u16string(u"a\0b", 3), "610062"},
                    Sample{1251, u"\u0416\u044F", "C6FF"}, Sample{1253, u"\u03A9", "D9"},
                    Sample{874, u"\u0E01", "A1"}, Sample{932, u"\u65E5\u672Cx", "93FA967B78"},
                    Sample{936, u"\u4E2D\u6587", "D6D0CEC4"}, Sample{949, u"\uAC00", "B0A1"},
                    Sample{950, u"\u4E2D", "A4A4"},
                    Sample{65001, u"\u00E9\u4E2D\U0001F600", "C3A9E4B8ADF09F9880"}));

struct Lossy {
  unsigned codePage;
  std::u16string text;
  const char* bytes;
};

void PrintTo(const Lossy& s, std::ostream* os) { *os << s.codePage << " " << s.bytes; }

// A character the code page lacks, and an unpaired surrogate, become "?"; a pair gives one "?".
class MissingCharacter : public testing::TestWithParam<Lossy> {};

TEST_P(MissingCharacter, BecomesQuestionMark) {
  const CodePageScope scope(GetParam().codePage);
  EXPECT_EQ(ToHex(TextToAnsi(GetParam().text)), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, MissingCharacter,
    testing::Values(Lossy{1252, u"a\u4E2Db", "613F62"}, Lossy{1252, u"\U0001F600", "3F"},
                    Lossy{1252, std::u16string{u'a', char16_t{0xD800}, u'b'}, "613F62"},
                    Lossy{1252, std::u16string{char16_t{0xDC00}}, "3F"},
                    Lossy{936, u"a\u0E01b", "613F62"}, Lossy{936, u"\U0001F600x", "3F78"},
                    Lossy{936, std::u16string{char16_t{0xD800}}, "3F"},
                    Lossy{65001, std::u16string{u'x', char16_t{0xDFFF}}, "783F"}));

TEST(CodePage, LongAsciiRunsAroundOtherCharacters) {
  // Runs longer than 16 units take the bulk path; the pair and the accent interrupt it.
  const std::u16string text = std::u16string(37, u'a') + u"\U0001F600" + std::u16string(20, u'b') +
                              u"\u00E9" + std::u16string(40, u'c');
  ByteArray want(37, 'a');
  want.push_back('?');
  want.insert(want.end(), 20, 'b');
  want.push_back(0xE9);
  want.insert(want.end(), 40, 'c');
  EXPECT_EQ(TextToAnsi(text), want);
}

// Undecodable bytes become U+FFFD for their first byte and decoding goes on.
TEST(CodePage, InvalidMultiByteSequencesGiveReplacementCharacter) {
  {
    const CodePageScope scope(936);
    EXPECT_EQ(AnsiToText({0xD6}), u"\uFFFD");  // lead byte cut off by the end
    EXPECT_EQ(AnsiToText({'a', 0xD6}), u"a\uFFFD");
    EXPECT_EQ(AnsiToText({0x81, 0x20, 'z'}), u"\uFFFD z");  // invalid trail byte
  }
  {
    const CodePageScope scope(65001);
    EXPECT_EQ(AnsiToText({0xFF, 'a'}), u"\uFFFDa");
    EXPECT_EQ(AnsiToText({0xE4, 0xB8}), u"\uFFFD\uFFFD");
  }
}

class SingleBytePage : public testing::TestWithParam<unsigned> {};

TEST_P(SingleBytePage, EveryByteRoundTrips) {
  const CodePageScope scope(GetParam());
  ByteArray all(256);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i);
  const Text text = AnsiToText(all);
  ASSERT_EQ(text.size(), 256U);
  for (std::size_t i = 0; i < 0x80; ++i) EXPECT_EQ(text[i], i);
  EXPECT_EQ(TextToAnsi(text), all);
}

INSTANTIATE_TEST_SUITE_P(Pages, SingleBytePage,
                         testing::Values(874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257,
                                         1258));

TEST(CodePage, EmptyTextAndNoBytes) {
  for (const unsigned page : {1252U, 936U, 65001U}) {
    const CodePageScope scope(page);
    EXPECT_TRUE(TextToAnsi(u"").empty());
    EXPECT_TRUE(AnsiToText({}).empty());
  }
}

TEST(CodePage, LongMixedTextRoundTrips) {
  std::u16string text;
  for (int i = 0; i < 5000; ++i) text += (i % 7 == 0) ? u"\u4E2D" : u"ab";
  for (const unsigned page : {936U, 65001U}) {
    const CodePageScope scope(page);
    EXPECT_EQ(AnsiToText(TextToAnsi(text)), text);
  }
}

TEST(CodePage, ConversionsRunOnSeveralThreads) {
  const CodePageScope scope(936);
  const std::u16string text = u"\u4E2D\u6587 text \u0E01";  // Thai is missing in 936: "?"
  const ByteArray want = TextToAnsi(text);
  std::vector<std::thread> threads;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        if (TextToAnsi(text) != want || AnsiToText(want) != u"\u4E2D\u6587 text ?") ++mismatches;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace ansicrypt::test
