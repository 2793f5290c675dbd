// The hexadecimal-text cipher operations.
#include <gtest/gtest.h>

#include <random>

#include "ansicrypt/common/hex_text.h"
#include "ansicrypt/platform/code_page.h"
#include "ansicrypt/text/des_text.h"
#include "tests/support/code_page_scope.h"
#include "tests/support/error_of.h"
#include "tests/support/oracle.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

std::u16string AsciiHex(const ByteArray& bytes) { return Ascii(ToHex(bytes)); }

// The expected hexadecimal text from OpenSSL: DES under the first 8 key bytes, zero-filled.
std::u16string OpenSslHex(std::string_view plain, std::string_view key) {
  return AsciiHex(OracleDes(KeyPart(ByteArray(key.begin(), key.end()), 0),
                            ByteArray(plain.begin(), plain.end()), true));
}

TEST(EncryptDesStrToHex, MatchesOpenSsl) {
  std::mt19937 rng(21);
  for (int i = 0; i < 200; ++i) {
    std::string plain(1 + rng() % 100, ' ');
    for (auto& c : plain) c = static_cast<char>(32 + rng() % 95);
    std::string key(rng() % 20, ' ');
    for (auto& c : key) c = static_cast<char>(32 + rng() % 95);
    EXPECT_EQ(EncryptDes_StrToHex(Ascii(plain), Ascii(key)), OpenSslHex(plain, key));
  }
}

TEST(EncryptDesStrToHex, SixteenDigitsPerBlock) {
  for (std::size_t n = 1; n <= 24; ++n) {
    const Text hex = EncryptDes_StrToHex(Text(n, u'x'), u"key");
    EXPECT_EQ(hex.size(), (n + 7) / 8 * 16) << n;
    EXPECT_EQ(hex.find_first_not_of(u"0123456789ABCDEF"), Text::npos);
  }
}

TEST(EncryptDesStrToHex, KeyTextRules) {
  const Text plain = u"legacy data";
  // Only the first 8 ANSI bytes count; a short key is zero-filled; parity bits are ignored.
  EXPECT_EQ(EncryptDes_StrToHex(plain, u"12345678"), EncryptDes_StrToHex(plain, u"12345678tail"));
  EXPECT_EQ(EncryptDes_StrToHex(plain, u"abc"),
            OpenSslHex("legacy data", std::string("abc\0\0\0\0\0", 8)));
  EXPECT_EQ(EncryptDes_StrToHex(plain, u""), OpenSslHex("legacy data", std::string(8, '\0')));
  EXPECT_EQ(EncryptDes_StrToHex(plain, u"abcdefgh"), EncryptDes_StrToHex(plain, u"`bbdeggi"));
  EXPECT_NE(EncryptDes_StrToHex(plain, u"abcdefgh"), EncryptDes_StrToHex(plain, u"abcdefgj"));
}

TEST(EncryptDesStrToHex, KeyCountsAnsiBytes) {
  const CodePageScope scope(936);
  // Four double-byte characters fill the 8 key bytes; the fifth is past them.
  EXPECT_EQ(EncryptDes_StrToHex(u"x", u"\u4E2D\u6587\u4E2D\u6587"),
            EncryptDes_StrToHex(u"x", u"\u4E2D\u6587\u4E2D\u6587\u4E2D"));
  EXPECT_EQ(EncryptDes_StrToHex(u"x", u"\u4E2D"),
            OpenSslHex("x", std::string("\xD6\xD0\0\0\0\0\0\0", 8)));
}

// In UTF-8 a character beyond U+FFFF is four bytes: one that starts at character 8 of the key
// gives key byte 8 its first byte, not that of a replacement for half of it.
TEST(EncryptDesStrToHex, KeyCharacterAcrossByteEightInUtf8) {
  const CodePageScope scope(65001);
  EXPECT_EQ(EncryptDes_StrToHex(u"Hello", u"abcdefg\U0001F600"),
            OpenSslHex("Hello", std::string("abcdefg\xF0", 8)));
}

TEST(EncryptDesStrToHex, LengthLimits) {
  EXPECT_EQ(ErrorOf([] { EncryptDes_StrToHex(u"", u"k"); }), errc::out_of_range);
  EXPECT_EQ(EncryptDes_StrToHex(Text(32760, u'a'), u"k").size(), 65520U);
  EXPECT_EQ(ErrorOf([] { EncryptDes_StrToHex(Text(32761, u'a'), u"k"); }), errc::overflow);
  const CodePageScope scope(936);
  EXPECT_EQ(ErrorOf([] { EncryptDes_StrToHex(Text(16381, u'\u4E2D'), u"k"); }), errc::overflow);
}

// A character beyond U+FFFF is two UTF-16 units, each written as "?" in an ANSI code page.
TEST(EncryptDesStrToHex, TagCharacterEncryptsAsTwoQuestionMarks) {
  for (const unsigned page : {932U, 936U, 949U, 950U, 1252U}) {
    const CodePageScope scope(page);
    EXPECT_EQ(EncryptDes_StrToHex(u"\U000E0041", u"k"), EncryptDes_StrToHex(u"??", u"k")) << page;
  }
}

// A wrong key decrypts to arbitrary bytes; in a double-byte code page they hold lead bytes in any
// position, which must never read past the decrypted bytes.
TEST(DecryptDesHexToStr, WrongKeyInDoubleBytePagesGivesSomeText) {
  std::mt19937 rng(949);
  for (const unsigned page : {932U, 936U, 949U, 950U}) {
    const CodePageScope scope(page);
    for (int i = 0; i < 200; ++i) {
      Text plain(1 + rng() % 60, u'x');
      for (auto& c : plain) c = static_cast<char16_t>(0x4E00 + rng() % 0x5000);
      const Text text = DecryptDes_HexToStr(EncryptDes_StrToHex(plain, u"right"), u"wrong");
      EXPECT_LE(text.size(), 2 * plain.size() + 8);
    }
  }
}

class RoundTrip : public testing::TestWithParam<unsigned> {};

// Every text whose ANSI bytes hold no zero byte comes back exactly, whatever characters it has.
TEST_P(RoundTrip, GivesTheTextBack) {
  const CodePageScope scope(GetParam());
  const std::u16string pool =
      u"abcXYZ 019~\t\r\n\u00E9\u00FC\u20AC\u4E2D\u6587\u65E5\u672C\u3042\u00A0!\"#";
  std::mt19937 rng(GetParam());
  int checked = 0;
  for (int i = 0; i < 300; ++i) {
    std::u16string text(1 + rng() % 40, u' ');
    for (auto& c : text) c = pool[rng() % pool.size()];
    // Characters the code page lacks already come back as "?"; compare with the ANSI form.
    const Text expected = platform::AnsiToText(platform::TextToAnsi(text));
    const Text key = text.substr(0, rng() % 10);
    EXPECT_EQ(DecryptDes_HexToStr(EncryptDes_StrToHex(text, key), key), expected);
    checked += expected == text;
  }
  EXPECT_GT(checked, 0);  // some texts are representable as they stand
}

INSTANTIATE_TEST_SUITE_P(CodePages, RoundTrip, testing::Values(1252, 936, 932, 65001));

TEST(DecryptDesHexToStr, ControlCharactersAndAccentsSurvive) {
  const Text text = u"tab\there\r\nna\u00EFve \u00E9t\u00E9";
  EXPECT_EQ(DecryptDes_HexToStr(EncryptDes_StrToHex(text, u"k"), u"k"), text);
}

TEST(DecryptDesHexToStr, StopsAtTheFirstZeroByte) {
  const Text text(u"before\0after", 12);
  EXPECT_EQ(DecryptDes_HexToStr(EncryptDes_StrToHex(text, u"k"), u"k"), u"before");
}

TEST(DecryptDesHexToStr, LowercaseDigitsAreRead) {
  Text hex = EncryptDes_StrToHex(u"Mixed Case", u"key");
  for (auto& c : hex) c = (c >= u'A' && c <= u'F') ? static_cast<char16_t>(c + 32) : c;
  EXPECT_EQ(DecryptDes_HexToStr(hex, u"key"), u"Mixed Case");
}

TEST(DecryptDesHexToStr, ShortTextsDecryptToNothing) {
  const Text hex = EncryptDes_StrToHex(u"abcdefgh", u"k");
  for (std::size_t n = 0; n <= 14; ++n) {
    EXPECT_EQ(DecryptDes_HexToStr(hex.substr(0, n), u"k"), u"") << n;
  }
}

TEST(DecryptDesHexToStr, OddLengthsFollowTheRoundingRule) {
  const Text hex = EncryptDes_StrToHex(u"sixteen chars!!!", u"k");  // 32 digits, two blocks
  // 17 digits read as the first 16: the seventeenth lands in the block that is not read.
  EXPECT_EQ(DecryptDes_HexToStr(hex + u"F", u"k"), u"sixteen chars!!!");
  EXPECT_EQ(DecryptDes_HexToStr(hex.substr(0, 17), u"k"), u"sixteen ");
  // 15 digits make one block whose last byte is the value of the lone final digit.
  const ByteArray key = KeyPart({'k'}, 0);
  const ByteArray block = FromHex("0123456789ABCD0E");
  const Text fifteen = Ascii(ToHex(OracleDes(key, block, true)).substr(0, 14)) + u"E";
  const ByteArray cipher = FromHex(ToHex(OracleDes(key, block, true)).substr(0, 14) + "0E");
  const ByteArray plain = OracleDes(key, cipher, false);
  const auto zero = std::find(plain.begin(), plain.end(), 0);
  ASSERT_NE(plain.begin(), zero);
  EXPECT_EQ(DecryptDes_HexToStr(fifteen, u"k"),
            platform::AnsiToText(ByteArray(plain.begin(), zero)));
  // 31 digits make two blocks (N = 16).
  EXPECT_EQ(DecryptDes_HexToStr(hex.substr(0, 31), u"k").substr(0, 8), u"sixteen ");
}

// Every digit count from 0 to 80, random digits of either case, against
// OpenSSL and the legacy reading: the digits fill half the count rounded to even, plus one byte;
// that is zero-filled to whole blocks and decrypted, and the text is what precedes the first zero
// in all but the last block.
TEST(DecryptDesHexToArr, EveryDigitCountMatchesOpenSsl) {
  std::mt19937 rng(37);
  const ByteArray key = {'d', 'i', 'g', 'i', 't', 's'};
  for (std::size_t length = 0; length <= 80; ++length) {
    for (int trial = 0; trial < 8; ++trial) {
      std::string digits(length, '0');
      for (auto& d : digits) d = "0123456789ABCDEFabcdef"[rng() % 22];
      std::string even = digits;
      if (length % 2 == 1) even.insert(length - 1, 1, '0');  // a lone last digit is a byte's value
      const std::size_t half = length / 2;
      const std::size_t count = (length % 2 == 1 && half % 2 == 1) ? half + 1 : half;
      ByteArray cipher = FromHex(even);
      cipher.resize((count + 1 + 7) / 8 * 8, 0);
      const ByteArray plain = OracleDes(KeyPart(key, 0), cipher, false);
      const auto end = std::find(plain.begin(), plain.end() - 8, std::uint8_t{0});
      EXPECT_EQ(DecryptDes_HexToArr(Ascii(digits), key), ByteArray(plain.begin(), end))
          << length << " digits " << digits;
    }
  }
}

TEST(DecryptDesHexToStr, WrongKeyGivesOtherTextWithoutError) {
  const Text hex = EncryptDes_StrToHex(u"the secret text", u"right");
  Text result;
  EXPECT_NO_THROW(result = DecryptDes_HexToStr(hex, u"wrong"));
  EXPECT_NE(result, u"the secret text");
}

struct BadHex {
  std::u16string_view head;
  std::size_t zeros;  // digits "0" appended to the head
  errc error;
};

void PrintTo(const BadHex& b, std::ostream* os) { *os << b.head.size() + b.zeros << " digits"; }

class DecryptError : public testing::TestWithParam<BadHex> {};

TEST_P(DecryptError, IsRaised) {
  Text hex(GetParam().head);
  hex.append(GetParam().zeros, u'0');
  EXPECT_EQ(ErrorOf([&] { DecryptDes_HexToStr(hex, u"k"); }), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecryptError,
    testing::Values(BadHex{u"0123456789ABCDEG", 0, errc::type_mismatch},
                    BadHex{u"0123456789ABCD E", 0, errc::type_mismatch},  // a blank inside a pair
                    BadHex{u" 123456789ABCDEF", 0, errc::type_mismatch},
                    BadHex{u"+1", 0, errc::type_mismatch},
                    BadHex{u"0x1234", 0, errc::type_mismatch},
                    BadHex{u"\u0661\u0662", 0, errc::type_mismatch},  // Arabic-Indic digits
                    BadHex{u"123G5", 0, errc::type_mismatch},         // lone final digit read too
                    BadHex{u"", 32767, errc::overflow}, BadHex{u"A", 39999, errc::overflow},
                    BadHex{u"Z", 40000, errc::type_mismatch}));  // the bad pair comes first

TEST(DecryptDesHexToStr, LongestTexts) {
  EXPECT_NO_THROW(DecryptDes_HexToStr(std::u16string(32766, u'0'), u"k"));
  const Text longest(16376, u'q');
  EXPECT_EQ(DecryptDes_HexToStr(EncryptDes_StrToHex(longest, u"k"), u"k"), longest);
  const Text hex = EncryptDes_StrToHex(Text(16377, u'q'), u"k");
  EXPECT_EQ(hex.size(), 32768U);
  EXPECT_EQ(ErrorOf([&] { DecryptDes_HexToStr(hex, u"k"); }), errc::overflow);
}

// The byte forms are the text forms without the code page: the text forms are the byte forms of
// the texts' ANSI bytes in every code page, and bytes no text could give (a lone lead byte, an
// undefined one) go through as they are.
TEST(DesArrForms, AreTheTextFormsWithoutTheCodePage) {
  std::mt19937 rng(29);
  for (const unsigned page : {1252U, 932U, 936U, 65001U}) {
    const CodePageScope scope(page);
    for (int i = 0; i < 200; ++i) {
      Text plain(1 + rng() % 40, u' ');
      for (auto& c : plain) c = static_cast<char16_t>(0x20 + rng() % 0x5000);
      Text key(rng() % 12, u' ');
      for (auto& c : key) c = static_cast<char16_t>(0x20 + rng() % 0x5000);
      const ByteArray keyBytes = platform::TextToAnsi(key);
      const Text hex = EncryptDes_StrToHex(plain, key);
      EXPECT_EQ(EncryptDes_ArrToHex(platform::TextToAnsi(plain), keyBytes), hex);
      EXPECT_EQ(platform::AnsiToText(DecryptDes_HexToArr(hex, keyBytes)),
                DecryptDes_HexToStr(hex, key));
    }
  }
  const ByteArray raw = {'c', 'a', 'f', 0xE9, 0x81, 0x00, 0x7F};
  const ByteArray key = {0xE9, 0x81};
  EXPECT_EQ(DecryptDes_HexToArr(EncryptDes_ArrToHex(raw, key), key),
            ByteArray(raw.begin(), raw.begin() + 5));
  EXPECT_EQ(EncryptDes_ArrToHex(raw, key), AsciiHex(OracleDes(KeyPart(key, 0), raw, true)));
  EXPECT_EQ(ErrorOf([] { EncryptDes_ArrToHex({}, {}); }), errc::out_of_range);
  EXPECT_EQ(ErrorOf([] { EncryptDes_ArrToHex(ByteArray(32761), {}); }), errc::overflow);
  EXPECT_EQ(ErrorOf([] { DecryptDes_HexToArr(u"zz", {}); }), errc::type_mismatch);
}

// One object keyed once serves many texts, with the results of the forms that key per call; its
// key 2 (set to something else) takes no part, and a failed call leaves it usable.
TEST(DesArrForms, KeyedObjectGivesTheResultsOfTheKeyForms) {
  std::mt19937 rng(31);
  for (int k = 0; k < 20; ++k) {
    ByteArray key(rng() % 12);
    for (auto& b : key) b = static_cast<std::uint8_t>(rng());
    DES keyed;
    keyed.SetKey1(key);
    keyed.SetKey2({0xFF, 0xEE});
    for (int i = 0; i < 50; ++i) {
      ByteArray plain(1 + rng() % 100);
      for (auto& b : plain) b = static_cast<std::uint8_t>(rng());
      const Text hex = EncryptDes_ArrToHex(plain, key);
      EXPECT_EQ(EncryptDes_ArrToHex(plain, keyed), hex);
      EXPECT_EQ(DecryptDes_HexToArr(hex, keyed), DecryptDes_HexToArr(hex, key));
      EXPECT_EQ(ErrorOf([&] { DecryptDes_HexToArr(hex + u"g", keyed); }), errc::type_mismatch);
    }
  }
}

TEST(HexText, TwoUppercaseDigitsPerByte) {
  EXPECT_EQ(HexText({0x00, 0x0A, 0xF0, 0xFF}), u"000AF0FF");
  EXPECT_EQ(HexText({}), u"");
}

}  // namespace
}  // namespace ansicrypt::test
