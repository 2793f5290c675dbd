// DES and two-key triple DES against published known-answer vectors.
#include <gtest/gtest.h>

#include "ansicrypt/cipher/des.h"
#include "tests/support/vector_file.h"

namespace ansicrypt::test {
namespace {

// Single DES through key 1 (SetKey) and key 2 (SetKey2), both directions.
void ExpectSingleDes(const ByteArray& key, const ByteArray& plain, const ByteArray& cipher) {
  DES des;
  des.SetKey(key);
  des.SetKey2(key);
  for (const std::uint8_t selected : std::initializer_list<std::uint8_t>{1, 2}) {
    SCOPED_TRACE("key number " + std::to_string(selected));
    std::uint8_t keyNumber = selected;
    ByteArray out;
    des.EncryptDes_ArrToArr(plain, out, keyNumber, 1);
    EXPECT_EQ(ToHex(out), ToHex(cipher));
    des.EncryptDes_ArrToArr(cipher, out, keyNumber, 2);
    EXPECT_EQ(ToHex(out), ToHex(plain));
  }
}

void ExpectTripleDes(const ByteArray& key16, const ByteArray& plain, const ByteArray& cipher) {
  DES des;
  des.SetKey(key16);
  ByteArray out;
  des.Encrypt3Des_ArrToArr(plain, out, 1);
  EXPECT_EQ(ToHex(out), ToHex(cipher));
  des.Encrypt3Des_ArrToArr(cipher, out, 2);
  EXPECT_EQ(ToHex(out), ToHex(plain));
}

class NistKnownAnswer : public testing::TestWithParam<const char*> {};

TEST_P(NistKnownAnswer, SingleDesMatchesBothWays) {
  const auto records = ReadVectorFile(GetParam());
  ASSERT_GE(records.size(), 20U);
  for (const auto& r : records) {
    SCOPED_TRACE(r.file + ":" + std::to_string(r.line));
    const std::string& key = r.has("KEYs") ? r.at("KEYs") : r.at("KEY1");
    ExpectSingleDes(FromHex(key), FromHex(r.at("PLAINTEXT")), FromHex(r.at("CIPHERTEXT")));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, NistKnownAnswer,
                         testing::Values("TECBvartext.rsp", "TECBinvperm.rsp", "TECBvarkey.rsp",
                                         "TECBpermop.rsp", "TECBsubtab.rsp", "TECBMMT1.rsp"));

TEST(NistMultiBlock, TwoKeyTripleDes) {
  const auto records = ReadVectorFile("TECBMMT2.rsp");
  ASSERT_EQ(records.size(), 20U);
  for (const auto& r : records) {
    SCOPED_TRACE(r.file + ":" + std::to_string(r.line));
    ASSERT_EQ(r.at("KEY3"), r.at("KEY1"));
    ExpectTripleDes(FromHex(r.at("KEY1") + r.at("KEY2")), FromHex(r.at("PLAINTEXT")),
                    FromHex(r.at("CIPHERTEXT")));
  }
}

TEST(BotanVectors, SingleAndTwoKeyTripleDes) {
  int single = 0;
  int triple = 0;
  for (const auto& r : ReadVectorFile("botan-des.vec")) {
    SCOPED_TRACE(r.file + ":" + std::to_string(r.line));
    const ByteArray key = FromHex(r.at("Key"));
    const ByteArray in = FromHex(r.at("In"));
    const ByteArray out = FromHex(r.at("Out"));
    if (r.section == "DES") {
      ExpectSingleDes(key, in, out);
      ++single;
    } else if (key.size() == 16) {
      ExpectTripleDes(key, in, out);
      ++triple;
    } else if (key.size() == 24 && std::equal(key.begin(), key.begin() + 8, key.begin() + 16)) {
      ExpectTripleDes(ByteArray(key.begin(), key.begin() + 16), in, out);  // K3 = K1 written out
      ++triple;
    }
  }
  EXPECT_EQ(single, 258);
  EXPECT_EQ(triple, 21);
}

}  // namespace
}  // namespace ansicrypt::test
