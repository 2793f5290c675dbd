// DES keying, lengths, selectors and errors.
#include <gtest/gtest.h>

#include "ansicrypt/cipher/des.h"
#include "tests/support/error_of.h"
#include "tests/support/oracle.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

const ByteArray kBlock = FromHex("4E6F772069732074");  // "Now is t"

ByteArray Single(DES& des, const ByteArray& in, std::uint8_t keyNumber, std::uint8_t direction) {
  ByteArray out;
  des.EncryptDes_ArrToArr(in, out, keyNumber, direction);
  return out;
}

// SetKey cuts or zero-fills the key to 16 bytes: key 1 is bytes 0..7, key 2 bytes 8..15.
class SetKeyLength : public testing::TestWithParam<std::size_t> {};

TEST_P(SetKeyLength, SplitsZeroFilledKey) {
  ByteArray key(GetParam());
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(0x31 * (i + 1));
  const ByteArray original = key;
  DES des;
  des.SetKey(key);
  EXPECT_EQ(key, original);
  EXPECT_EQ(Single(des, kBlock, 1, 1), OracleDes(KeyPart(key, 0), kBlock, true));
  EXPECT_EQ(Single(des, kBlock, 2, 1), OracleDes(KeyPart(key, 8), kBlock, true));
}

INSTANTIATE_TEST_SUITE_P(Lengths, SetKeyLength, testing::Values(0, 3, 8, 10, 16, 20));

TEST(DesKeys, NeverKeyedActsAsZeroKeys) {
  DES fresh;
  DES zeroed;
  zeroed.SetKey(ByteArray(16, 0));
  DES emptied;
  emptied.SetKey({});
  for (const std::uint8_t keyNumber : std::initializer_list<std::uint8_t>{1, 2}) {
    const ByteArray want = OracleDes(ByteArray(8, 0), kBlock, true);
    EXPECT_EQ(Single(fresh, kBlock, keyNumber, 1), want);
    EXPECT_EQ(Single(zeroed, kBlock, keyNumber, 1), want);
    EXPECT_EQ(Single(emptied, kBlock, keyNumber, 1), want);
  }
}

TEST(DesKeys, SetKey1AndSetKey2LeaveTheOtherKey) {
  const ByteArray a = FromHex("0123456789ABCDEF");
  const ByteArray b = FromHex("FEDCBA98765432100011");  // cut to its first 8 bytes
  DES des;
  des.SetKey1(a);
  des.SetKey2(b);
  des.SetKey1(a);
  EXPECT_EQ(Single(des, kBlock, 1, 1), OracleDes(a, kBlock, true));
  EXPECT_EQ(Single(des, kBlock, 2, 1), OracleDes(KeyPart(b, 0), kBlock, true));
  des.SetKey2(FromHex("1122"));
  EXPECT_EQ(Single(des, kBlock, 1, 1), OracleDes(a, kBlock, true));
  EXPECT_EQ(Single(des, kBlock, 2, 1), OracleDes(FromHex("1122000000000000"), kBlock, true));
}

TEST(DesKeys, ParityBitsAreIgnored) {
  const ByteArray key = FromHex("0123456789ABCDEF");
  ByteArray flipped = key;
  for (auto& b : flipped) b ^= 1;
  DES a;
  DES b;
  a.SetKey(key);
  b.SetKey(flipped);
  EXPECT_EQ(Single(a, kBlock, 1, 1), Single(b, kBlock, 1, 1));
}

TEST(DesKeys, ObjectsAreIndependent) {
  DES a;
  DES b;
  a.SetKey(FromHex("0123456789ABCDEF"));
  EXPECT_EQ(Single(b, kBlock, 1, 1), OracleDes(ByteArray(8, 0), kBlock, true));
}

TEST(DesKeys, ComplementationProperty) {
  const ByteArray key = FromHex("0123456789ABCDEF");
  ByteArray notKey = key;
  ByteArray notBlock = kBlock;
  for (auto& b : notKey) b = static_cast<std::uint8_t>(~b);
  for (auto& b : notBlock) b = static_cast<std::uint8_t>(~b);
  DES des;
  DES complemented;
  des.SetKey(key);
  complemented.SetKey(notKey);
  ByteArray out = Single(des, kBlock, 1, 1);
  for (auto& b : out) b = static_cast<std::uint8_t>(~b);
  EXPECT_EQ(Single(complemented, notBlock, 1, 1), out);
}

// Key number 2 selects key 2 and stays 2; every other value selects key 1 and becomes 1.
class KeyNumber : public testing::TestWithParam<int> {};

TEST_P(KeyNumber, SelectsKeyAndIsRewritten) {
  DES des;
  des.SetKey(FromHex("0123456789ABCDEF1111111111111111"));
  std::uint8_t keyNumber = static_cast<std::uint8_t>(GetParam());
  ByteArray out;
  des.EncryptDes_ArrToArr(kBlock, out, keyNumber, 1);
  const bool second = GetParam() == 2;
  EXPECT_EQ(keyNumber, second ? 2 : 1);
  EXPECT_EQ(out,
            OracleDes(FromHex(second ? "1111111111111111" : "0123456789ABCDEF"), kBlock, true));
}

INSTANTIATE_TEST_SUITE_P(Values, KeyNumber, testing::Values(0, 1, 2, 3, 7, 255));

// Direction 1 encrypts; every other value decrypts.
class Direction : public testing::TestWithParam<int> {};

TEST_P(Direction, OnlyOneEncrypts) {
  DES des;
  des.SetKey(FromHex("0123456789ABCDEF"));
  const std::uint8_t direction = static_cast<std::uint8_t>(GetParam());
  EXPECT_EQ(Single(des, kBlock, 1, direction),
            OracleDes(FromHex("0123456789ABCDEF"), kBlock, direction == 1));
}

INSTANTIATE_TEST_SUITE_P(Values, Direction, testing::Values(0, 1, 2, 3, 255));

// The output is the input rounded up to a multiple of 8, the last block zero-filled.
class Length : public testing::TestWithParam<std::size_t> {};

TEST_P(Length, RoundsUpWithZeroFill) {
  const std::size_t n = GetParam();
  ByteArray data(n);
  for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
  DES des;
  des.SetKey(FromHex("133457799BBCDFF1"));
  const ByteArray cipher = Single(des, data, 1, 1);
  ASSERT_EQ(cipher.size(), (n + 7) / 8 * 8);
  ByteArray padded = data;
  padded.resize(cipher.size(), 0);
  EXPECT_EQ(cipher, OracleDes(FromHex("133457799BBCDFF1"), padded, true));
  EXPECT_EQ(Single(des, cipher, 1, 2), padded);  // the fill is never removed
}

INSTANTIATE_TEST_SUITE_P(Sizes, Length, testing::Values(1, 7, 8, 9, 15, 16, 17, 32759, 32760));

TEST(DesArrays, EqualBlocksGiveEqualBlocks) {
  ByteArray data = kBlock;
  data.insert(data.end(), kBlock.begin(), kBlock.end());
  DES des;
  const ByteArray out = Single(des, data, 1, 1);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 8, out.begin() + 8));
}

TEST(DesArrays, InputAndOutputMayBeOneArray) {
  DES des;
  des.SetKey(FromHex("0123456789ABCDEF"));
  ByteArray data(13, 0x5A);
  const ByteArray want = Single(des, data, 1, 1);
  std::uint8_t keyNumber = 1;
  des.EncryptDes_ArrToArr(data, data, keyNumber, 1);
  EXPECT_EQ(data, want);
  des.Encrypt3Des_ArrToArr(data, data, 1);
  des.Encrypt3Des_ArrToArr(data, data, 2);
  EXPECT_EQ(data, want);
}

TEST(DesArrays, TooLongOrEmptyInputFailsAndKeepsOutput) {
  DES des;
  const ByteArray old = {1, 2, 3};
  for (const auto& [size, error] : {std::pair<std::size_t, errc>{32761, errc::overflow},
                                    {32767, errc::overflow},
                                    {32768, errc::overflow},
                                    {100000, errc::overflow},
                                    {0, errc::out_of_range}}) {
    SCOPED_TRACE(size);
    const ByteArray input(size, 0x41);
    ByteArray out = old;
    std::uint8_t keyNumber = 1;
    EXPECT_EQ(ErrorOf([&] { des.EncryptDes_ArrToArr(input, out, keyNumber, 1); }), error);
    EXPECT_EQ(ErrorOf([&] { des.Encrypt3Des_ArrToArr(input, out, 1); }), error);
    EXPECT_EQ(out, old);
  }
}

TEST(TripleDes, EqualKeysGiveSingleDes) {
  DES des;
  des.SetKey(FromHex("0123456789ABCDEF0123456789ABCDEF"));
  const ByteArray data(21, 0x33);
  for (const std::uint8_t direction : std::initializer_list<std::uint8_t>{1, 2}) {
    ByteArray triple;
    des.Encrypt3Des_ArrToArr(data, triple, direction);
    EXPECT_EQ(triple, Single(des, data, 1, direction));
  }
}

TEST(TripleDes, DirectionAboveThreeOverflowsAndKeepsOutput) {
  DES des;
  for (const std::uint8_t direction : std::initializer_list<std::uint8_t>{4, 5, 255}) {
    ByteArray out = {9, 9};
    EXPECT_EQ(ErrorOf([&] { des.Encrypt3Des_ArrToArr(kBlock, out, direction); }), errc::overflow);
    EXPECT_EQ(out, (ByteArray{9, 9}));
  }
}

TEST(TripleDes, LongestInputRoundTrips) {
  DES des;
  des.SetKey(FromHex("0123456789ABCDEFFEDCBA9876543210"));
  ByteArray data(DES::kMaxInputBytes);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  ByteArray cipher;
  ByteArray plain;
  des.Encrypt3Des_ArrToArr(data, cipher, 1);
  des.Encrypt3Des_ArrToArr(cipher, plain, 2);
  EXPECT_NE(cipher, data);
  EXPECT_EQ(plain, data);
}

TEST(Errors, CarryTheLegacyNumbersAndCategory) {
  EXPECT_EQ(Error(errc::overflow).code().value(), 6);
  EXPECT_EQ(Error(errc::out_of_range).code().value(), 9);
  EXPECT_EQ(Error(errc::type_mismatch).code().value(), 13);
  EXPECT_EQ(Error(errc::invalid_argument).code().value(), 5);
  EXPECT_STREQ(error_category().name(), "ansicrypt");
  const std::error_code code = errc::overflow;  // implicit, as an error code enum
  EXPECT_EQ(code.message(), "overflow");
}

}  // namespace
}  // namespace ansicrypt::test
