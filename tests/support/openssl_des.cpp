// OpenSSL's DES as an independent oracle for the cipher tests.
#include "tests/support/openssl_des.h"

#include <openssl/des.h>

#include <algorithm>

namespace ansicrypt::test {

ByteArray OpenSslDes(const ByteArray& key, ByteArray data, bool encrypt) {
  DES_cblock keyBlock{};
  std::copy_n(key.begin(), 8, keyBlock);
  DES_key_schedule schedule;
  DES_set_key_unchecked(&keyBlock, &schedule);
  data.resize((data.size() + 7) / 8 * 8);
  for (std::size_t c = 0; c < data.size(); c += 8) {
    DES_cblock block;
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(c), 8, block);
    DES_ecb_encrypt(&block, &block, &schedule, encrypt ? DES_ENCRYPT : DES_DECRYPT);
    std::copy_n(block, 8, data.begin() + static_cast<std::ptrdiff_t>(c));
  }
  return data;
}

ByteArray KeyPart(const ByteArray& key, std::size_t offset) {
  ByteArray part(8, 0);
  for (std::size_t i = 0; i < 8 && offset + i < key.size(); ++i) part[i] = key[offset + i];
  return part;
}

}  // namespace ansicrypt::test
