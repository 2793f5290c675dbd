// The ANSI code page conversions and their Windows rules, on known answers that do not come from
// the published tables (those are checked exhaustively in code_page_tables_test.cpp).
#include <gtest/gtest.h>

#include <atomic>
#include <span>
#include <thread>

#include "ansicrypt/platform/code_page.h"
#include "tests/support/bestfit_file.h"
#include "tests/support/code_page_scope.h"
#include "tests/support/error_of.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

using platform::AnsiToText;
using platform::TextToAnsi;

TEST(CodePage, DefaultsTo1252WithoutBestFitAndRefusesUnknownNumbers) {
  EXPECT_EQ(platform::AnsiCodePage(), 1252U);
  EXPECT_FALSE(platform::AnsiBestFit());
  for (const unsigned unknown : {0U, 437U, 1249U, 1259U, 65000U, 20127U, 28591U}) {
    EXPECT_EQ(ErrorOf([&] { platform::SetAnsiCodePage(unknown); }), errc::invalid_argument);
    EXPECT_EQ(platform::AnsiCodePage(), 1252U);
  }
}

TEST(CodePage, EverySupportedNumberIsAccepted) {
  std::vector<unsigned> pages = BestFitCodePages();
  pages.push_back(65001);
  for (const unsigned page : pages) {
    const CodePageScope scope(page);
    EXPECT_EQ(platform::AnsiCodePage(), page);
  }
}

struct Sample {
  unsigned codePage;
  std::u16string text;
  const char* bytes;  // hex
};

void PrintTo(const Sample& s, std::ostream* os) { *os << s.codePage << " " << s.bytes; }

// Conversions that hold both ways.
class KnownConversion : public testing::TestWithParam<Sample> {};

TEST_P(KnownConversion, BothWays) {
  const CodePageScope scope(GetParam().codePage);
  EXPECT_EQ(ToHex(TextToAnsi(GetParam().text)), GetParam().bytes);
  EXPECT_EQ(AnsiToText(FromHex(GetParam().bytes)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, KnownConversion,
    testing::Values(Sample{1252, u"A\u20AC\u2013\u00E9\u00FF", "418096E9FF"},
                    Sample{1252, u"\u0081\u008D\u008F\u0090\u009D", "818D8F909D"},
                    Sample{1252, std::u16string(u"a\0b", 3), "610062"},
                    Sample{1251, u"\u0416\u044F", "C6FF"}, Sample{1253, u"\u03A9", "D9"},
                    Sample{1253, u"\uF8F9", "AA"},  // undefined in Greek: a private-use character
                    Sample{874, u"\u0E01", "A1"}, Sample{932, u"\u65E5\u672Cx", "93FA967B78"},
                    Sample{932, u"\u0080\uF8F0", "80A0"}, Sample{936, u"\u4E2D\u6587", "D6D0CEC4"},
                    Sample{936, u"\u20AC", "80"}, Sample{936, u"\uE000", "AAA1"},
                    Sample{949, u"\uAC00", "B0A1"}, Sample{950, u"\u4E2D", "A4A4"},
                    Sample{65001, u"\u00E9\u4E2D\U0001F600", "C3A9E4B8ADF09F9880"}));

// Text to bytes only: what the code page lacks becomes "?", one per UTF-16 unit, with best fit
// off; with it on, Windows' best-fit choices.
struct OneWay {
  unsigned codePage;
  bool bestFit;
  std::u16string text;
  const char* bytes;  // hex
};

void PrintTo(const OneWay& s, std::ostream* os) {
  *os << s.codePage << (s.bestFit ? " best fit " : " ") << s.bytes;
}

class TextToBytes : public testing::TestWithParam<OneWay> {};

TEST_P(TextToBytes, Known) {
  const CodePageScope scope(GetParam().codePage, GetParam().bestFit);
  EXPECT_EQ(ToHex(TextToAnsi(GetParam().text)), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, TextToBytes,
    testing::Values(OneWay{1252, false, u"a\u4E2Db", "613F62"},
                    OneWay{1252, false, u"\u0100", "3F"}, OneWay{1252, true, u"\u0100", "41"},
                    OneWay{1252, true, u"\uFF21\u221E", "4138"},  // fullwidth A, infinity
                    OneWay{1252, false, u"\U0001F600", "3F3F"},
                    OneWay{1252, true, u"\U0001F600", "3F3F"},
                    OneWay{1252, false, std::u16string{u'a', char16_t{0xD800}, u'b'}, "613F62"},
                    OneWay{1253, false, u"\u00AA", "3F"}, OneWay{1253, true, u"\u00AA", "3F"},
                    OneWay{936, false, u"a\u0E01b", "613F62"},
                    OneWay{936, false, u"\U0001F600x", "3F3F78"},
                    OneWay{932, false, u"\U000E0041", "3F3F"},  // a tag character
                    OneWay{65001, false, std::u16string{u'x', char16_t{0xDFFF}}, "78EFBFBD"},
                    OneWay{65001, false, std::u16string{char16_t{0xD800}}, "EFBFBD"},
                    OneWay{65001, true, u"\u0100", "C480"}));

// Tag characters (U+E0000..U+E007F) are surrogate pairs: each unit becomes "?", in every page.
TEST(CodePage, TagCharactersBecomeQuestionMarksEverywhere) {
  for (const unsigned page : BestFitCodePages()) {
    for (const bool bestFit : {false, true}) {
      const CodePageScope scope(page, bestFit);
      EXPECT_EQ(ToHex(TextToAnsi(u"\U000E0000\U000E0041\U000E007F")), "3F3F3F3F3F3F") << page;
    }
  }
}

// Bytes to text only: bytes and pairs the code page leaves undefined, and lead bytes without a
// trail byte. Nothing is dropped and nothing is read past the end.
struct Decoded {
  unsigned codePage;
  const char* bytes;  // hex
  std::u16string text;
};

void PrintTo(const Decoded& s, std::ostream* os) { *os << s.codePage << " " << s.bytes; }

class BytesToText : public testing::TestWithParam<Decoded> {};

TEST_P(BytesToText, Known) {
  const CodePageScope scope(GetParam().codePage);
  EXPECT_EQ(AnsiToText(FromHex(GetParam().bytes)), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, BytesToText,
    testing::Values(Decoded{932, "81", u"\u30FB"}, Decoded{932, "812041", u"\u30FBA"},
                    Decoded{949, "A2E8", u"?"}, Decoded{949, "A2E84142", u"?AB"},
                    Decoded{936, "8100", std::u16string(u"?\0", 2)}, Decoded{936, "D6", u"?"},
                    Decoded{936, "61D6", u"a?"}, Decoded{936, "81207A", u"?z"},
                    Decoded{950, "FF", u"\uF8F8"}, Decoded{1253, "AA", u"\uF8F9"},
                    Decoded{65001, "FF61", u"\uFFFDa"}, Decoded{65001, "E4B8", u"\uFFFD\uFFFD"},
                    Decoded{65001, "EDA080", u"\uFFFD\uFFFD\uFFFD"}));

TEST(CodePage, BestFitSwitchesBackOff) {
  const CodePageScope scope(1252, true);
  EXPECT_TRUE(platform::AnsiBestFit());
  EXPECT_EQ(ToHex(TextToAnsi(u"\u0100")), "41");
  platform::SetAnsiBestFit(false);
  EXPECT_FALSE(platform::AnsiBestFit());
  EXPECT_EQ(ToHex(TextToAnsi(u"\u0100")), "3F");
}

TEST(CodePage, LongAsciiRunsAroundOtherCharacters) {
  // Runs longer than 16 units take the bulk path; the pair and the accent interrupt it.
  const std::u16string text = std::u16string(37, u'a') + u"\U0001F600" + std::u16string(20, u'b') +
                              u"\u00E9" + std::u16string(40, u'c');
  ByteArray want(37, 'a');
  want.push_back('?');  // one "?" for each half of the pair
  want.push_back('?');
  want.insert(want.end(), 20, 'b');
  want.push_back(0xE9);
  want.insert(want.end(), 40, 'c');
  EXPECT_EQ(TextToAnsi(text), want);
  EXPECT_EQ(AnsiToText(want), std::u16string(37, u'a') + u"??" + std::u16string(20, u'b') +
                                  u"\u00E9" + std::u16string(40, u'c'));
}

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
  for (const unsigned page : {932U, 936U, 949U, 950U, 65001U}) {
    const CodePageScope scope(page);
    EXPECT_EQ(AnsiToText(TextToAnsi(text)), text) << page;
  }
}

// The bytes in pieces are the bytes whole, in every code page and both best-fit modes, with
// ASCII runs, pairs and unmappable characters across the pieces' boundaries.
TEST(CodePage, BytesInPiecesAreTheBytesWhole) {
  std::u16string text;
  for (int i = 0; i < 3000; ++i) {
    text += std::u16string(static_cast<std::size_t>(i % 37), u'a');
    text += (i % 3 == 0) ? u"\u4E2D" : (i % 3 == 1) ? u"\u00E9\U0001F600" : u"\u0100\uAC00";
  }
  std::vector<unsigned> pages = BestFitCodePages();
  pages.push_back(65001);
  for (const unsigned page : pages) {
    for (const bool bestFit : {false, true}) {
      const CodePageScope scope(page);
      const platform::ScopedAnsiBestFit fit(bestFit);
      ByteArray joined;
      int empty = 0;
      platform::TextToAnsiInPieces(text, [&](std::span<const std::uint8_t> piece) {
        empty += piece.empty() ? 1 : 0;
        joined.insert(joined.end(), piece.begin(), piece.end());
      });
      EXPECT_EQ(joined, TextToAnsi(text)) << page << " best fit " << bestFit;
      EXPECT_EQ(empty, 0) << page;
    }
  }
  int calls = 0;
  platform::TextToAnsiInPieces(u"", [&](std::span<const std::uint8_t>) { ++calls; });
  EXPECT_EQ(calls, 0);
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
