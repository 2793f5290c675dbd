// The independent implementations that the tests compare the library with: OpenSSL where the
// build has it (oracle_openssl.cpp); elsewhere, in the Windows build, plain implementations
// written from the standards (oracle_reference.cpp), and the conformance program compares that
// build's outputs with a native build's. The reference DES walks the library's own parse of the
// standard's tables, so there the tables are held by the known-answer files and the conformance
// comparison, not by the oracle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ansicrypt/common/types.h"

namespace ansicrypt::test {

// DES in ECB mode under an 8-byte key; the data is zero-filled to a multiple of 8 first.
ByteArray OracleDes(const ByteArray& key, ByteArray data, bool encrypt);

// The 16 bytes of the MD5 digest of `size` bytes.
ByteArray OracleMd5(const std::uint8_t* data, std::size_t size);
inline ByteArray OracleMd5(const ByteArray& data) { return OracleMd5(data.data(), data.size()); }

// MD5 over bytes given in pieces.
class OracleMd5Stream {
 public:
  OracleMd5Stream();
  ~OracleMd5Stream();
  OracleMd5Stream(const OracleMd5Stream&) = delete;
  OracleMd5Stream& operator=(const OracleMd5Stream&) = delete;
  void Update(const std::uint8_t* data, std::size_t size);
  ByteArray Final();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Base64 with padding, no line breaks.
std::string OracleBase64(const ByteArray& data);

// Eight bytes of `key` from `offset`, zero-filled past its end.
inline ByteArray KeyPart(const ByteArray& key, std::size_t offset) {
  ByteArray part(8, 0);
  for (std::size_t i = 0; i < 8 && offset + i < key.size(); ++i) part[i] = key[offset + i];
  return part;
}

}  // namespace ansicrypt::test
