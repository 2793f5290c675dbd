// Base64 piece by piece.
#include "bindings/common/base64_pieces.h"

#include <algorithm>

#include "ansicrypt/base64/base64.h"

namespace ansicrypt::bindings {

std::size_t EncodeBase64Piece(std::span<const std::uint8_t> data, std::size_t at,
                              std::size_t pieceBytes, std::span<std::uint8_t> out) {
  const std::size_t size = std::min(data.size() - at, pieceBytes);
  Base64::EncodeBase64(data.subspan(at, size), out.subspan(at / 3 * 4, (size + 2) / 3 * 4));
  return at + size;
}

std::size_t DecodeBase64Piece(std::span<const std::uint8_t> base64, std::size_t at,
                              std::size_t pieceChars, std::span<std::uint8_t> out) {
  const std::size_t size = std::min(base64.size() - at, pieceChars);
  const auto piece = base64.subspan(at, size);
  const bool last = at + size == base64.size();
  try {
    const std::size_t decoded = Base64::DecodedSize(piece);
    if (!last && decoded != size / 4 * 3) throw Error(errc::overflow);
    Base64::DecodeBase64(piece, out.subspan(at / 4 * 3, decoded));
  } catch (const Error&) {
    // The legacy decoder's errors come first wherever they are in the text; this piece's own
    // error, or a pad that is not at the end, may stand behind one of a later piece.
    const auto failure = Base64::FindDecodeFailure(base64);
    throw Error(failure ? failure->error : errc::overflow);
  }
  return at + size;
}

}  // namespace ansicrypt::bindings
