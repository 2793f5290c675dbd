// UTF-8 to and from UTF-16: the well-formed boundaries and every kind of ill-formed input.
#include <gtest/gtest.h>

#include "ansicrypt/common/utf8.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

struct Utf8Case {
  const char* name;
  const char* utf8;  // hex
  std::u16string text;
};

void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class Utf8Decoding : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Decoding, GivesTheText) {
  const ByteArray bytes = FromHex(GetParam().utf8);
  const std::string utf8(bytes.begin(), bytes.end());
  EXPECT_EQ(Utf8ToText(utf8), GetParam().text);
  // None of the cases holds U+FFFD itself: a replacement means the input was ill-formed.
  const bool wellFormed = GetParam().text.find(u'\uFFFD') == std::u16string::npos;
  Text strict = u"left over";
  EXPECT_EQ(TryUtf8ToText(utf8, strict), wellFormed);
  if (wellFormed) {
    EXPECT_EQ(strict, GetParam().text);
  } else {
    EXPECT_EQ(strict, GetParam().text.substr(0, GetParam().text.find(u'\uFFFD')));
  }
}

// Each byte of an ill-formed sequence gives one U+FFFD.
INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Decoding,
    testing::Values(Utf8Case{"ascii", "007F", std::u16string(u"\0\u007F", 2)},
                    Utf8Case{"two_byte_bounds", "C280DFBF", u"\u0080\u07FF"},
                    Utf8Case{"three_byte_bounds", "E0A080EFBFBF", u"\u0800\uFFFF"},
                    Utf8Case{"around_surrogates", "ED9FBFEE8080", u"\uD7FF\uE000"},
                    Utf8Case{"four_byte_bounds", "F0908080F48FBFBF", u"\U00010000\U0010FFFF"},
                    Utf8Case{"overlong_two", "C080C1BF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"overlong_three", "E080AF", u"\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"overlong_four", "F08FBFBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"encoded_high_surrogate", "EDA080", u"\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"encoded_low_surrogate", "EDBFBF", u"\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"above_10FFFF", "F4908080", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"lead_F5", "F5808080", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                    Utf8Case{"lone_continuation", "80BF41", u"\uFFFD\uFFFDA"},
                    Utf8Case{"cut_off_by_end", "E4B8", u"\uFFFD\uFFFD"},
                    Utf8Case{"cut_off_by_ascii", "E4B841", u"\uFFFD\uFFFDA"},
                    Utf8Case{"byte_FF", "FF", u"\uFFFD"}),
    [](const testing::TestParamInfo<Utf8Case>& c) { return std::string(c.param.name); });

class Utf8Encoding : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Encoding, GivesTheBytes) {
  const std::string utf8 = TextToUtf8(GetParam().text);
  EXPECT_EQ(ToHex(ByteArray(utf8.begin(), utf8.end())), GetParam().utf8);
}

// An unpaired surrogate is written as U+FFFD, never as the three bytes of the surrogate itself.
INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Encoding,
    testing::Values(Utf8Case{"bounds", "7FC280DFBFE0A080EFBFBF", u"\u007F\u0080\u07FF\u0800\uFFFF"},
                    Utf8Case{"pairs", "F0908080F48FBFBF", u"\U00010000\U0010FFFF"},
                    Utf8Case{"lone_high", "EFBFBD41", std::u16string{char16_t{0xD800}, u'A'}},
                    Utf8Case{"lone_low", "41EFBFBD", std::u16string{u'A', char16_t{0xDFFF}}},
                    Utf8Case{"reversed_pair", "EFBFBDEFBFBD",
                             std::u16string{char16_t{0xDC00}, char16_t{0xD800}}},
                    Utf8Case{"high_at_end", "F09F9880EFBFBD",
                             std::u16string{u"\U0001F600"} + char16_t{0xD83D}}),
    [](const testing::TestParamInfo<Utf8Case>& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace ansicrypt::test
