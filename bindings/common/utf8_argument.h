// Text arguments as databases hand them to a function: UTF-8, in which a lone surrogate (of a
// UTF-16 SQLite database's text) arrives as three bytes of its own (ED A0..BF xx).
#pragma once

#include <string_view>

#include "ansicrypt/common/types.h"

namespace ansicrypt::bindings {

// A text argument that is not UTF-8 (the code page's bytes stored as TEXT, say): refused rather
// than read as "?" characters; a BLOB or bytea passes such bytes as they are.
struct NotUtf8 {};

// The text of a UTF-8 argument: its UTF-8, with each lone surrogate as the one unit it was. Raises
// NotUtf8 for any other ill-formed byte.
Text ArgumentText(std::string_view utf8);

}  // namespace ansicrypt::bindings
