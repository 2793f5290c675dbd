// The text arguments of the database functions, shared by the SQLite and PostgreSQL extensions: a
// text given as UTF-8 goes through the code page; one given as bytes (a BLOB, a bytea) is the
// text's bytes in the code page already and is used as it is. Under the settings in force
// (CallScope).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

#include "ansicrypt/cipher/des.h"
#include "ansicrypt/common/types.h"

namespace ansicrypt::bindings {

struct TextArgument {
  std::string_view bytes;
  bool ansi = false;  // true: the code page's bytes; false: UTF-8
};

// The argument's ANSI bytes. One that surely gives more than `limit` bytes is refused with
// errc::overflow before it is converted. Raises NotUtf8 for UTF-8 that is ill-formed.
ByteArray AnsiBytes(const TextArgument& argument, std::size_t limit);

// The argument read as characters: UTF-8 decoded, bytes one character each (hexadecimal digits
// are ASCII in every code page).
Text Characters(const TextArgument& argument);

// The bytes of key 1 that a key argument gives: its first 8 bytes, or the ANSI bytes of the first
// nine characters of its text (a key of any length is never converted whole).
ByteArray KeyBytes(const TextArgument& key);

// The operations, with results as UTF-8. Library errors raise Error, as the library does.
std::string DesEncrypt(const TextArgument& plain, const TextArgument& key);
std::string DesDecrypt(const TextArgument& hex, const TextArgument& key);
// The same under key 1 of an object keyed with KeyBytes(key) already, for callers that keep it
// from row to row.
std::string DesDecrypt(const TextArgument& hex, DES& keyed);
std::string Md5(const TextArgument& text);

// The message of a failed call: "ansi_des_decrypt: type mismatch (error 13)".
std::string FailureMessage(std::string_view function, const std::error_code& code);
// For a UTF-8 argument that is ill-formed; `bytesType` names the type that passes bytes ("a BLOB").
std::string NotUtf8Message(std::string_view function, std::string_view bytesType);

}  // namespace ansicrypt::bindings
