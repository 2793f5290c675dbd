// Hexadecimal byte text: each byte as two uppercase digits, high digit first, no separators.
#pragma once

#include "ansicrypt/common/types.h"

namespace ansicrypt {

//   HexText({0x0A, 0xFF}) == u"0AFF"
Text HexText(const ByteArray& bytes);

}  // namespace ansicrypt
