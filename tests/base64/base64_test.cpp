// Base64 encoding and decoding: published vectors, round trips against OpenSSL, and every error.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <random>
#include <variant>

#include "ansicrypt/base64/base64.h"
#include "tests/support/error_of.h"
#include "tests/support/oracle.h"
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
    const std::string peer = OracleBase64(data);
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
    const std::string peer = OracleBase64(data);
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

// The decoder as the legacy program specifies it, transcribed step by step: a length that is not
// a multiple of 4 gives 00 00; each group looks up c0 and c1 (no table entry for 0 and above "z":
// out of range), tests the first byte (overflow when c0 is outside the alphabet), then looks up c2
// and c3, which contribute all-ones bits when outside the alphabet; a final "=" or "==" zeroes one
// byte and shortens nothing.
std::variant<ByteArray, errc> SpecifiedDecode(const ByteArray& in) {
  const std::size_t n = in.size();
  if (n % 4 != 0) return ByteArray{0, 0};
  if (n == 0) return ByteArray{};
  std::array<int, 123> table{};
  table.fill(255);
  const std::string_view alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t v = 0; v < alphabet.size(); ++v)
    table[static_cast<unsigned char>(alphabet[v])] = static_cast<int>(v);
  const auto lookUp = [&](std::uint8_t c) -> std::optional<int> {
    if (c == 0 || c > 122) return std::nullopt;
    return table[c];
  };
  ByteArray out(n / 4 * 3);
  for (std::size_t i = 0, k = 0; i < n; i += 4, k += 3) {
    const std::optional<int> s0 = lookUp(in[i]);
    if (!s0) return errc::out_of_range;
    const std::optional<int> s1 = lookUp(in[i + 1]);
    if (!s1) return errc::out_of_range;
    const int first = (*s0 << 2) | ((*s1 & 0x30) >> 4);
    if (first > 255) return errc::overflow;
    out[k] = static_cast<std::uint8_t>(first);
    const std::optional<int> s2 = lookUp(in[i + 2]);
    if (!s2) return errc::out_of_range;
    out[k + 1] = static_cast<std::uint8_t>(((*s1 & 0x0F) << 4) | ((*s2 & 0x3C) >> 2));
    const std::optional<int> s3 = lookUp(in[i + 3]);
    if (!s3) return errc::out_of_range;
    out[k + 2] = static_cast<std::uint8_t>(((*s2 & 0x03) << 6) | *s3);
  }
  if (in[n - 1] == '=') out[in[n - 2] == '=' ? n / 4 * 3 - 2 : n / 4 * 3 - 1] = 0;
  return out;
}

bool InAlphabet(std::uint8_t c) {
  return (c < 128 && std::isalnum(c) != 0) || c == '+' || c == '/';
}

// What DecodeBase64 must do with `text`: every input the specified decoder refuses keeps its
// error; of the others, a length that is no multiple of 4 is invalid_argument, and a character
// outside the alphabet other than the final "=" or "==" is overflow; else the specified result
// without the bytes of the pad characters.
std::variant<ByteArray, errc> MendedDecode(const ByteArray& text) {
  const std::size_t n = text.size();
  if (n % 4 != 0) return errc::invalid_argument;
  std::variant<ByteArray, errc> specified = SpecifiedDecode(text);
  if (std::holds_alternative<errc>(specified)) return specified;
  const std::size_t pads = n == 0 || text[n - 1] != '=' ? 0 : text[n - 2] == '=' ? 2 : 1;
  for (std::size_t i = 0; i < n - pads; ++i) {
    if (!InAlphabet(text[i])) return errc::overflow;
  }
  ByteArray& bytes = std::get<ByteArray>(specified);
  bytes.erase(bytes.end() - static_cast<std::ptrdiff_t>(pads), bytes.end());
  return specified;
}

std::variant<ByteArray, errc> Outcome(const ByteArray& text) {
  try {
    return DecodeBase64(text);
  } catch (const Error& e) {
    return static_cast<errc>(e.code().value());
  }
}

// Texts from the alphabet, with characters that have no table entry, characters outside the
// alphabet and "=" sprinkled in, short and long enough for the vector loops: the outcome is the
// specified decoder's wherever that refuses, the mended one elsewhere.
TEST_P(Base64Paths, AgreesWithTheSpecifiedDecoderOnRandomTexts) {
  const SimdScope path(GetParam());
  static constexpr std::uint8_t kOdd[] = {0,   ' ', '\n', '\r', '!',  '-',  '=', '=', '=',
                                          '{', '~', 0x7F, 0x80, 0xC1, 0xFF, '@', '_', '.'};
  const std::string_view alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::mt19937 rng(35);
  int refused = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    const std::size_t groups = trial % 4 == 0 ? 40 + rng() % 200 : 1 + rng() % 4;
    ByteArray text(groups * 4);
    for (auto& c : text) c = static_cast<std::uint8_t>(alphabet[rng() % alphabet.size()]);
    const std::size_t odd = rng() % 4;
    for (std::size_t k = 0; k < odd; ++k) {
      // Mostly near the end, where pads and the last groups meet.
      const std::size_t at = rng() % 2 == 0
                                 ? rng() % text.size()
                                 : text.size() - 1 - rng() % std::min<std::size_t>(12, text.size());
      text[at] = kOdd[rng() % std::size(kOdd)];
    }
    if (trial % 50 == 0) text.push_back('A');
    const std::variant<ByteArray, errc> expected = MendedDecode(text);
    refused += std::holds_alternative<errc>(expected) ? 1 : 0;
    const std::optional<Base64::DecodeFailure> failure = Base64::FindDecodeFailure(text);
    ASSERT_EQ(failure.has_value(), std::holds_alternative<errc>(expected));
    if (failure) {
      ASSERT_EQ(failure->error, std::get<errc>(expected));
    }
    ASSERT_EQ(Outcome(text), expected)
        << testing::PrintToString(std::string(text.begin(), text.end()));
  }
  EXPECT_GT(refused, 5000);
  EXPECT_LT(refused, 19000);
}

// The character a failure points at, and the legacy decoder's own refusals alone.
TEST(FindDecodeFailure, PointsAtTheCharacter) {
  using Base64::DecodeFailure;
  using Base64::FindDecodeFailure;
  const auto find = [](std::string_view text, bool legacyOnly = false) {
    const ByteArray bytes = Ascii(text);
    return FindDecodeFailure(bytes, legacyOnly);
  };
  EXPECT_EQ(find("Zm9v!AAA"), (DecodeFailure{errc::overflow, 4}));
  EXPECT_EQ(find("Zm9vA!AA"), (DecodeFailure{errc::overflow, 5}));
  EXPECT_EQ(find("A=={"), (DecodeFailure{errc::out_of_range, 3}));
  EXPECT_EQ(find("Q Q=Zm9{"), (DecodeFailure{errc::out_of_range, 7}));
  EXPECT_EQ(find("Q Q= Zm9"), (DecodeFailure{errc::overflow, 4}));
  EXPECT_EQ(find("Q Q="), (DecodeFailure{errc::overflow, 1}));
  EXPECT_EQ(find("Zm9"), (DecodeFailure{errc::invalid_argument, 3}));
  EXPECT_EQ(find("QQ==QQ=="), (DecodeFailure{errc::overflow, 2}));
  EXPECT_EQ(find("Q Q=", true), std::nullopt);
  EXPECT_EQ(find("QQ==QQ==", true), std::nullopt);
  EXPECT_EQ(find("QQ==QQ=={AAA", true), (DecodeFailure{errc::out_of_range, 8}));
  EXPECT_EQ(find("Zm8="), std::nullopt);
  EXPECT_EQ(find(""), std::nullopt);
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
        BadInput{"A{==", errc::out_of_range},
        // The specified decoder looks up every character of a group before it could meet a
        // mended refusal, and reaches a later group's: its error stays.
        BadInput{"A=={", errc::out_of_range}, BadInput{"Q Q{", errc::out_of_range},
        BadInput{"QQ={", errc::out_of_range}, BadInput{"Zm==Zm9{", errc::out_of_range},
        BadInput{"Q Q=Zm9{", errc::out_of_range},
        BadInput{"Q Q=\x80"
                 "AAA",
                 errc::out_of_range},
        BadInput{"Q Q= Zm9", errc::overflow}));

}  // namespace
}  // namespace ansicrypt::test
