// Base64 encoding and decoding: published vectors, round trips against OpenSSL, and every error.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cctype>
#include <map>
#include <optional>
#include <random>
#include <variant>

#include "ansicrypt/base64/base64.h"
#include "tests/support/error_of.h"
#include "tests/support/simd_scope.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

using Base64::DecodeBase64;
using Base64::EncodeBase64;

ByteArray Ascii(std::string_view s) { return ByteArray(s.begin(), s.end()); }

// The tests that reach the bulk loops run on every path the processor has.
class Base64Paths : public testing::TestWithParam<detail::SimdLevel> {
 protected:
  void SetUp() override {
    if (!SimdScope::Available(GetParam())) GTEST_SKIP() << "this processor lacks the path";
  }
};

class ValidVectors : public testing::TestWithParam<const char*> {};

TEST_P(ValidVectors, EncodeAndDecode) {
  int count = 0;
  for (const auto& r : ReadVectorFile(GetParam())) {
    if (r.section != "valid") continue;
    SCOPED_TRACE(r.file + ":" + std::to_string(r.line));
    const ByteArray binary = FromHex(r.at("Binary"));
    const ByteArray text = Ascii(r.at("Base64"));
    EXPECT_EQ(EncodeBase64(binary), text);
    EXPECT_EQ(DecodeBase64(text), binary);
    ++count;
  }
  EXPECT_GE(count, 7);
}

INSTANTIATE_TEST_SUITE_P(Files, ValidVectors,
                         testing::Values("rfc4648-section10.vec", "botan-base64.vec"));

// What the decoder does with the inputs that a strict decoder refuses: a length that is not a
// multiple of 4 and "=" inside the data are errors; unused pad bits are accepted, as the legacy
// decoder accepted them.
TEST(InvalidVectors, AreRefusedOrDecodedAsDocumented) {
  const std::map<std::string, std::variant<errc, std::string>> expected = {
      {"ZOOL!isnotvalidbase64", errc::invalid_argument},
      {"Neitheris:this?", errc::invalid_argument},
      {"A", errc::invalid_argument},
      {"YR", errc::invalid_argument},
      {"YR==", std::string("a")},
      {"Zm9=", std::string("fo")},
      {"AA=A", errc::overflow},
      {"AA==AAAA", errc::overflow},
      {"====AAAA", errc::overflow},
  };
  int count = 0;
  for (const auto& r : ReadVectorFile("botan-base64.vec")) {
    if (r.section != "invalid") continue;
    const std::string& input = r.at("Base64");
    SCOPED_TRACE(input);
    ASSERT_EQ(expected.count(input), 1U);
    const auto& want = expected.at(input);
    if (std::holds_alternative<errc>(want)) {
      EXPECT_EQ(ErrorOf([&] { DecodeBase64(Ascii(input)); }), std::get<errc>(want));
    } else {
      EXPECT_EQ(DecodeBase64(Ascii(input)), Ascii(std::get<std::string>(want)));
    }
    ++count;
  }
  EXPECT_EQ(count, 9);
}

TEST(EncodeBase64, NoLineBreaksAndFixedLengths) {
  EXPECT_EQ(EncodeBase64(ByteArray(57, 0x41)).size(), 76U);
  const ByteArray longer = EncodeBase64(ByteArray(58, 0x41));
  EXPECT_EQ(longer.size(), 80U);
  EXPECT_EQ(std::count(longer.begin(), longer.end(), '\n'), 0);
  EXPECT_EQ(EncodeBase64({0, 0, 0}), Ascii("AAAA"));
  EXPECT_EQ(EncodeBase64({0xFF, 0xFF, 0xFF}), Ascii("////"));
  EXPECT_EQ(EncodeBase64({0xFB, 0xEF}), Ascii("++8="));
}

TEST_P(Base64Paths, RandomRoundTripsAgainstOpenSsl) {
  const SimdScope path(GetParam());
  std::mt19937 rng(31);
  for (std::size_t n = 0; n < 400; ++n) {
    ByteArray data(n);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    const ByteArray encoded = EncodeBase64(data);
    std::string peer(4 * ((n + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(peer.data()), data.data(),
                                       static_cast<int>(n));
    peer.resize(static_cast<std::size_t>(length));
    EXPECT_EQ(encoded, Ascii(peer)) << n;
    EXPECT_EQ(DecodeBase64(encoded), data) << n;
  }
}

TEST_P(Base64Paths, LongRandomRoundTripsAgainstOpenSsl) {
  const SimdScope path(GetParam());
  std::mt19937 rng(32);
  for (int i = 0; i < 40; ++i) {
    ByteArray data(400 + rng() % 5000);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    std::string peer(4 * ((data.size() + 2) / 3) + 1, '\0');
    peer.resize(
        static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(peer.data()),
                                                 data.data(), static_cast<int>(data.size()))));
    ByteArray encoded;
    EncodeBase64(data, encoded);  // the reusing form
    EXPECT_EQ(encoded, Ascii(peer));
    ByteArray decoded = {1, 2, 3};
    DecodeBase64(encoded, decoded);
    EXPECT_EQ(decoded, data);
  }
}

// Every byte value at every position of a long text decodes or fails exactly as it would alone in
// a group: the bulk loops must neither accept a foreign character nor change which error comes.
TEST_P(Base64Paths, EveryCharacterAtEveryPositionOfALongText) {
  const SimdScope path(GetParam());
  const ByteArray valid = EncodeBase64(ByteArray(450, 0x5A));  // 600 characters, no pad
  for (unsigned c = 0; c < 256; ++c) {
    const bool inAlphabet =
        std::isalnum(static_cast<int>(c)) != 0 && c < 128 ? true : c == '+' || c == '/';
    const errc expected = (c == 0 || c > 'z') ? errc::out_of_range : errc::overflow;
    for (std::size_t position = 0; position < valid.size(); position += 7) {
      ByteArray text = valid;
      text[position] = static_cast<std::uint8_t>(c);
      if (inAlphabet) {
        EXPECT_EQ(DecodeBase64(text).size(), 450U);
      } else if (c == '=' && position == valid.size() - 1) {
        EXPECT_EQ(DecodeBase64(text).size(), 449U);
      } else {
        EXPECT_EQ(ErrorOf([&] { DecodeBase64(text); }), expected) << c << " at " << position;
      }
    }
  }
}

// The error the legacy decoder raises for a group that is not the last: each position is looked
// up (codes 0 and above "z" have no table entry) before the test of the first two, then the third
// and the fourth are looked up and tested in turn. None: the group is valid.
std::optional<errc> LegacyGroupError(const std::uint8_t* g) {
  const auto noEntry = [](std::uint8_t c) { return c == 0 || c > 'z'; };
  const auto foreign = [](std::uint8_t c) { return std::isalnum(c) == 0 && c != '+' && c != '/'; };
  if (noEntry(g[0]) || noEntry(g[1])) return errc::out_of_range;
  if (foreign(g[0]) || foreign(g[1])) return errc::overflow;
  for (int k = 2; k < 4; ++k) {
    if (noEntry(g[k])) return errc::out_of_range;
    if (foreign(g[k])) return errc::overflow;
  }
  return std::nullopt;
}

// Two foreign characters anywhere in a long text, in one group or two: the first bad group
// decides, by the legacy order within it, whichever loop meets it.
TEST_P(Base64Paths, FirstBadGroupDecidesTheError) {
  const SimdScope path(GetParam());
  const ByteArray valid = EncodeBase64(ByteArray(750, 0xA7));  // 1000 characters, no pad
  // 0xC1 and 0xF0 are 'A' and 'p' with the top bit set.
  const std::uint8_t foreign[] = {0, '!', '=', '{', 0x80, 0xC1, 0xF0, 0xFF, '\n'};
  std::mt19937 rng(33);
  for (int trial = 0; trial < 3000; ++trial) {
    ByteArray text = valid;
    const std::size_t first = rng() % (text.size() - 4);
    const std::size_t second = first + rng() % 300;
    text[first] = foreign[rng() % std::size(foreign)];
    if (second < text.size() - 4) text[second] = foreign[rng() % std::size(foreign)];
    std::optional<errc> expected;
    for (std::size_t g = 0; g < text.size() - 4 && !expected; g += 4)
      expected = LegacyGroupError(text.data() + g);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(ErrorOf([&] { DecodeBase64(text); }), *expected) << first << ", " << second;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Base64Paths, testing::ValuesIn(detail::kAllSimdLevels),
                         testing::PrintToStringParamName());

// The forms over caller-owned memory give what the array forms give, errors included, and refuse
// an output of the wrong length.
TEST(Base64Spans, AgreeWithTheArrayForms) {
  std::mt19937 rng(34);
  for (int trial = 0; trial < 500; ++trial) {
    ByteArray data(rng() % 300);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    ByteArray encoded(Base64::EncodedSize(data.size()));
    Base64::EncodeBase64(std::span<const std::uint8_t>(data), std::span<std::uint8_t>(encoded));
    EXPECT_EQ(encoded, EncodeBase64(data));
    ByteArray text = encoded;
    static constexpr std::uint8_t kOdd[] = {'!', '=', '{', 0x80, 'A'};
    if (trial % 3 == 0 && !text.empty()) text[rng() % text.size()] = kOdd[rng() % 5];
    if (trial % 7 == 0) text.push_back('A');
    const std::optional<errc> arrayError = [&]() -> std::optional<errc> {
      try {
        DecodeBase64(text);
        return std::nullopt;
      } catch (const Error& e) {
        return static_cast<errc>(e.code().value());
      }
    }();
    const auto spanDecode = [&] {
      ByteArray out(Base64::DecodedSize(text));
      Base64::DecodeBase64(std::span<const std::uint8_t>(text), std::span<std::uint8_t>(out));
      return out;
    };
    if (arrayError) {
      EXPECT_EQ(ErrorOf(spanDecode), *arrayError);
    } else {
      EXPECT_EQ(spanDecode(), DecodeBase64(text));
    }
  }
  ByteArray tooShort(2);
  EXPECT_EQ(ErrorOf([&] {
              Base64::DecodeBase64(std::span<const std::uint8_t>(Ascii("Zm9v")),
                                   std::span<std::uint8_t>(tooShort));
            }),
            errc::invalid_argument);
  EXPECT_EQ(ErrorOf([&] {
              Base64::EncodeBase64(std::span<const std::uint8_t>(Ascii("foo")),
                                   std::span<std::uint8_t>(tooShort));
            }),
            errc::invalid_argument);
}

// An error leaves the output empty, also when it is the input itself or held more before.
TEST(DecodeBase64, ErrorLeavesTheOutputEmpty) {
  ByteArray text = Ascii("Zm9v!AAA");
  EXPECT_EQ(ErrorOf([&] { DecodeBase64(text, text); }), errc::overflow);
  EXPECT_TRUE(text.empty());
  ByteArray out(100, 7);
  EXPECT_EQ(ErrorOf([&] { DecodeBase64(Ascii("Zm9"), out); }), errc::invalid_argument);
  EXPECT_TRUE(out.empty());
}

TEST(DecodeBase64, SpecialInputs) {
  EXPECT_EQ(DecodeBase64({}), ByteArray{});
  EXPECT_EQ(DecodeBase64(Ascii("Zm9v")), Ascii("foo"));
  EXPECT_EQ(DecodeBase64(Ascii("Zm8=")), Ascii("fo"));
  EXPECT_EQ(DecodeBase64(Ascii("Zg==")), Ascii("f"));
  EXPECT_EQ(DecodeBase64(Ascii("QQ==")), Ascii("A"));
  EXPECT_EQ(DecodeBase64(Ascii("Zh==")), Ascii("f"));  // unused pad bits are not checked
}

struct BadInput {
  std::string_view text;
  errc error;
};

void PrintTo(const BadInput& b, std::ostream* os) {
  *os << testing::PrintToString(std::string(b.text));
}

class DecodeError : public testing::TestWithParam<BadInput> {};

TEST_P(DecodeError, IsRaised) {
  EXPECT_EQ(ErrorOf([] { DecodeBase64(Ascii(GetParam().text)); }), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeError,
    testing::Values(
        BadInput{"Zg", errc::invalid_argument}, BadInput{"Zg=", errc::invalid_argument},
        BadInput{"Zm9v\r\n", errc::invalid_argument}, BadInput{"Zm9vZ", errc::invalid_argument},
        BadInput{"====", errc::overflow}, BadInput{"Zm9v====", errc::overflow},
        BadInput{" Zm9", errc::overflow}, BadInput{"\rZm9", errc::overflow},
        BadInput{"QQ==QQ==", errc::overflow},  // pad characters before the end
        BadInput{"Zm\r\n", errc::overflow},    // line breaks are not skipped
        BadInput{"Q Q=", errc::overflow}, BadInput{"Zg=A", errc::overflow},
        BadInput{"Zm9v!AAA", errc::overflow}, BadInput{"Zm9vA-AA", errc::overflow},
        BadInput{"Zm9vAA_A", errc::overflow}, BadInput{"Zm9vAAA.", errc::overflow},
        BadInput{"Zm9{", errc::out_of_range}, BadInput{"Zm9~", errc::out_of_range},
        BadInput{"Zm9v\x80"
                 "AAA",
                 errc::out_of_range},
        BadInput{"Zm9vAAA\xFF", errc::out_of_range},
        BadInput{std::string_view("Zm9\0", 4), errc::out_of_range},
        BadInput{"==={", errc::overflow},      // the first position is tested before the fourth
        BadInput{"={AA", errc::out_of_range},  // the second is looked up before the first is tested
        BadInput{"A{==", errc::out_of_range}, BadInput{"A=={", errc::overflow}));

}  // namespace
}  // namespace ansicrypt::test
