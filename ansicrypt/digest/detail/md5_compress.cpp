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

// One step each: a = b + ((a + f(b, c, d) + X[k] + T[i]) <<< S). S is a constant: std::rotl's count
// is an int, an unsigned in older libc++, and a constant converts to either without a warning. The
// forms of F and G below equal RFC 1321's but give the processor shorter dependency chains (G's two
// terms have no bits in common, so their sum equals their OR).
template <int S>
inline void StepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, std::uint32_t t) {
  a += word + t + (d ^ (b & (c ^ d)));
  a = std::rotl(a, S) + b;
}

template <int S>
inline void StepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, std::uint32_t t) {
  a += word + t + (c & ~d);
  a += b & d;
  a = std::rotl(a, S) + b;
}

template <int S>
inline void StepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, std::uint32_t t) {
  a += word + t + (b ^ (c ^ d));  // c ^ d does not wait for b, the previous step's result
  a = std::rotl(a, S) + b;
}

template <int S>
inline void StepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t word, std::uint32_t t) {
  a += word + t + (c ^ (b | ~d));
  a = std::rotl(a, S) + b;
}

// The transform of whole blocks while `loadBlock(x)` fills the next block's 16 words into x and
// says it has one; returns the number transformed.
template <class LoadBlock>
inline std::size_t CompressBlocks(std::array<std::uint32_t, 4>& state, std::size_t count,
                                  LoadBlock loadBlock) {
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::size_t done = 0;
  for (; done < count; ++done) {
    std::uint32_t x[16];
    if (!loadBlock(x)) break;
    const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d;
    // The constants T[i] = floor(2^32 * |sin i|) and the shifts, as RFC 1321 section 3.4 lists
    // them.
    // clang-format off
    StepF<7>(a, b, c, d, x[ 0], 0xd76aa478); StepF<12>(d, a, b, c, x[ 1], 0xe8c7b756);
    StepF<17>(c, d, a, b, x[ 2], 0x242070db); StepF<22>(b, c, d, a, x[ 3], 0xc1bdceee);
    StepF<7>(a, b, c, d, x[ 4], 0xf57c0faf); StepF<12>(d, a, b, c, x[ 5], 0x4787c62a);
    StepF<17>(c, d, a, b, x[ 6], 0xa8304613); StepF<22>(b, c, d, a, x[ 7], 0xfd469501);
    StepF<7>(a, b, c, d, x[ 8], 0x698098d8); StepF<12>(d, a, b, c, x[ 9], 0x8b44f7af);
    StepF<17>(c, d, a, b, x[10], 0xffff5bb1); StepF<22>(b, c, d, a, x[11], 0x895cd7be);
    StepF<7>(a, b, c, d, x[12], 0x6b901122); StepF<12>(d, a, b, c, x[13], 0xfd987193);
    StepF<17>(c, d, a, b, x[14], 0xa679438e); StepF<22>(b, c, d, a, x[15], 0x49b40821);

    StepG<5>(a, b, c, d, x[ 1], 0xf61e2562); StepG<9>(d, a, b, c, x[ 6], 0xc040b340);
    StepG<14>(c, d, a, b, x[11], 0x265e5a51); StepG<20>(b, c, d, a, x[ 0], 0xe9b6c7aa);
    StepG<5>(a, b, c, d, x[ 5], 0xd62f105d); StepG<9>(d, a, b, c, x[10], 0x02441453);
    StepG<14>(c, d, a, b, x[15], 0xd8a1e681); StepG<20>(b, c, d, a, x[ 4], 0xe7d3fbc8);
    StepG<5>(a, b, c, d, x[ 9], 0x21e1cde6); StepG<9>(d, a, b, c, x[14], 0xc33707d6);
    StepG<14>(c, d, a, b, x[ 3], 0xf4d50d87); StepG<20>(b, c, d, a, x[ 8], 0x455a14ed);
    StepG<5>(a, b, c, d, x[13], 0xa9e3e905); StepG<9>(d, a, b, c, x[ 2], 0xfcefa3f8);
    StepG<14>(c, d, a, b, x[ 7], 0x676f02d9); StepG<20>(b, c, d, a, x[12], 0x8d2a4c8a);

    StepH<4>(a, b, c, d, x[ 5], 0xfffa3942); StepH<11>(d, a, b, c, x[ 8], 0x8771f681);
    StepH<16>(c, d, a, b, x[11], 0x6d9d6122); StepH<23>(b, c, d, a, x[14], 0xfde5380c);
    StepH<4>(a, b, c, d, x[ 1], 0xa4beea44); StepH<11>(d, a, b, c, x[ 4], 0x4bdecfa9);
    StepH<16>(c, d, a, b, x[ 7], 0xf6bb4b60); StepH<23>(b, c, d, a, x[10], 0xbebfbc70);
    StepH<4>(a, b, c, d, x[13], 0x289b7ec6); StepH<11>(d, a, b, c, x[ 0], 0xeaa127fa);
    StepH<16>(c, d, a, b, x[ 3], 0xd4ef3085); StepH<23>(b, c, d, a, x[ 6], 0x04881d05);
    StepH<4>(a, b, c, d, x[ 9], 0xd9d4d039); StepH<11>(d, a, b, c, x[12], 0xe6db99e5);
    StepH<16>(c, d, a, b, x[15], 0x1fa27cf8); StepH<23>(b, c, d, a, x[ 2], 0xc4ac5665);

    StepI<6>(a, b, c, d, x[ 0], 0xf4292244); StepI<10>(d, a, b, c, x[ 7], 0x432aff97);
    StepI<15>(c, d, a, b, x[14], 0xab9423a7); StepI<21>(b, c, d, a, x[ 5], 0xfc93a039);
    StepI<6>(a, b, c, d, x[12], 0x655b59c3); StepI<10>(d, a, b, c, x[ 3], 0x8f0ccc92);
    StepI<15>(c, d, a, b, x[10], 0xffeff47d); StepI<21>(b, c, d, a, x[ 1], 0x85845dd1);
    StepI<6>(a, b, c, d, x[ 8], 0x6fa87e4f); StepI<10>(d, a, b, c, x[15], 0xfe2ce6e0);
    StepI<15>(c, d, a, b, x[ 6], 0xa3014314); StepI<21>(b, c, d, a, x[13], 0x4e0811a1);
    StepI<6>(a, b, c, d, x[ 4], 0xf7537e82); StepI<10>(d, a, b, c, x[11], 0xbd3af235);
    StepI<15>(c, d, a, b, x[ 2], 0x2ad7d2bb); StepI<21>(b, c, d, a, x[ 9], 0xeb86d391);
    // clang-format on
    a += a0;
    b += b0;
    c += c0;
    d += d0;
  }
  state = {a, b, c, d};
  return done;
}

}  // namespace

void Md5Compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* blocks,
                 std::size_t count) {
  CompressBlocks(state, count, [&blocks](std::uint32_t(&x)[16]) {
    for (int j = 0; j < 16; ++j) x[j] = LoadBlockWord(blocks, j);
    blocks += 64;
    return true;
  });
}

// The bytes are the units' values, whatever the machine's byte order. The check and
// the narrowing depend on the text only, not on the previous block's result, so the processor
// runs them while the steps of that block are still waiting on one another.
std::size_t Md5CompressAsciiUnits(std::array<std::uint32_t, 4>& state, const char16_t* units,
                                  std::size_t count) {
  return CompressBlocks(state, count, [&units](std::uint32_t(&x)[16]) {
    std::uint8_t bytes[64];
    unsigned any = 0;
    for (int k = 0; k < 64; ++k) {
      any |= units[k];
      bytes[k] = static_cast<std::uint8_t>(units[k]);
    }
    if (any >= 0x80) return false;
    for (int j = 0; j < 16; ++j) x[j] = LoadBlockWord(bytes, j);
    units += 64;
    return true;
  });
}

}  // namespace ansicrypt::detail
