// TEXT values as SQLite hands them to a function: UTF-8, in which a lone surrogate of a UTF-16
// database's text arrives as three bytes of its own (ED A0..BF xx).
#pragma once

#include <string_view>

#include "ansicrypt/common/types.h"

namespace ansicrypt::sqlite {

// A TEXT that is not UTF-8 (the code page's bytes stored as TEXT, say): refused rather than read
// as "?" characters; a BLOB passes such bytes as they are.
struct NotUtf8 {};

// The text of a TEXT value: its UTF-8, with each lone surrogate as the one unit it was. Raises
// NotUtf8 for any other ill-formed byte.
Text SqlText(std::string_view utf8);

}  // namespace ansicrypt::sqlite
