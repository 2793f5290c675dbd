// The word-oriented DES against the bit-by-bit transcription of the standard.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>

#include "ansicrypt/cipher/des.h"
#include "ansicrypt/cipher/detail/des_key_schedule.h"
#include "ansicrypt/cipher/detail/des_rounds.h"
#include "ansicrypt/cipher/detail/des_tables.h"
#include "tests/cipher/des_reference.h"

namespace ansicrypt::test {
namespace {

Block RandomBlock(std::mt19937& rng) {
  Block b{};
  for (auto& byte : b) byte = static_cast<std::uint8_t>(rng());
  return b;
}

std::uint64_t ToWord(const Block& b) {
  std::uint64_t v = 0;
  for (const auto byte : b) v = (v << 8) | byte;
  return v;
}

TEST(DesTables, EverySBoxRowIsAPermutationOfSixteenValues) {
  for (const auto& box : Tables().S) {
    for (const auto& row : box) {
      std::array<bool, 16> seen{};
      for (const auto v : row) seen[v] = true;
      EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 16);
    }
  }
}

TEST(DesTables, FinalPermutationInvertsInitialPermutation) {
  const auto& t = Tables();
  for (std::size_t j = 0; j < 64; ++j) EXPECT_EQ(t.IP[t.FP[j] - 1U], j + 1);
}

TEST(DesRounds, PermutationNetworksEqualTheTables) {
  std::mt19937 rng(1);
  for (int i = 0; i < 200; ++i) {
    const Block in = RandomBlock(rng);
    std::uint32_t left = detail::LoadBigEndian(in.data());
    std::uint32_t right = detail::LoadBigEndian(in.data() + 4);
    detail::InitialPermutation(left, right);
    const Block ip = BitsToBytes(Permute(BytesToBits(in), Tables().IP));
    EXPECT_EQ((std::uint64_t{std::rotr(left, 1)} << 32) | std::rotr(right, 1), ToWord(ip));

    std::uint32_t l = std::rotl(detail::LoadBigEndian(in.data()), 1);
    std::uint32_t r = std::rotl(detail::LoadBigEndian(in.data() + 4), 1);
    detail::FinalPermutation(l, r);
    const Block fp = BitsToBytes(Permute(BytesToBits(in), Tables().FP));
    EXPECT_EQ((std::uint64_t{l} << 32) | r, ToWord(fp));
  }
}

TEST(DesRounds, CombinedSBoxTablesEqualSBoxesThenP) {
  const auto sp = detail::DeriveSpBoxes(Tables().S, Tables().P);
  std::mt19937_64 rng(4);
  // Every input of every box, with random inputs in the other seven boxes.
  for (std::size_t box = 0; box < 8; ++box) {
    for (std::uint64_t input = 0; input < 64; ++input) {
      std::uint64_t value = rng() & 0xffffffffffffULL;
      value = (value & ~(0x3fULL << (42 - 6 * box))) | (input << (42 - 6 * box));
      Block block{};
      for (std::size_t i = 0; i < 6; ++i)
        block[i] = static_cast<std::uint8_t>(value >> (40 - 8 * i));
      std::uint32_t combined = 0;
      for (std::size_t b = 0; b < 8; ++b) combined |= sp[b][(value >> (42 - 6 * b)) & 0x3f];
      const Block want = SBoxPermute(block);
      EXPECT_EQ(std::rotr(combined, 1), detail::LoadBigEndian(want.data())) << box << " " << input;
      EXPECT_EQ(detail::LoadBigEndian(want.data() + 4), 0U);
    }
  }
}

TEST(DesRounds, WholeCipherEqualsBitByBitCipher) {
  std::mt19937 rng(2);
  for (int i = 0; i < 100; ++i) {
    const Block key = RandomBlock(rng);
    const Block in = RandomBlock(rng);
    const auto subKeys = MakeSubKeys(key);
    DES des;
    des.SetKey(ByteArray(key.begin(), key.end()));
    for (const std::uint8_t direction : std::initializer_list<std::uint8_t>{1, 2}) {
      ByteArray out;
      std::uint8_t keyNumber = 1;
      des.EncryptDes_ArrToArr(ByteArray(in.begin(), in.end()), out, keyNumber, direction);
      const Block want = DesBlock(in, subKeys, direction == 1);
      EXPECT_EQ(out, ByteArray(want.begin(), want.end()));
    }
  }
}

TEST(DesRounds, RoundKeysKeepBytesSixAndSevenZeroAndIgnoreParity) {
  std::mt19937 rng(3);
  for (int i = 0; i < 50; ++i) {
    const Block key = RandomBlock(rng);
    Block flipped = key;
    flipped[static_cast<std::size_t>(i % 8)] ^= 1;
    const auto keys = MakeSubKeys(key);
    EXPECT_EQ(keys, MakeSubKeys(flipped));
    for (const auto& k : keys) EXPECT_EQ(k[6] | k[7], 0);
  }
}

// Both forms of the key schedule (the vector one where the machine has it, and the one every
// other machine runs) against the bit-by-bit schedule: the round keys' bytes as stored, and the
// words of the table rounds.
template <bool Vector>
void ExpectScheduleEqualsReference() {
  std::mt19937 rng(4);
  for (int i = 0; i < 200; ++i) {
    const Block key = RandomBlock(rng);
    const auto want = MakeSubKeys(key);
    int visited = 0;
    detail::ForEachRoundKey<Vector>(key, [&](std::size_t round, const detail::RoundKeyBits& bits) {
      Block stored{};
      std::memcpy(stored.data(), &bits.bytes, 8);
      EXPECT_EQ(stored, want[round]) << "round " << round;
      std::uint32_t odd = 0, even = 0;
      detail::SplitRoundKey(ToWord(want[round]) >> 16, odd, even);
      EXPECT_EQ(bits.words, std::uint64_t{odd} << 32 | even) << "round " << round;
      EXPECT_EQ(round, static_cast<std::size_t>(visited++));
    });
    EXPECT_EQ(visited, 16);
  }
}

TEST(DesKeySchedule, PortableFormEqualsBitByBitSchedule) { ExpectScheduleEqualsReference<false>(); }

TEST(DesKeySchedule, VectorFormEqualsBitByBitSchedule) {
  if (!detail::kVectorKeySchedule) GTEST_SKIP() << "no vector form on this machine";
  ExpectScheduleEqualsReference<detail::kVectorKeySchedule>();
}

struct BadTable {
  const char* text;
  errc error;
};

void PrintTo(const BadTable& t, std::ostream* os) { *os << '"' << t.text << '"'; }

class DecimalTableParser : public testing::TestWithParam<BadTable> {};

TEST_P(DecimalTableParser, RefusesBadText) {
  std::array<std::uint8_t, 4> table{};
  try {
    detail::ParseDecimalTable<std::uint8_t>(GetParam().text, table, 1, 64);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), GetParam().error);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, DecimalTableParser,
                         testing::Values(BadTable{"1,2,3", errc::out_of_range},      // too few
                                         BadTable{"1,2,3,4,5", errc::out_of_range},  // too many
                                         BadTable{"1,2,3,", errc::out_of_range},    // empty piece 0
                                         BadTable{"1,2,3,65", errc::out_of_range},  // position
                                         BadTable{"1,2,3,256", errc::overflow},     // byte range
                                         BadTable{"1,2,-3,4", errc::overflow}));

TEST(DecimalTableParser, SkipsBlanksAroundNumbers) {
  std::array<std::int16_t, 4> table{};
  detail::ParseDecimalTable<std::int16_t>(" 1, 2,10 ,64", table, 1, 64);
  EXPECT_EQ(table, (std::array<std::int16_t, 4>{1, 2, 10, 64}));
}

}  // namespace
}  // namespace ansicrypt::test
