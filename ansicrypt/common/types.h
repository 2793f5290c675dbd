// Byte arrays and texts, the two kinds of data every service handles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ansicrypt {

// A zero-based byte array. An array that was never allocated and one with no elements are both
// simply empty.
using ByteArray = std::vector<std::uint8_t>;

// A text of 16-bit code units (UTF-16), as the legacy system holds its strings.
using Text = std::u16string;

}  // namespace ansicrypt
