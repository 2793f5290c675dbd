// The database extensions' shared argument handling against the library called directly, and
// Base64 in pieces against Base64 at once.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ansicrypt/ansicrypt.h"
#include "bindings/common/base64_pieces.h"
#include "bindings/common/call_settings.h"
#include "bindings/common/text_argument.h"
#include "bindings/common/utf8_argument.h"
#include "tests/support/error_of.h"

namespace ansicrypt::test {
namespace {

using bindings::TextArgument;

std::string RandomUtf8(std::mt19937& rng, std::size_t characters) {
  static const Text kAlphabet = u"abcXYZ 09\u00e9\u00fc\u20ac\u4e2d\u6587\u0100\uac00\u3042";
  Text text;
  for (std::size_t i = 0; i < characters; ++i) text += kAlphabet[rng() % kAlphabet.size()];
  return TextToUtf8(text);
}

class TextArgumentForms : public testing::TestWithParam<unsigned> {};

// UTF-8 arguments give the text forms' results, the code page's bytes the byte forms'.
TEST_P(TextArgumentForms, EqualTheLibrarysForms) {
  const bindings::CallScope scope({GetParam(), false}, bindings::kWhateverIsInForce);
  std::mt19937 rng(GetParam());
  for (int i = 0; i < 100; ++i) {
    const std::string plain = RandomUtf8(rng, 1 + rng() % 30);
    const std::string key = RandomUtf8(rng, rng() % 14);
    const Text plainText = Utf8ToText(plain);
    const Text keyText = Utf8ToText(key);
    const std::string hex = bindings::DesEncrypt({plain, false}, {key, false});
    EXPECT_EQ(hex, TextToUtf8(EncryptDes_StrToHex(plainText, keyText)));
    EXPECT_EQ(bindings::DesDecrypt({hex, false}, {key, false}),
              TextToUtf8(DecryptDes_HexToStr(Utf8ToText(hex), keyText)));
    EXPECT_EQ(bindings::Md5({plain, false}), TextToUtf8(clsMD5().Md5_String_Calc(plainText)));

    const ByteArray ansi = platform::TextToAnsi(plainText);
    const ByteArray keyAnsi = platform::TextToAnsi(keyText);
    const std::string ansiPlain(ansi.begin(), ansi.end());
    const std::string ansiKey(keyAnsi.begin(), keyAnsi.end());
    EXPECT_EQ(bindings::DesEncrypt({ansiPlain, true}, {ansiKey, true}), hex);
    EXPECT_EQ(bindings::Md5({ansiPlain, true}), bindings::Md5({plain, false}));
    // A keyed object gives what the key argument gives.
    DES keyed;
    keyed.SetKey1(bindings::KeyBytes({key, false}));
    EXPECT_EQ(bindings::DesDecrypt({hex, false}, keyed),
              bindings::DesDecrypt({hex, false}, {key, false}));
  }
}

INSTANTIATE_TEST_SUITE_P(CodePages, TextArgumentForms,
                         testing::Values(1252U, 1250U, 932U, 936U, 949U, 950U, 65001U));

// Long hexadecimal texts are refused before they are converted, with the error the library would
// give: a bad character among the first 32,768 first, else the length.
TEST(TextArgument, LongHexTextsKeepTheLibrarysErrors) {
  for (const bool ansi : {false, true}) {
    const std::string digits(40000, '0');
    EXPECT_EQ(ErrorOf([&] { bindings::DesDecrypt({digits, ansi}, {"k", ansi}); }), errc::overflow);
    const std::string early = "g" + digits;
    EXPECT_EQ(ErrorOf([&] {
                bindings::DesDecrypt({early, ansi}, {"k", ansi});
              }),
              errc::type_mismatch);
    const std::string late = digits + "g";
    EXPECT_EQ(ErrorOf([&] { bindings::DesDecrypt({late, ansi}, {"k", ansi}); }), errc::overflow);
  }
  EXPECT_THROW(bindings::DesDecrypt({"00\xff", false}, {"k", false}), bindings::NotUtf8);
  EXPECT_EQ(ErrorOf([] { bindings::Md5({std::string(32768, 'a'), true}); }), errc::overflow);
}

// The decoded bytes as text, or the error as "error N".
template <class Decode>
std::string DecodeOutcome(Decode decode) {
  try {
    const ByteArray bytes = decode();
    return std::string(bytes.begin(), bytes.end());
  } catch (const Error& e) {
    return "error " + std::to_string(e.code().value());
  }
}

// Pieces of every size give the bytes, or the error, of one call.
TEST(Base64Pieces, EqualOneCall) {
  std::mt19937 rng(7);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 400; ++i) {
    std::vector<std::uint8_t> text(4 * (rng() % 20));
    for (auto& c : text) c = static_cast<std::uint8_t>(alphabet[rng() % alphabet.size()]);
    // A pad, a character outside the alphabet, one above "z" or a NUL somewhere.
    if (!text.empty() && rng() % 2 == 0)
      text[rng() % text.size()] = static_cast<std::uint8_t>("=!{"[rng() % 4]);
    const ByteArray whole(text.begin(), text.end());
    const std::string expected = DecodeOutcome([&] { return Base64::DecodeBase64(whole); });
    for (std::size_t piece = 1; piece <= 5; ++piece) {
      EXPECT_EQ(DecodeOutcome([&] {
                  std::vector<std::uint8_t> out(Base64::DecodedSize(text));
                  for (std::size_t at = 0; at < text.size();) {
                    at = bindings::DecodeBase64Piece(text, at, piece * 4, out);
                  }
                  return ByteArray(out.begin(), out.end());
                }),
                expected)
          << "piece of " << piece * 4;
      std::vector<std::uint8_t> encoded(Base64::EncodedSize(text.size()));
      for (std::size_t at = 0; at < text.size();) {
        at = bindings::EncodeBase64Piece(text, at, piece * 3, encoded);
      }
      EXPECT_EQ(ByteArray(encoded.begin(), encoded.end()), Base64::EncodeBase64(whole));
    }
  }
}

}  // namespace
}  // namespace ansicrypt::test
