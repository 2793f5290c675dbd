// The Base64 alphabet (RFC 4648 section 4), shared by the portable and the vector loops.
#pragma once

namespace ansicrypt::Base64::detail {

inline constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace ansicrypt::Base64::detail
