// Plain implementations written from the standards, for a build without OpenSSL: MD5 as RFC 1321
// gives it (a byte at a time, its words little-endian), Base64 as RFC 4648 gives it, and DES
// through the bit-by-bit DES of the tests (des_reference.h).
#include <algorithm>
#include <array>

#include "tests/cipher/des_reference.h"
#include "tests/support/oracle.h"

namespace ansicrypt::test {

ByteArray OracleDes(const ByteArray& key, ByteArray data, bool encrypt) {
  Block keyBlock{};
  for (std::size_t i = 0; i < 8; ++i) keyBlock[i] = key[i];
  const auto subKeys = MakeSubKeys(keyBlock);
  data.resize((data.size() + 7) / 8 * 8);
  for (std::size_t c = 0; c < data.size(); c += 8) {
    Block block{};
    for (std::size_t i = 0; i < 8; ++i) block[i] = data[c + i];
    block = DesBlock(block, subKeys, encrypt);
    for (std::size_t i = 0; i < 8; ++i) data[c + i] = block[i];
  }
  return data;
}

namespace {

// T[i] = floor(2^32 * |sin(i + 1)|), RFC 1321 section 3.4, as its table gives them.
constexpr std::array<std::uint32_t, 64> kSines = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};
constexpr std::uint32_t kShifts[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

std::uint32_t Rotl(std::uint32_t x, std::uint32_t s) { return (x << s) | (x >> (32 - s)); }

}  // namespace

struct OracleMd5Stream::State {
  std::array<std::uint32_t, 4> abcd = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
  std::array<std::uint8_t, 64> block{};
  std::size_t used = 0;
  std::uint64_t length = 0;

  void Compress() {
    std::uint32_t x[16];
    for (std::size_t i = 0; i < 16; ++i) {
      x[i] = std::uint32_t{block[4 * i]} | std::uint32_t{block[4 * i + 1]} << 8 |
             std::uint32_t{block[4 * i + 2]} << 16 | std::uint32_t{block[4 * i + 3]} << 24;
    }
    std::uint32_t a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];
    for (std::size_t i = 0; i < 64; ++i) {
      std::uint32_t f = 0;
      std::size_t k = 0;
      switch (i / 16) {
        case 0:
          f = (b & c) | (~b & d);
          k = i;
          break;
        case 1:
          f = (b & d) | (c & ~d);
          k = (5 * i + 1) % 16;
          break;
        case 2:
          f = b ^ c ^ d;
          k = (3 * i + 5) % 16;
          break;
        default:
          f = c ^ (b | ~d);
          k = (7 * i) % 16;
          break;
      }
      const std::uint32_t next = b + Rotl(a + f + x[k] + kSines[i], kShifts[i / 16][i % 4]);
      a = d;
      d = c;
      c = b;
      b = next;
    }
    abcd[0] += a;
    abcd[1] += b;
    abcd[2] += c;
    abcd[3] += d;
  }

  void Add(std::uint8_t byte) {
    block[used++] = byte;
    if (used == 64) {
      Compress();
      used = 0;
    }
  }
};

OracleMd5Stream::OracleMd5Stream() : state_(std::make_unique<State>()) {}
OracleMd5Stream::~OracleMd5Stream() = default;

void OracleMd5Stream::Update(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) state_->Add(data[i]);
  state_->length += size;
}

ByteArray OracleMd5Stream::Final() {
  const std::uint64_t bits = state_->length * 8;
  state_->Add(0x80);
  while (state_->used != 56) state_->Add(0);
  for (std::size_t k = 0; k < 8; ++k) state_->Add(static_cast<std::uint8_t>(bits >> (8 * k)));
  ByteArray digest(16);
  for (std::size_t w = 0; w < 4; ++w) {
    for (std::size_t k = 0; k < 4; ++k)
      digest[4 * w + k] = static_cast<std::uint8_t>(state_->abcd[w] >> (8 * k));
  }
  return digest;
}

ByteArray OracleMd5(const std::uint8_t* data, std::size_t size) {
  OracleMd5Stream stream;
  stream.Update(data, size);
  return stream.Final();
}

std::string OracleBase64(const ByteArray& data) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < data.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, data.size() - i);
    std::uint32_t group = std::uint32_t{data[i]} << 16;
    if (n > 1) group |= std::uint32_t{data[i + 1]} << 8;
    if (n > 2) group |= data[i + 2];
    for (std::size_t k = 0; k < 4; ++k)
      out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

}  // namespace ansicrypt::test
