// class DES: tables, key schedule and single and triple DES over byte arrays.
#include "ansicrypt/cipher/des.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "ansicrypt/cipher/detail/des_rounds.h"
#include "ansicrypt/cipher/detail/des_tables.h"

namespace ansicrypt {
namespace {

using detail::FinalPermutation;
using detail::InitialPermutation;
using detail::LoadBigEndian;
using detail::StoreBigEndian;

// The output length of an array call: the input length rounded up to a multiple of 8. The legacy
// code counts in signed 16-bit integers, so an input of more than 32,760 bytes (whose rounded
// length would pass 32,767) overflows, and an empty input has no upper bound to count from.
std::size_t RoundedLength(std::size_t inputLength) {
  if (inputLength == 0) throw Error(errc::out_of_range);
  if (inputLength > DES::kMaxInputBytes) throw Error(errc::overflow);
  return (inputLength + 7) / 8 * 8;
}

// Transforms `Lanes` consecutive blocks: IP, `rounds`, IP-1.
template <std::size_t Lanes, class Rounds>
void TransformLanes(const std::uint8_t* in, std::uint8_t* out, const Rounds& rounds) {
  std::array<std::uint32_t, Lanes> left;
  std::array<std::uint32_t, Lanes> right;
  for (std::size_t i = 0; i < Lanes; ++i) {
    left[i] = LoadBigEndian(in + 8 * i);
    right[i] = LoadBigEndian(in + 8 * i + 4);
    InitialPermutation(left[i], right[i]);
  }
  rounds(left, right);
  for (std::size_t i = 0; i < Lanes; ++i) {
    FinalPermutation(right[i], left[i]);  // the halves are exchanged before IP-1
    StoreBigEndian(right[i], out + 8 * i);
    StoreBigEndian(left[i], out + 8 * i + 4);
  }
}

// Runs `rounds` over every 8-byte block of `input` into `output`, which becomes `rounded` bytes
// long. A short last block is zero-filled; the fill stays in the output. `rounds` takes the
// permuted halves of one or more blocks and leaves (L16, R16) of its last DES pass.
template <class Rounds>
void TransformBlocks(const ByteArray& input, ByteArray& output, std::size_t rounded,
                     const Rounds& rounds) {
  // When both are one array, growing it supplies the zero fill in place.
  output.resize(rounded);
  const std::size_t whole = input.size() / 8 * 8;
  const std::uint8_t* in = input.data();
  std::uint8_t* out = output.data();
  std::size_t c = 0;
  // Four blocks at a time run about twice as fast as one.
  for (; c + 32 <= whole; c += 32) TransformLanes<4>(in + c, out + c, rounds);
  for (; c < whole; c += 8) TransformLanes<1>(in + c, out + c, rounds);
  if (whole < rounded) {
    std::uint8_t last[8] = {};
    std::memcpy(last, in + whole, input.size() - whole);
    TransformLanes<1>(last, out + whole, rounds);
  }
}

std::array<std::uint8_t, 8> FirstEightBytes(const ByteArray& key, std::size_t offset) {
  std::array<std::uint8_t, 8> bytes{};  // a short key is zero-filled
  if (key.size() > offset) {
    const std::size_t count = std::min<std::size_t>(8, key.size() - offset);
    std::copy_n(key.begin() + static_cast<std::ptrdiff_t>(offset), count, bytes.begin());
  }
  return bytes;
}

}  // namespace

DES::DES() {
  detail::ParseDecimalTable<std::uint8_t>(detail::kTextIP, TabIP, 1, 64);
  detail::ParseDecimalTable<std::uint8_t>(detail::kTextFP, TabFP, 1, 64);
  detail::ParseDecimalTable<std::uint8_t>(detail::kTextE, TabE, 1, 32);
  detail::ParseDecimalTable<std::int16_t>(detail::kTextPC1, TabPC1, 1, 64);
  detail::ParseDecimalTable<std::int16_t>(detail::kTextPC2, TabPC2, 1, 56);
  detail::ParseDecimalTable<std::int16_t>(detail::kTextShift, TabShift, 1, 2);
  detail::ParseDecimalTable<std::uint8_t>(detail::kTextP, TabP, 1, 32);
  std::array<std::uint8_t, 512> s{};
  detail::ParseDecimalTable<std::uint8_t>(detail::kTextS, s, 0, 15);
  std::size_t piece = 0;
  for (auto& box : TabS) {
    for (auto& row : box) {
      for (auto& entry : row) entry = s[piece++];
    }
  }
  spBoxes_ = detail::DeriveSpBoxes(TabS, TabP);
  // The zero round keys are those of the all-zero key.
}

void DES::SetKey(const ByteArray& key) {
  MakeSubKeys(FirstEightBytes(key, 0), SubKey1, keyWords1_);
  MakeSubKeys(FirstEightBytes(key, 8), SubKey2, keyWords2_);
}

void DES::SetKey1(const ByteArray& key) {
  MakeSubKeys(FirstEightBytes(key, 0), SubKey1, keyWords1_);
}

void DES::SetKey2(const ByteArray& key) {
  MakeSubKeys(FirstEightBytes(key, 0), SubKey2, keyWords2_);
}

// The FIPS 46-3 key schedule. PC-1 drops the least significant bit of every key byte, so parity
// is ignored.
void DES::MakeSubKeys(const std::array<std::uint8_t, 8>& key, RoundKeyBytes& target,
                      RoundKeyWords& words) const {
  const std::uint64_t bits =
      (std::uint64_t{LoadBigEndian(key.data())} << 32) | LoadBigEndian(key.data() + 4);
  std::uint32_t c = 0;
  std::uint32_t d = 0;
  for (std::size_t i = 0; i < 28; ++i) {
    c = (c << 1) | static_cast<std::uint32_t>((bits >> (64 - TabPC1[i])) & 1U);
    d = (d << 1) | static_cast<std::uint32_t>((bits >> (64 - TabPC1[i + 28])) & 1U);
  }
  for (std::size_t round = 0; round < 16; ++round) {
    const int shift = TabShift[round];
    c = ((c << shift) | (c >> (28 - shift))) & 0x0fffffffU;
    d = ((d << shift) | (d >> (28 - shift))) & 0x0fffffffU;
    const std::uint64_t cd = (std::uint64_t{c} << 28) | d;
    std::uint64_t roundKey = 0;
    for (const std::int16_t position : TabPC2)
      roundKey = (roundKey << 1) | ((cd >> (56 - position)) & 1U);
    for (std::size_t byte = 0; byte < 6; ++byte) {
      target[round][byte] = static_cast<std::uint8_t>(roundKey >> (40 - 8 * byte));
    }
    target[round][6] = target[round][7] = 0;
    detail::SplitRoundKey(roundKey, words.encrypt[2 * round], words.encrypt[2 * round + 1]);
  }
  // Decryption is the same computation with the round keys in reverse order.
  for (std::size_t round = 0; round < 16; ++round) {
    words.decrypt[2 * round] = words.encrypt[30 - 2 * round];
    words.decrypt[2 * round + 1] = words.encrypt[31 - 2 * round];
  }
}

// Key number 2 selects key 2 and any other value key 1; direction 1 encrypts and any other value
// decrypts.
const std::uint32_t* DES::Schedule(std::uint8_t keyNumber, std::uint8_t direction) const {
  const RoundKeyWords& words = keyNumber == 2 ? keyWords2_ : keyWords1_;
  return direction == 1 ? words.encrypt.data() : words.decrypt.data();
}

void DES::EncryptDes_ArrToArr(const ByteArray& input, ByteArray& output, std::uint8_t& keyNumber,
                              const std::uint8_t& direction) {
  if (keyNumber != 2) keyNumber = 1;  // callers see the rewrite, as the legacy API showed it
  const std::size_t rounded = RoundedLength(input.size());
  const std::uint32_t* keys = Schedule(keyNumber, direction);
  TransformBlocks(input, output, rounded, [keys, this](auto& left, auto& right) {
    detail::Rounds(left, right, keys, spBoxes_);
  });
}

void DES::Encrypt3Des_ArrToArr(const ByteArray& input, ByteArray& output,
                               const std::uint8_t& direction) {
  const std::size_t rounded = RoundedLength(input.size());
  // The middle pass runs in direction 3 - direction, computed into a byte: above 3 it overflows.
  if (direction > 3) throw Error(errc::overflow);
  const std::uint32_t* outer = Schedule(1, direction);
  const std::uint32_t* middle = Schedule(2, static_cast<std::uint8_t>(3 - direction));
  // The three passes run block by block; between passes IP-1 and IP cancel, leaving the exchange
  // of the halves.
  TransformBlocks(input, output, rounded, [outer, middle, this](auto& left, auto& right) {
    detail::Rounds(left, right, outer, spBoxes_);
    std::swap(left, right);
    detail::Rounds(left, right, middle, spBoxes_);
    std::swap(left, right);
    detail::Rounds(left, right, outer, spBoxes_);
  });
}

}  // namespace ansicrypt
