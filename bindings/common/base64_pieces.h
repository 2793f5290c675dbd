// Base64 converted piece by piece, for callers that look for a cancel request between pieces (the
// PostgreSQL extension): the pieces together give the result, or the error, of one call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ansicrypt::bindings {

// Encodes the piece of `data` that starts at `at` (a multiple of 3) and is `pieceBytes` long (a
// multiple of 3; the last piece may be shorter) into its place in `out`, which is
// Base64::EncodedSize(data.size()) long. Returns where the next piece starts.
std::size_t EncodeBase64Piece(std::span<const std::uint8_t> data, std::size_t at,
                              std::size_t pieceBytes, std::span<std::uint8_t> out);

// Decodes the piece of `base64` that starts at `at` (a multiple of 4) and is `pieceChars` long (a
// multiple of 4; the last piece may be shorter) into its place in `out`, which is
// Base64::DecodedSize(base64) long. A piece that fails, or one before the last that ends in a
// pad, raises the error that decoding the whole text at once raises. Returns where the next
// piece starts.
std::size_t DecodeBase64Piece(std::span<const std::uint8_t> base64, std::size_t at,
                              std::size_t pieceChars, std::span<std::uint8_t> out);

}  // namespace ansicrypt::bindings
