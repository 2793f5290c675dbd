// What the tool says when Base64 text does not decode: what is wrong and where, with the library's
// error number ("invalid character '!' at offset 4 (error 6)").
#pragma once

#include <cstdint>
#include <string>

#include "ansicrypt/base64/base64.h"

namespace ansicrypt::cli {

// `character` is the one at the failure's offset; `offset` where it stands in the input, `length`
// the input's length in characters (for a length that is not a multiple of 4).
std::string DescribeBase64Failure(errc error, std::uint8_t character, std::uint64_t offset,
                                  std::uint64_t length);

}  // namespace ansicrypt::cli
