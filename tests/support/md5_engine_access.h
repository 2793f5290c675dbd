// Reaches the steps of the MD5 engine that clsMD5's public digests run in one go.
#pragma once

#include "ansicrypt/digest/md5.h"

namespace ansicrypt::test {

struct Md5EngineAccess {
  static void Reset(clsMD5& md5) { md5.ResetState(); }
  static void Absorb(clsMD5& md5, std::int32_t n, const ByteArray& source) {
    md5.AbsorbBytes(n, source);
  }
  static void Finish(clsMD5& md5) { md5.FinishDigest(); }
  static Text Hex(const clsMD5& md5) { return md5.DigestToHex(); }
};

}  // namespace ansicrypt::test
