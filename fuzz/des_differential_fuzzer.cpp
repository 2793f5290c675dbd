// DES and two-key triple DES against OpenSSL on any key, selector and data, on the path the input
// chooses (table rounds, bitsliced AVX2 or AVX-512, where the processor has them): any
// difference aborts.
#include <openssl/des.h>

#include <cstdlib>
#include <cstring>

#include "ansicrypt/cipher/des.h"
#include "ansicrypt/common/detail/simd_level.h"
#include "fuzz/fuzz_input.h"

namespace {

using ansicrypt::ByteArray;

ByteArray OpenSslDes(const std::uint8_t* key, ByteArray data, bool encrypt) {
  DES_cblock keyBlock;
  std::memcpy(keyBlock, key, 8);
  DES_key_schedule schedule;
  DES_set_key_unchecked(&keyBlock, &schedule);
  data.resize((data.size() + 7) / 8 * 8, 0);
  for (std::size_t c = 0; c < data.size(); c += 8) {
    DES_cblock block;
    std::memcpy(block, data.data() + c, 8);
    DES_ecb_encrypt(&block, &block, &schedule, encrypt ? DES_ENCRYPT : DES_DECRYPT);
    std::memcpy(data.data() + c, block, 8);
  }
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  fuzz::FuzzInput input(data, size);
  detail::ForceSimdLevel(static_cast<detail::SimdLevel>(input.Byte() % 3));
  ByteArray key = input.Bytes(input.Byte() % 21);
  std::uint8_t keyNumber = input.Byte();
  const std::uint8_t direction = input.Byte() % 5;
  const ByteArray plain = input.Rest();
  DES des;
  des.SetKey(key);
  key.resize(16, 0);
  const std::uint8_t* k1 = key.data();
  const std::uint8_t* k2 = key.data() + 8;
  ByteArray single, triple;
  try {
    des.EncryptDes_ArrToArr(plain, single, keyNumber, direction);
  } catch (const Error& e) {
    if (!plain.empty() && plain.size() <= DES::kMaxInputBytes) std::abort();
    return 0;
  }
  if (single != OpenSslDes(keyNumber == 2 ? k2 : k1, plain, direction == 1)) std::abort();
  try {
    des.Encrypt3Des_ArrToArr(plain, triple, direction);
  } catch (const Error& e) {
    if (direction <= 3) std::abort();
    return 0;
  }
  const bool outer = direction == 1;
  const bool middle = 3 - direction == 1;
  if (triple != OpenSslDes(k1, OpenSslDes(k2, OpenSslDes(k1, plain, outer), middle), outer))
    std::abort();
  return 0;
}
