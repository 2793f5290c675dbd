// OpenSSL's DES as an independent oracle for the cipher tests.
#pragma once

#include "ansicrypt/common/types.h"

namespace ansicrypt::test {

// DES in ECB mode under an 8-byte key; the data is zero-filled to a multiple of 8 first.
ByteArray OpenSslDes(const ByteArray& key, ByteArray data, bool encrypt);

// Eight bytes of `key` from `offset`, zero-filled past its end.
ByteArray KeyPart(const ByteArray& key, std::size_t offset);

}  // namespace ansicrypt::test
