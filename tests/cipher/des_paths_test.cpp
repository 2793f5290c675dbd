// Every DES path (the table rounds alone, and the bitsliced AVX2 and AVX-512 rounds where the
// processor has them) against OpenSSL: lengths around the break-even of 48 blocks and around
// multiples of 8, 256 and 512 blocks up to the limit, both key numbers, every triple-DES
// direction, and input and output as one array.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <tuple>

#include "ansicrypt/cipher/des.h"
#include "tests/support/oracle.h"
#include "tests/support/simd_scope.h"

namespace ansicrypt::test {
namespace {

using detail::SimdLevel;

ByteArray RandomBytes(std::mt19937& rng, std::size_t n) {
  ByteArray bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

// Lengths in bytes that cross every boundary a path has.
std::vector<std::size_t> Lengths() {
  std::vector<std::size_t> lengths = {1, 7, 8, 9, 383, 384, 385, 32759, 32760};
  for (const std::size_t blocks : {47U, 48U, 49U, 255U, 256U, 257U, 511U, 512U, 513U, 1023U, 1024U,
                                   1025U, 1536U, 2048U, 2049U, 4095U}) {
    for (const std::size_t extra : {0U, 1U, 7U}) {
      if (8 * blocks + extra <= DES::kMaxInputBytes) lengths.push_back(8 * blocks + extra);
    }
  }
  return lengths;
}

class DesPaths : public testing::TestWithParam<SimdLevel> {
 protected:
  void SetUp() override {
    if (!SimdScope::Available(GetParam())) GTEST_SKIP() << "this processor lacks the path";
  }
};

TEST_P(DesPaths, SingleDesEqualsOpenSsl) {
  const SimdScope path(GetParam());
  std::mt19937 rng(21);
  for (const std::size_t length : Lengths()) {
    const ByteArray key = RandomBytes(rng, 16);
    const ByteArray data = RandomBytes(rng, length);
    for (const std::uint8_t keyNumber : {std::uint8_t{1}, std::uint8_t{2}}) {
      for (const std::uint8_t direction : {std::uint8_t{1}, std::uint8_t{2}}) {
        DES des;
        des.SetKey(key);
        ByteArray out;
        std::uint8_t number = keyNumber;
        des.EncryptDes_ArrToArr(data, out, number, direction);
        ASSERT_EQ(out, OracleDes(KeyPart(key, keyNumber == 2 ? 8 : 0), data, direction == 1))
            << length << " bytes, key " << +keyNumber << ", direction " << +direction;
      }
    }
  }
}

TEST_P(DesPaths, TripleDesEqualsThreeOpenSslPasses) {
  const SimdScope path(GetParam());
  std::mt19937 rng(22);
  for (const std::size_t length : Lengths()) {
    const ByteArray key = RandomBytes(rng, 16);
    const ByteArray data = RandomBytes(rng, length);
    const ByteArray k1 = KeyPart(key, 0);
    const ByteArray k2 = KeyPart(key, 8);
    for (std::uint8_t direction = 0; direction <= 3; ++direction) {
      DES des;
      des.SetKey(key);
      ByteArray out;
      des.Encrypt3Des_ArrToArr(data, out, direction);
      const bool outer = direction == 1;
      const bool middle = 3 - direction == 1;
      ASSERT_EQ(out, OracleDes(k1, OracleDes(k2, OracleDes(k1, data, outer), middle), outer))
          << length << " bytes, direction " << +direction;
    }
  }
}

TEST_P(DesPaths, InputMayBeTheOutput) {
  const SimdScope path(GetParam());
  std::mt19937 rng(23);
  for (const std::size_t length : {9U, 4000U, 4097U, 32760U}) {
    const ByteArray key = RandomBytes(rng, 16);
    ByteArray data = RandomBytes(rng, length);
    const ByteArray want = OracleDes(KeyPart(key, 0), data, true);
    DES des;
    des.SetKey(key);
    std::uint8_t keyNumber = 1;
    des.EncryptDes_ArrToArr(data, data, keyNumber, 1);
    EXPECT_EQ(data, want) << length;
    ByteArray triple = RandomBytes(rng, length);
    const ByteArray copy = triple;
    ByteArray separate;
    des.Encrypt3Des_ArrToArr(copy, separate, 2);
    des.Encrypt3Des_ArrToArr(triple, triple, 2);
    EXPECT_EQ(triple, separate) << length;
  }
}

// Objects on several threads at once: an engine that kept state between calls outside the
// object (a static batch buffer) would mix the threads' blocks.
TEST_P(DesPaths, ThreadsDoNotDisturbEachOther) {
  const SimdScope path(GetParam());
  std::mt19937 rng(24);
  std::vector<ByteArray> keys, inputs;
  for (int t = 0; t < 4; ++t) {
    keys.push_back(RandomBytes(rng, 16));
    inputs.push_back(RandomBytes(rng, 4096 + 8 * static_cast<std::size_t>(t)));
  }
  std::vector<int> failures(keys.size());
  {
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < keys.size(); ++t) {
      threads.emplace_back([&, t] {
        DES des;
        des.SetKey(keys[t]);
        const ByteArray want = OracleDes(KeyPart(keys[t], 0), inputs[t], true);
        for (int round = 0; round < 100; ++round) {
          ByteArray out;
          std::uint8_t keyNumber = 1;
          des.EncryptDes_ArrToArr(inputs[t], out, keyNumber, 1);
          failures[t] += out != want;
        }
      });
    }
    for (std::thread& t : threads) t.join();
  }
  EXPECT_EQ(failures, std::vector<int>(keys.size()));
}

INSTANTIATE_TEST_SUITE_P(Paths, DesPaths, testing::ValuesIn(detail::kAllSimdLevels),
                         testing::PrintToStringParamName());

}  // namespace
}  // namespace ansicrypt::test
