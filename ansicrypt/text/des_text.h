// Single DES behind a text interface: a text encrypted under a text key to hexadecimal text, and
// back. Texts become bytes through the ANSI code page (platform::SetAnsiCodePage); only key 1, the
// first 8 bytes of the key's ANSI form, takes effect (a shorter key is zero-filled).
#pragma once

#include "ansicrypt/common/error.h"
#include "ansicrypt/common/types.h"

namespace ansicrypt {

// The DES encryption of the text's ANSI bytes, zero-filled to a multiple of 8, as uppercase
// hexadecimal text (16 digits per block).
// Errors: errc::out_of_range for the empty text, errc::overflow for more than 32,760 ANSI bytes.
//   EncryptDes_StrToHex(u"Hello", u"secret") -> 16 hex digits
Text EncryptDes_StrToHex(const Text& plain, const Text& key);

// Decrypts hexadecimal text (digits in either case) made by EncryptDes_StrToHex under the same key
// and returns the text up to the first zero byte, that is, without the zero fill. A text of L
// digits decrypts round(L / 2) bytes (a half rounds to even; a lone last digit is one byte)
// followed by one zero byte, and only the blocks before the last are read. A wrong key is not
// detected: it decrypts to other text. Errors: errc::type_mismatch for a character that is not a
// hexadecimal digit (a blank included), errc::overflow for a text of 32,767 characters or more.
Text DecryptDes_HexToStr(const Text& hex, const Text& key);

}  // namespace ansicrypt
