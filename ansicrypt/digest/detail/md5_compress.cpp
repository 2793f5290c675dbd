// The MD5 block transform, RFC 1321 section 3.4, with the 64 steps written out.
#include "ansicrypt/digest/detail/md5_compress.h"

#include <bit>
#include <cstring>

namespace ansicrypt::detail {
namespace {

// Message word j of the block: four bytes, little-endian.
inline std::uint32_t LoadBlockWord(const std::uint8_t* block, int j) {
  const std::uint8_t* p = block + 4 * j;
  if constexpr (std::endian::native == std::endian::little) {
    std::uint32_t word;
    std::memcpy(&word, p, 4);
    return word;
  } else {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
  }
}

// One step each: a = b + ((a + f(b, c, d) + X[k] + T[i]) <<< s). The forms of F and G below equal
// RFC 1321's but give the processor shorter dependency chains (G's two terms have no bits in
// common, so their sum equals their OR).
inline void StepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, int s, std::uint32_t t) {
  a += word + t + (d ^ (b & (c ^ d)));
  a = std::rotl(a, s) + b;
}

inline void StepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, int s, std::uint32_t t) {
  a += word + t + (c & ~d);
  a += b & d;
  a = std::rotl(a, s) + b;
}

inline void StepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, int s, std::uint32_t t) {
  a += word + t + (b ^ (c ^ d));  // c ^ d does not wait for b, the previous step's result
  a = std::rotl(a, s) + b;
}

inline void StepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, int s, std::uint32_t t) {
  a += word + t + (c ^ (b | ~d));
  a = std::rotl(a, s) + b;
}

}  // namespace

void Md5Compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* blocks,
                 std::size_t count) {
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; count > 0; --count, blocks += 64) {
    std::uint32_t x[16];
    for (int j = 0; j < 16; ++j) x[j] = LoadBlockWord(blocks, j);
    const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d;
    // The constants T[i] = floor(2^32 * |sin i|) and the shifts, as RFC 1321 section 3.4 lists
    // them.
    // clang-format off
    StepF(a, b, c, d, x[ 0],  7, 0xd76aa478); StepF(d, a, b, c, x[ 1], 12, 0xe8c7b756);
    StepF(c, d, a, b, x[ 2], 17, 0x242070db); StepF(b, c, d, a, x[ 3], 22, 0xc1bdceee);
    StepF(a, b, c, d, x[ 4],  7, 0xf57c0faf); StepF(d, a, b, c, x[ 5], 12, 0x4787c62a);
    StepF(c, d, a, b, x[ 6], 17, 0xa8304613); StepF(b, c, d, a, x[ 7], 22, 0xfd469501);
    StepF(a, b, c, d, x[ 8],  7, 0x698098d8); StepF(d, a, b, c, x[ 9], 12, 0x8b44f7af);
    StepF(c, d, a, b, x[10], 17, 0xffff5bb1); StepF(b, c, d, a, x[11], 22, 0x895cd7be);
    StepF(a, b, c, d, x[12],  7, 0x6b901122); StepF(d, a, b, c, x[13], 12, 0xfd987193);
    StepF(c, d, a, b, x[14], 17, 0xa679438e); StepF(b, c, d, a, x[15], 22, 0x49b40821);

    StepG(a, b, c, d, x[ 1],  5, 0xf61e2562); StepG(d, a, b, c, x[ 6],  9, 0xc040b340);
    StepG(c, d, a, b, x[11], 14, 0x265e5a51); StepG(b, c, d, a, x[ 0], 20, 0xe9b6c7aa);
    StepG(a, b, c, d, x[ 5],  5, 0xd62f105d); StepG(d, a, b, c, x[10],  9, 0x02441453);
    StepG(c, d, a, b, x[15], 14, 0xd8a1e681); StepG(b, c, d, a, x[ 4], 20, 0xe7d3fbc8);
    StepG(a, b, c, d, x[ 9],  5, 0x21e1cde6); StepG(d, a, b, c, x[14],  9, 0xc33707d6);
    StepG(c, d, a, b, x[ 3], 14, 0xf4d50d87); StepG(b, c, d, a, x[ 8], 20, 0x455a14ed);
    StepG(a, b, c, d, x[13],  5, 0xa9e3e905); StepG(d, a, b, c, x[ 2],  9, 0xfcefa3f8);
    StepG(c, d, a, b, x[ 7], 14, 0x676f02d9); StepG(b, c, d, a, x[12], 20, 0x8d2a4c8a);

    StepH(a, b, c, d, x[ 5],  4, 0xfffa3942); StepH(d, a, b, c, x[ 8], 11, 0x8771f681);
    StepH(c, d, a, b, x[11], 16, 0x6d9d6122); StepH(b, c, d, a, x[14], 23, 0xfde5380c);
    StepH(a, b, c, d, x[ 1],  4, 0xa4beea44); StepH(d, a, b, c, x[ 4], 11, 0x4bdecfa9);
    StepH(c, d, a, b, x[ 7], 16, 0xf6bb4b60); StepH(b, c, d, a, x[10], 23, 0xbebfbc70);
    StepH(a, b, c, d, x[13],  4, 0x289b7ec6); StepH(d, a, b, c, x[ 0], 11, 0xeaa127fa);
    StepH(c, d, a, b, x[ 3], 16, 0xd4ef3085); StepH(b, c, d, a, x[ 6], 23, 0x04881d05);
    StepH(a, b, c, d, x[ 9],  4, 0xd9d4d039); StepH(d, a, b, c, x[12], 11, 0xe6db99e5);
    StepH(c, d, a, b, x[15], 16, 0x1fa27cf8); StepH(b, c, d, a, x[ 2], 23, 0xc4ac5665);

    StepI(a, b, c, d, x[ 0],  6, 0xf4292244); StepI(d, a, b, c, x[ 7], 10, 0x432aff97);
    StepI(c, d, a, b, x[14], 15, 0xab9423a7); StepI(b, c, d, a, x[ 5], 21, 0xfc93a039);
    StepI(a, b, c, d, x[12],  6, 0x655b59c3); StepI(d, a, b, c, x[ 3], 10, 0x8f0ccc92);
    StepI(c, d, a, b, x[10], 15, 0xffeff47d); StepI(b, c, d, a, x[ 1], 21, 0x85845dd1);
    StepI(a, b, c, d, x[ 8],  6, 0x6fa87e4f); StepI(d, a, b, c, x[15], 10, 0xfe2ce6e0);
    StepI(c, d, a, b, x[ 6], 15, 0xa3014314); StepI(b, c, d, a, x[13], 21, 0x4e0811a1);
    StepI(a, b, c, d, x[ 4],  6, 0xf7537e82); StepI(d, a, b, c, x[11], 10, 0xbd3af235);
    StepI(c, d, a, b, x[ 2], 15, 0x2ad7d2bb); StepI(b, c, d, a, x[ 9], 21, 0xeb86d391);
    // clang-format on
    a += a0;
    b += b0;
    c += c0;
    d += d0;
  }
  state = {a, b, c, d};
}

}  // namespace ansicrypt::detail
