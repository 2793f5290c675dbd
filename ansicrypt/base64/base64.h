// Base64 between byte arrays: the RFC 4648 alphabet with "=" pad characters and no line breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ansicrypt/common/error.h"
#include "ansicrypt/common/types.h"

namespace ansicrypt::Base64 {

// The Base64 text of `data` as ASCII codes: 4 * ceil(n / 3) characters, padded with "=".
// Errors: errc::overflow when the result would pass 2,147,483,647 characters.
//   EncodeBase64({'M', 'a'}) == ByteArray{'T', 'W', 'E', '='}
ByteArray EncodeBase64(const ByteArray& data);

// The bytes that Base64 text (ASCII codes) stands for. A final "=" or "==" shortens the result by
// one or two bytes, so DecodeBase64(EncodeBase64(x)) == x. The unused low bits of the last
// character before the pad are not checked. White space is not skipped.
// Errors: errc::invalid_argument for a length that is not a multiple of 4, errc::overflow for more
// than 2,147,483,647 bytes; then every error the legacy decoder raised, in its order (per group:
// look up c0 and c1, test c0, look up c2 and c3; errc::out_of_range for a code of 0 or above 122
// ("z"), errc::overflow for a first character outside the alphabet), so that every input it
// refused keeps its error; then errc::overflow for any other character outside the alphabet, "="
// included unless it is the input's last character or its last two. The empty input gives no bytes.
//   DecodeBase64({'Z', 'm', '8', '='}) == ByteArray{'f', 'o'}
ByteArray DecodeBase64(const ByteArray& base64);

// The same into `out`, whose storage is reused: for callers that convert many pieces, such as a
// stream in chunks. On error `out` is left empty.
void EncodeBase64(const ByteArray& data, ByteArray& out);
void DecodeBase64(const ByteArray& base64, ByteArray& out);

// For callers whose bytes live elsewhere (a Python buffer, a mapped file): the length of a result,
// with the errors that the lengths alone decide, and the conversion into `out`, which must be
// exactly that long (else errc::invalid_argument) and must not overlap the input.
//   std::vector<std::uint8_t> out(DecodedSize(text));
//   DecodeBase64(text, out);
std::size_t EncodedSize(std::size_t dataBytes);
void EncodeBase64(std::span<const std::uint8_t> data, std::span<std::uint8_t> out);
std::size_t DecodedSize(std::span<const std::uint8_t> base64);
void DecodeBase64(std::span<const std::uint8_t> base64, std::span<std::uint8_t> out);

// Where and why decoding fails, for messages that point at the character: the error DecodeBase64
// raises for `base64` and the offset of the character that raises it (the length for
// errc::invalid_argument), or nothing when it decodes. With `legacyOnly`, only the errors the
// legacy decoder raised: a stream decoded in pieces looks for them in the pieces after one that
// failed, since they come first.
//   FindDecodeFailure(text("Zm9v!AAA")) == DecodeFailure{errc::overflow, 4}
struct DecodeFailure {
  errc error;
  std::size_t offset;
  bool operator==(const DecodeFailure&) const = default;
};
std::optional<DecodeFailure> FindDecodeFailure(std::span<const std::uint8_t> base64,
                                               bool legacyOnly = false);

}  // namespace ansicrypt::Base64
