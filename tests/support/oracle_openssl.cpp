// OpenSSL as the independent oracle.
#include <openssl/des.h>
#include <openssl/evp.h>
#include <openssl/md5.h>

#include <algorithm>

#include "tests/support/oracle.h"

namespace ansicrypt::test {

ByteArray OracleDes(const ByteArray& key, ByteArray data, bool encrypt) {
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

ByteArray OracleMd5(const std::uint8_t* data, std::size_t size) {
  ByteArray digest(MD5_DIGEST_LENGTH);
  MD5(data, size, digest.data());
  return digest;
}

struct OracleMd5Stream::State {
  MD5_CTX context;
};

OracleMd5Stream::OracleMd5Stream() : state_(std::make_unique<State>()) {
  MD5_Init(&state_->context);
}
OracleMd5Stream::~OracleMd5Stream() = default;

void OracleMd5Stream::Update(const std::uint8_t* data, std::size_t size) {
  MD5_Update(&state_->context, data, size);
}

ByteArray OracleMd5Stream::Final() {
  ByteArray digest(MD5_DIGEST_LENGTH);
  MD5_Final(digest.data(), &state_->context);
  return digest;
}

std::string OracleBase64(const ByteArray& data) {
  std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(),
                                     static_cast<int>(data.size()));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace ansicrypt::test
