// class DES: the object's tables and keys, and single and triple DES over byte arrays, through
// the table rounds or, for arrays of many blocks, the bitsliced rounds.
#include "ansicrypt/cipher/des.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "ansicrypt/cipher/detail/des_bitslice.h"
#include "ansicrypt/cipher/detail/des_key_schedule.h"
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

// Runs `rounds` over `blocks` whole blocks, four at a time and the rest together: blocks side by
// side overlap their latencies (four run about twice as fast as one).
template <class Rounds>
void TableBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                 const Rounds& rounds) {
  std::size_t b = 0;
  for (; b + 4 <= blocks; b += 4) TransformLanes<4>(in + 8 * b, out + 8 * b, rounds);
  switch (blocks - b) {
    case 3:
      TransformLanes<3>(in + 8 * b, out + 8 * b, rounds);
      break;
    case 2:
      TransformLanes<2>(in + 8 * b, out + 8 * b, rounds);
      break;
    case 1:
      TransformLanes<1>(in + 8 * b, out + 8 * b, rounds);
      break;
    default:
      break;
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

DES::DES()
    : TabIP(detail::kStandardTables.IP),
      TabFP(detail::kStandardTables.FP),
      TabE(detail::kStandardTables.E),
      TabPC1(detail::kStandardTables.PC1),
      TabPC2(detail::kStandardTables.PC2),
      TabShift(detail::kStandardTables.Shift),
      TabP(detail::kStandardTables.P),
      TabS(detail::kStandardTables.S) {
  // The zero round keys are those of the all-zero key.
}

void DES::SetKey(const ByteArray& key) {
  MakeSubKeys(FirstEightBytes(key, 0), 1);
  MakeSubKeys(FirstEightBytes(key, 8), 2);
}

void DES::SetKey1(const ByteArray& key) { MakeSubKeys(FirstEightBytes(key, 0), 1); }

void DES::SetKey2(const ByteArray& key) { MakeSubKeys(FirstEightBytes(key, 0), 2); }

// The FIPS 46-3 key schedule through lookup tables derived from TabPC1, TabPC2 and TabShift. PC-1
// drops the least significant bit of every key byte, so parity is ignored.
void DES::MakeSubKeys(const std::array<std::uint8_t, 8>& key, int keyNumber) {
  RoundKeyBytes& target = keyNumber == 2 ? SubKey2 : SubKey1;
  RoundKeyWords& words = keyNumber == 2 ? words2_ : words1_;
  // `bits.bytes` is stored big-endian on every machine, so its first byte is the key's first.
  detail::ForEachRoundKey(
      key, [&target, &words](std::size_t round, const detail::RoundKeyBits& bits) {
        std::memcpy(target[round].data(), &bits.bytes, 8);  // bytes 0..5, then two zero bytes
        // The words the table rounds take: the same bits grouped by S-box.
        words[2 * round] = static_cast<std::uint32_t>(bits.words >> 32);
        words[2 * round + 1] = static_cast<std::uint32_t>(bits.words);
      });
}

// Key number 2 selects key 2 and any other value key 1.
const DES::RoundKeyWords& DES::Words(std::uint8_t keyNumber) const {
  return keyNumber == 2 ? words2_ : words1_;
}

void DES::Transform(const ByteArray& input, ByteArray& output, std::size_t rounded,
                    std::uint8_t keyNumber, std::uint8_t direction, bool triple) const {
  // Direction 1 encrypts and any other value decrypts; triple DES runs its middle pass the other
  // way with key 2.
  const std::uint32_t* outer = Words(triple ? 1 : keyNumber).data();
  const std::uint32_t* middle = Words(2).data();
  const bool decrypt = direction != 1;
  const bool middleDecrypt = 3 - direction != 1;
  auto single = [outer, decrypt](auto& left, auto& right) {
    detail::Rounds(left, right, outer, decrypt, detail::kSpBoxes);
  };
  // Between the passes of triple DES, IP-1 and IP cancel, leaving the exchange of the halves.
  auto three = [outer, middle, decrypt, middleDecrypt](auto& left, auto& right) {
    detail::Rounds(left, right, outer, decrypt, detail::kSpBoxes);
    std::swap(left, right);
    detail::Rounds(left, right, middle, middleDecrypt, detail::kSpBoxes);
    std::swap(left, right);
    detail::Rounds(left, right, outer, decrypt, detail::kSpBoxes);
  };

  // Up to four blocks, the zero-filled last one too, run side by side. (Each lane reads its whole
  // block before any lane writes, so input and output may be one array.)
  if (rounded <= 32) {
    std::uint8_t filled[32] = {};
    const bool partial = input.size() < rounded;
    if (partial) std::memcpy(filled, input.data(), input.size());
    // Growing the output moves its storage; when it is the input too, it also zero-fills it.
    output.resize(rounded);
    const std::uint8_t* from = partial && &input != &output ? filled : input.data();
    if (triple) {
      TableBlocks(from, output.data(), rounded / 8, three);
    } else {
      TableBlocks(from, output.data(), rounded / 8, single);
    }
    return;
  }
  // When input and output are one array, growing it supplies the zero fill in place.
  output.resize(rounded);
  const std::size_t whole = input.size() / 8;
  const std::uint8_t* in = input.data();
  std::uint8_t* out = output.data();
  std::size_t done = 0;
  if (detail::UseBitslicedDes(whole)) {
    const detail::BitslicedKeys keys =
        triple ? detail::BitslicedKeys::Triple(SubKey1, SubKey2, decrypt, middleDecrypt)
               : detail::BitslicedKeys::Single(keyNumber == 2 ? SubKey2 : SubKey1, decrypt);
    done = detail::BitslicedDes(in, out, whole, keys);
  }
  if (triple) {
    TableBlocks(in + 8 * done, out + 8 * done, whole - done, three);
  } else {
    TableBlocks(in + 8 * done, out + 8 * done, whole - done, single);
  }
  if (8 * whole < rounded) {
    std::uint8_t last[8] = {};  // the short last block is zero-filled; the fill stays
    std::memcpy(last, in + 8 * whole, input.size() - 8 * whole);
    if (triple) {
      TableBlocks(last, out + 8 * whole, 1, three);
    } else {
      TableBlocks(last, out + 8 * whole, 1, single);
    }
  }
}

void DES::EncryptDes_ArrToArr(const ByteArray& input, ByteArray& output, std::uint8_t& keyNumber,
                              const std::uint8_t& direction) {
  if (keyNumber != 2) keyNumber = 1;  // callers see the rewrite, as the legacy API showed it
  Transform(input, output, RoundedLength(input.size()), keyNumber, direction, false);
}

void DES::Encrypt3Des_ArrToArr(const ByteArray& input, ByteArray& output,
                               const std::uint8_t& direction) {
  const std::size_t rounded = RoundedLength(input.size());
  // The middle pass runs in direction 3 - direction, computed into a byte: above 3 it overflows.
  if (direction > 3) throw Error(errc::overflow);
  Transform(input, output, rounded, 1, direction, true);
}

}  // namespace ansicrypt
