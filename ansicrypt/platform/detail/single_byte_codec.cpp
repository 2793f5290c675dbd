// Conversion for single-byte code pages through tables built once from iconv's mapping.
#include "ansicrypt/platform/detail/single_byte_codec.h"

#include <cerrno>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "ansicrypt/common/detail/utf16.h"
#include "ansicrypt/common/error.h"
#include "ansicrypt/platform/detail/iconv_codec.h"

namespace ansicrypt::platform::detail {
namespace {

constexpr std::size_t kIconvFailed = static_cast<std::size_t>(-1);
constexpr std::uint8_t kReplacementByte = '?';

// The character iconv gives for one byte, or the character of the byte's own value where the code
// page leaves the byte undefined (as Windows does).
char16_t DecodeOneByte(iconv_t cd, std::uint8_t byte) {
  char in[1] = {static_cast<char>(byte)};
  char16_t out[4] = {};
  char* inPtr = in;
  std::size_t inLeft = 1;
  char* outPtr = reinterpret_cast<char*>(out);
  std::size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const bool converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != kIconvFailed &&
                         iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != kIconvFailed;
  const std::size_t units = (sizeof out - outLeft) / sizeof(char16_t);
  return converted && units == 1 ? out[0] : static_cast<char16_t>(byte);
}

// Copies the leading ASCII units of `text` (n units) to `out` as bytes, 16 at a time, and returns
// how many it copied (a multiple of 16; the rest is left to the caller).
std::size_t NarrowAscii(const char16_t* text, std::size_t n, std::uint8_t* out) {
  std::size_t i = 0;
#ifdef __SSE2__
  for (; i + 16 <= n; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 8));
    // Any unit of 0x80 or more has a bit set outside the low seven.
    const __m128i beyond =
        _mm_and_si128(_mm_or_si128(low, high), _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(beyond, _mm_setzero_si128())) != 0xFFFF) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
  }
#else
  for (; i + 16 <= n; i += 16) {
    char16_t any = 0;
    for (std::size_t k = 0; k < 16; ++k) any |= text[i + k];
    if (any >= 0x80) break;
    for (std::size_t k = 0; k < 16; ++k) out[i + k] = static_cast<std::uint8_t>(text[i + k]);
  }
#endif
  return i;
}

}  // namespace

SingleByteCodec::SingleByteCodec(const char* iconvName) : toByte_(0x10000, kReplacementByte) {
  const IconvHandle decoder(kUtf16, iconvName);
  for (unsigned byte = 0; byte < 256; ++byte) {
    toText_[byte] = DecodeOneByte(decoder.get(), static_cast<std::uint8_t>(byte));
  }
  // Inverse mapping; where two bytes give one character, the lower byte wins.
  for (unsigned byte = 256; byte-- > 0;) toByte_[toText_[byte]] = static_cast<std::uint8_t>(byte);
  keepsAscii_ = true;
  for (unsigned byte = 0; byte < 0x80; ++byte) keepsAscii_ = keepsAscii_ && toText_[byte] == byte;
}

ByteArray SingleByteCodec::Encode(std::u16string_view text) const {
  ByteArray bytes(text.size());
  std::size_t out = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    // Runs of ASCII, the bulk of most texts, are narrowed 16 units at a time.
    if (keepsAscii_) {
      const std::size_t copied = NarrowAscii(text.data() + i, text.size() - i, bytes.data() + out);
      i += copied;
      out += copied;
      if (i == text.size()) break;
    }
    // A surrogate pair stands for one character that no single-byte code page has: one "?".
    const std::size_t units = ::ansicrypt::detail::IsSurrogatePair(text, i) ? 2 : 1;
    bytes[out++] = toByte_[text[i]];
    i += units;
  }
  bytes.resize(out);
  return bytes;
}

Text SingleByteCodec::Decode(const ByteArray& bytes) const {
  Text text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = toText_[bytes[i]];
  return text;
}

}  // namespace ansicrypt::platform::detail
