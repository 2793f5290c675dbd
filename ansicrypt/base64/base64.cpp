// Base64 encoding and decoding, table-driven: two characters per look-up when encoding, one
// 24-bit word per group of four characters when decoding.
#include "ansicrypt/base64/base64.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <utility>

#include "ansicrypt/base64/detail/base64_alphabet.h"
#include "ansicrypt/base64/detail/base64_avx2.h"
#include "ansicrypt/base64/detail/base64_avx512.h"

namespace ansicrypt::Base64 {
namespace {

using detail::kAlphabet;
constexpr std::uint8_t kPad = '=';
constexpr std::size_t kMaxLength =
    std::numeric_limits<std::int32_t>::max();  // signed 32-bit counts
constexpr std::uint8_t kHighestCode = 'z';     // the decoding table ends at "z"
constexpr std::uint8_t kNotInAlphabet = 255;

// kPairs[v] holds the two characters of the 12-bit value v, the first at the lower address.
constexpr std::array<std::uint16_t, 4096> kPairs = [] {
  std::array<std::uint16_t, 4096> pairs{};
  for (unsigned v = 0; v < 4096; ++v) {
    const auto high = static_cast<unsigned char>(kAlphabet[v >> 6]);
    const auto low = static_cast<unsigned char>(kAlphabet[v & 63]);
    // Stored in memory order, so that one 16-bit store writes both characters.
    pairs[v] = static_cast<std::uint16_t>(
        std::endian::native == std::endian::little ? high | (low << 8) : (high << 8) | low);
  }
  return pairs;
}();

// The 6-bit value of each character code, kNotInAlphabet for the others.
constexpr std::array<std::uint8_t, 256> kValues = [] {
  std::array<std::uint8_t, 256> values{};
  values.fill(kNotInAlphabet);
  for (unsigned i = 0; i < 64; ++i)
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  return values;
}();

// kShifted[k][c]: the value of character c placed for position k of a group, within a 24-bit word;
// bit 24 marks a character outside the alphabet.
constexpr std::array<std::array<std::uint32_t, 256>, 4> kShifted = [] {
  std::array<std::array<std::uint32_t, 256>, 4> shifted{};
  for (unsigned k = 0; k < 4; ++k) {
    for (unsigned c = 0; c < 256; ++c) {
      shifted[k][c] =
          kValues[c] == kNotInAlphabet ? (1U << 24) : std::uint32_t{kValues[c]} << (18 - 6 * k);
    }
  }
  return shifted;
}();

bool HasNoEntry(std::uint8_t code) { return code == 0 || code > kHighestCode; }
bool OutsideAlphabet(std::uint8_t code) { return kValues[code] == kNotInAlphabet; }

// The first refusal of the legacy decoder: per group, c0 and c1 are looked up (no table entry:
// out of range), c0 is tested (overflow), then c2 and c3 are looked up.
std::optional<DecodeFailure> FindLegacyFailure(const std::uint8_t* in, std::size_t n) {
  for (std::size_t i = 0; i < n; i += 4) {
    if (HasNoEntry(in[i])) return DecodeFailure{errc::out_of_range, i};
    if (HasNoEntry(in[i + 1])) return DecodeFailure{errc::out_of_range, i + 1};
    if (OutsideAlphabet(in[i])) return DecodeFailure{errc::overflow, i};
    if (HasNoEntry(in[i + 2])) return DecodeFailure{errc::out_of_range, i + 2};
    if (HasNoEntry(in[i + 3])) return DecodeFailure{errc::out_of_range, i + 3};
  }
  return std::nullopt;
}

std::size_t PadsAtEnd(const std::uint8_t* in, std::size_t n) {
  if (n == 0 || in[n - 1] != kPad) return 0;
  return in[n - 2] == kPad ? 2 : 1;
}

// The refusals the legacy decoder did not make: any character outside the alphabet but the final
// pad characters. Only asked once the legacy decoder had no refusal of its own.
std::optional<DecodeFailure> FindMendedFailure(const std::uint8_t* in, std::size_t n) {
  const std::size_t end = n - PadsAtEnd(in, n);
  for (std::size_t i = 0; i < end; ++i) {
    if (OutsideAlphabet(in[i])) return DecodeFailure{errc::overflow, i};
  }
  return std::nullopt;
}

// Raised wherever a loop meets a character outside the alphabet: the error is the one the whole
// text calls for, which may lie in a later group.
[[noreturn]] void RaiseFailure(const std::uint8_t* in, std::size_t n) {
  std::optional<DecodeFailure> failure = FindLegacyFailure(in, n);
  if (!failure) failure = FindMendedFailure(in, n);
  throw Error(failure ? failure->error : errc::overflow);
}

// A 24-bit group to its three bytes, big-endian: the first byte is the high one.
void Store3(std::uint32_t word, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(word >> 16);
  out[1] = static_cast<std::uint8_t>(word >> 8);
  out[2] = static_cast<std::uint8_t>(word);
}

// Decodes n characters (a multiple of 4, at least 4) ending in `pads` pad characters into `o`.
void DecodeInto(const std::uint8_t* in, std::size_t n, std::uint8_t* o, std::size_t pads) {
  const std::size_t lastGroup = n - 4;
  // The vector loops stop before a block with a character outside the alphabet; AVX2 takes over
  // from AVX-512 there (and for the rest), and the group loop below from both. The AVX2 loop
  // writes 8 bytes past each block: it stops 12 characters short of the last group.
  std::size_t i = detail::HaveAvx512() ? detail::DecodeBlocksAvx512(in, lastGroup, o) : 0;
  if (detail::HaveAvx2() && lastGroup > i + 12)
    i += detail::DecodeBlocksAvx2(in + i, lastGroup - 12 - i, o + i / 4 * 3);
  o += i / 4 * 3;
  for (; i < lastGroup; i += 4, o += 3) {
    const std::uint32_t word = kShifted[0][in[i]] | kShifted[1][in[i + 1]] |
                               kShifted[2][in[i + 2]] | kShifted[3][in[i + 3]];
    if (word >> 24) RaiseFailure(in, n);
    Store3(word, o);
  }
  // The pad characters of the last group read as zero bits.
  std::uint8_t group[4];
  std::memcpy(group, in + lastGroup, 4);
  for (std::size_t k = 4 - pads; k < 4; ++k) group[k] = static_cast<std::uint8_t>(kAlphabet[0]);
  const std::uint32_t word =
      kShifted[0][group[0]] | kShifted[1][group[1]] | kShifted[2][group[2]] | kShifted[3][group[3]];
  if (word >> 24) RaiseFailure(in, n);
  std::uint8_t last[3];
  Store3(word, last);
  std::memcpy(o, last, 3 - pads);
}

// Encodes n bytes into 4 * ceil(n / 3) characters at `o`.
void EncodeInto(const std::uint8_t* in, std::size_t n, std::uint8_t* o) {
  std::size_t i = detail::HaveAvx2() ? detail::EncodeBlocksAvx2(in, n, o) : 0;
  o += i / 3 * 4;
  // Six bytes at a time, read big-endian (the first byte highest, as Base64 takes its bits):
  // their 48 bits are four 12-bit halves of character pairs.
  for (; i + 8 <= n; i += 6, o += 8) {
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < 8; ++k) v = (v << 8) | in[i + k];
    const std::uint16_t pairs[4] = {kPairs[(v >> 52) & 0xFFF], kPairs[(v >> 40) & 0xFFF],
                                    kPairs[(v >> 28) & 0xFFF], kPairs[(v >> 16) & 0xFFF]};
    std::memcpy(o, pairs, 8);
  }
  for (; i + 3 <= n; i += 3, o += 4) {
    // Three bytes, big-endian.
    const std::uint32_t v =
        (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
    const std::uint16_t pairs[2] = {kPairs[v >> 12], kPairs[v & 0xFFF]};
    std::memcpy(o, pairs, 4);
  }
  if (n - i == 1) {
    o[0] = static_cast<std::uint8_t>(kAlphabet[in[i] >> 2]);
    o[1] = static_cast<std::uint8_t>(kAlphabet[(in[i] & 0x03) << 4]);
    o[2] = o[3] = kPad;
  } else if (n - i == 2) {
    o[0] = static_cast<std::uint8_t>(kAlphabet[in[i] >> 2]);
    o[1] = static_cast<std::uint8_t>(kAlphabet[((in[i] & 0x03) << 4) | (in[i + 1] >> 4)]);
    o[2] = static_cast<std::uint8_t>(kAlphabet[(in[i + 1] & 0x0F) << 2]);
    o[3] = kPad;
  }
}

std::size_t GroupsFor(std::size_t bytes) {
  const std::size_t groups = bytes / 3 + (bytes % 3 != 0 ? 1 : 0);
  if (groups > kMaxLength / 4) throw Error(errc::overflow);  // the length would not fit
  return groups;
}

}  // namespace

std::size_t EncodedSize(std::size_t dataBytes) { return GroupsFor(dataBytes) * 4; }

void EncodeBase64(std::span<const std::uint8_t> data, std::span<std::uint8_t> out) {
  if (out.size() != EncodedSize(data.size())) throw Error(errc::invalid_argument);
  EncodeInto(data.data(), data.size(), out.data());
}

void EncodeBase64(const ByteArray& data, ByteArray& out) {
  if (&data == &out) {
    ByteArray encoded;
    EncodeBase64(data, encoded);
    out = std::move(encoded);
    return;
  }
  std::size_t groups = 0;
  try {
    groups = GroupsFor(data.size());
  } catch (...) {
    out.clear();
    throw;
  }
  out.resize(groups * 4);
  EncodeInto(data.data(), data.size(), out.data());
}

ByteArray EncodeBase64(const ByteArray& data) {
  ByteArray out;
  EncodeBase64(data, out);
  return out;
}

std::size_t DecodedSize(std::span<const std::uint8_t> base64) {
  const std::size_t n = base64.size();
  if (n > kMaxLength) throw Error(errc::overflow);
  if (n % 4 != 0) throw Error(errc::invalid_argument);
  if (n == 0) return 0;
  // Pad characters at the very end shorten the result; the size is known before decoding.
  return n / 4 * 3 - PadsAtEnd(base64.data(), n);
}

void DecodeBase64(std::span<const std::uint8_t> base64, std::span<std::uint8_t> out) {
  const std::size_t size = DecodedSize(base64);
  if (out.size() != size) throw Error(errc::invalid_argument);
  if (!base64.empty())
    DecodeInto(base64.data(), base64.size(), out.data(), base64.size() / 4 * 3 - size);
}

void DecodeBase64(const ByteArray& base64, ByteArray& out) {
  if (&base64 == &out) {
    ByteArray decoded;
    try {
      DecodeBase64(base64, decoded);
    } catch (...) {
      out.clear();  // as for separate arrays: no partial result, and not the input either
      throw;
    }
    out = std::move(decoded);
    return;
  }
  // An error leaves `out` empty: no partial result. Every byte is written, so a buffer reused at
  // the same size is not cleared first.
  try {
    out.resize(DecodedSize(base64));
    if (!base64.empty())
      DecodeInto(base64.data(), base64.size(), out.data(), base64.size() / 4 * 3 - out.size());
  } catch (...) {
    out.clear();
    throw;
  }
}

std::optional<DecodeFailure> FindDecodeFailure(std::span<const std::uint8_t> base64,
                                               bool legacyOnly) {
  const std::size_t n = base64.size();
  if (n > kMaxLength) return DecodeFailure{errc::overflow, 0};
  if (n % 4 != 0) return DecodeFailure{errc::invalid_argument, n};
  std::optional<DecodeFailure> failure = FindLegacyFailure(base64.data(), n);
  if (!failure && !legacyOnly) failure = FindMendedFailure(base64.data(), n);
  return failure;
}

ByteArray DecodeBase64(const ByteArray& base64) {
  ByteArray out;
  DecodeBase64(base64, out);
  return out;
}

}  // namespace ansicrypt::Base64
