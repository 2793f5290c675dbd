// class DES: single DES and two-key triple DES (EDE) over byte arrays, electronic codebook mode.
//
// Results are bit-identical to the legacy program: every 8-byte block is transformed on its own,
// a short last block is zero-filled, and the fill is never removed. DES and ECB are broken for new
// designs; this class exists to read and write legacy data.
#pragma once

#include <array>
#include <cstdint>

#include "ansicrypt/common/error.h"
#include "ansicrypt/common/types.h"

namespace ansicrypt {

class DES {
 public:
  // Largest input of one array call: counts are signed 16-bit and the length is rounded up to a
  // multiple of 8, so 32,761 bytes and more raise errc::overflow.
  static constexpr std::size_t kMaxInputBytes = 32760;

  // Takes the FIPS 46-3 tables, parsed from their decimal text once, while the library was
  // compiled: creating an object copies them. Both keys act as eight zero bytes until set.
  DES();

  // Key 1 becomes bytes 0..7 and key 2 bytes 8..15 of `key`, which is zero-filled to 16 bytes or
  // cut there. Never fails; parity bits are ignored.
  //   des.SetKey({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});  // key 2 = eight zero bytes
  void SetKey(const ByteArray& key);
  // Key 1 (or key 2) becomes bytes 0..7 of `key`, zero-filled or cut; the other key stays as it
  // was.
  void SetKey1(const ByteArray& key);
  void SetKey2(const ByteArray& key);

  // Two-key triple DES: direction 1 runs encrypt(key 1), decrypt(key 2), encrypt(key 1); direction
  // 2 inverts it; 0 and 3 decrypt in all three passes. `output` becomes the input's length rounded
  // up to a multiple of 8. Errors: errc::out_of_range for an empty input, errc::overflow for more
  // than 32,760 bytes or a direction above 3. On error `output` is left as it was.
  void Encrypt3Des_ArrToArr(const ByteArray& input, ByteArray& output,
                            const std::uint8_t& direction);

  // Single DES under key 2 when `keyNumber` is 2 and under key 1 otherwise (a value other than 2 is
  // rewritten to 1 in the caller's variable). Direction 1 encrypts, any other value decrypts.
  // `output` becomes the input's length rounded up to a multiple of 8; the last block is
  // zero-filled. `input` and `output` may be the same array. Errors: errc::out_of_range for an
  // empty input, errc::overflow for more than 32,760 bytes. On error `output` is left as it was.
  //   std::uint8_t key = 1; des.EncryptDes_ArrToArr(plain, cipher, key, 1);
  void EncryptDes_ArrToArr(const ByteArray& input, ByteArray& output, std::uint8_t& keyNumber,
                           const std::uint8_t& direction);

 private:
  using RoundKeyBytes = std::array<std::array<std::uint8_t, 8>, 16>;
  // Round keys as the table rounds consume them: per round two words holding the 6-bit S-box
  // inputs of boxes 1,3,5,7 and 2,4,6,8 in the low six bits of each byte.
  using RoundKeyWords = std::array<std::uint32_t, 32>;

  // The key schedule: fills SubKey1 (keyNumber 1) or SubKey2 (2) from an 8-byte key, then the
  // words the rounds take from it.
  void MakeSubKeys(const std::array<std::uint8_t, 8>& key, int keyNumber);
  const RoundKeyWords& Words(std::uint8_t keyNumber) const;
  // Single or triple DES over the whole blocks and the zero-filled last block of `input`.
  void Transform(const ByteArray& input, ByteArray& output, std::size_t rounded,
                 std::uint8_t keyNumber, std::uint8_t direction, bool triple) const;

  // FIPS 46-3 tables, entries as printed there (bit positions counted from 1): this object's
  // copies of the tables parsed from the standard's decimal text, its documented state. The
  // transforms compute through tables derived from the same parse (S-boxes with P as words,
  // key-schedule lookups, bitsliced S-box circuits), equal to these by construction and by test,
  // so these copies are not read.
  [[maybe_unused]] std::array<std::uint8_t, 64> TabIP;
  [[maybe_unused]] std::array<std::uint8_t, 64> TabFP;
  [[maybe_unused]] std::array<std::uint8_t, 48> TabE;
  [[maybe_unused]] std::array<std::int16_t, 56> TabPC1;
  [[maybe_unused]] std::array<std::int16_t, 48> TabPC2;
  [[maybe_unused]] std::array<std::int16_t, 16> TabShift;
  [[maybe_unused]] std::array<std::uint8_t, 32> TabP;
  [[maybe_unused]] std::array<std::array<std::array<std::uint8_t, 16>, 4>, 8> TabS;
  // Round keys: bytes 0..5 of round r hold round key K(r+1), most significant bit first; bytes 6
  // and 7 stay zero. Every transform's keys are derived from these.
  RoundKeyBytes SubKey1{};
  RoundKeyBytes SubKey2{};

  RoundKeyWords words1_{};  // SubKey1 as the table rounds take it
  RoundKeyWords words2_{};  // SubKey2
};

}  // namespace ansicrypt
