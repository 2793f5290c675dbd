// DES and two-key triple DES against OpenSSL on random keys, lengths, key numbers and directions.
#include <gtest/gtest.h>

#include <random>

#include "ansicrypt/cipher/des.h"
#include "tests/support/oracle.h"

namespace ansicrypt::test {
namespace {

ByteArray RandomBytes(std::mt19937& rng, std::size_t n) {
  ByteArray bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

TEST(DesAgainstOpenSsl, SingleDesOnRandomInput) {
  std::mt19937 rng(11);
  for (int i = 0; i < 300; ++i) {
    const ByteArray key = RandomBytes(rng, 16);
    const ByteArray data = RandomBytes(rng, 1 + rng() % 3000);
    const std::uint8_t direction = std::array<std::uint8_t, 4>{0, 1, 2, 255}[rng() % 4];
    std::uint8_t keyNumber = std::array<std::uint8_t, 4>{0, 1, 2, 7}[rng() % 4];
    const bool useKey2 = keyNumber == 2;
    DES des;
    des.SetKey(key);
    ByteArray out;
    des.EncryptDes_ArrToArr(data, out, keyNumber, direction);
    SCOPED_TRACE("length " + std::to_string(data.size()) + " direction " +
                 std::to_string(direction));
    EXPECT_EQ(out, OracleDes(KeyPart(key, useKey2 ? 8 : 0), data, direction == 1));
  }
}

TEST(DesAgainstOpenSsl, TripleDesEqualsThreeOpenSslPasses) {
  std::mt19937 rng(12);
  for (int i = 0; i < 100; ++i) {
    const ByteArray key = RandomBytes(rng, 16);
    const ByteArray data = RandomBytes(rng, 1 + rng() % 2000);
    const std::uint8_t direction = static_cast<std::uint8_t>(i % 4);
    DES des;
    des.SetKey(key);
    ByteArray out;
    des.Encrypt3Des_ArrToArr(data, out, direction);
    const ByteArray k1 = KeyPart(key, 0);
    const ByteArray k2 = KeyPart(key, 8);
    const ByteArray want = OracleDes(
        k1, OracleDes(k2, OracleDes(k1, data, direction == 1), 3 - direction == 1), direction == 1);
    EXPECT_EQ(out, want) << "direction " << int{direction};
  }
}

}  // namespace
}  // namespace ansicrypt::test
