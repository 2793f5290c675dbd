// The Base64 text operations over the ANSI code page.
#include <gtest/gtest.h>

#include <random>

#include "ansicrypt/text/base64_text.h"
#include "tests/support/code_page_scope.h"
#include "tests/support/error_of.h"

namespace ansicrypt::test {
namespace {

struct Sample {
  unsigned codePage;
  std::u16string text;
  std::u16string base64;
};

void PrintTo(const Sample& s, std::ostream* os) { *os << s.codePage; }

class KnownText : public testing::TestWithParam<Sample> {};

TEST_P(KnownText, EncodesAndDecodes) {
  const CodePageScope scope(GetParam().codePage);
  EXPECT_EQ(EncodeBase64_StrToStr(GetParam().text), GetParam().base64);
  EXPECT_EQ(DecodeBase64_StrToStr(GetParam().base64), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Samples, KnownText,
                         testing::Values(Sample{1252, u"Man", u"TWFu"},
                                         Sample{1252, u"Ma", u"TWE="}, Sample{1252, u"M", u"TQ=="},
                                         Sample{1252, u"", u""},
                                         Sample{1252, u"caf\u00E9", u"Y2Fm6Q=="},
                                         Sample{936, u"\u4E2D\u6587", u"1tDOxA=="},
                                         Sample{65001, u"\u4E2D\u6587", u"5Lit5paH"},
                                         Sample{1252, std::u16string(u"a\0b", 3), u"YQBi"}));

TEST(Base64Text, RandomTextsRoundTrip) {
  const std::u16string pool = u"ab Z09+/=\t\n\u00E9\u4E2D\u6587\u3042";
  std::mt19937 rng(41);
  for (const unsigned page : {1252U, 936U, 932U, 65001U}) {
    const CodePageScope scope(page);
    for (int i = 0; i < 100; ++i) {
      std::u16string text(rng() % 30, u' ');
      for (auto& c : text) c = pool[rng() % pool.size()];
      const Text expected = platform::AnsiToText(platform::TextToAnsi(text));
      EXPECT_EQ(DecodeBase64_StrToStr(EncodeBase64_StrToStr(text)), expected);
    }
  }
}

// "oug=" decodes to A2 E8, a lead byte of 949 with a trail byte the code page does not define:
// one default character, and the bytes after it are all kept.
TEST(Base64Text, UndefinedDoubleBytePairDecodesToTheDefaultCharacter) {
  const CodePageScope scope(949);
  EXPECT_EQ(DecodeBase64_StrToStr(u"oug="), u"?");
  EXPECT_EQ(DecodeBase64_StrToStr(u"ouhBQg=="), u"?AB");
}

TEST(Base64Text, DecoderErrorsReachTheCaller) {
  EXPECT_EQ(ErrorOf([] { DecodeBase64_StrToStr(u"TWF"); }), errc::invalid_argument);
  EXPECT_EQ(ErrorOf([] { DecodeBase64_StrToStr(u"TWFu\r\n"); }), errc::invalid_argument);
  EXPECT_EQ(ErrorOf([] { DecodeBase64_StrToStr(u"TW u"); }), errc::overflow);
  EXPECT_EQ(ErrorOf([] { DecodeBase64_StrToStr(u"TWF\u00E9"); }), errc::out_of_range);
  EXPECT_EQ(ErrorOf([] { DecodeBase64_StrToStr(u"{WFu"); }), errc::out_of_range);
}

}  // namespace
}  // namespace ansicrypt::test
