// Single DES behind a text interface: a text encrypted under a text key to hexadecimal text, and
// back. Texts become bytes through the ANSI code page (platform::SetAnsiCodePage); only key 1, the
// first 8 bytes of the key's ANSI form, takes effect (a shorter key is zero-filled).
#pragma once

#include "ansicrypt/cipher/des.h"
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

// The same over bytes that are already in the code page, used as they are (a database's BLOB of
// legacy text, a file in the code page): the plain text's and the key's ANSI bytes in, the
// decrypted bytes up to the first zero byte out. EncryptDes_StrToHex(plain, key) equals
// EncryptDes_ArrToHex(TextToAnsi(plain), TextToAnsi(key)); errors as for the text forms.
//   EncryptDes_ArrToHex({'c', 'a', 'f', 0xE9}, {'k'}) == EncryptDes_StrToHex(u"caf\u00E9", u"k")
Text EncryptDes_ArrToHex(const ByteArray& plain, const ByteArray& key);
ByteArray DecryptDes_HexToArr(const Text& hex, const ByteArray& key);

// The same under key 1 of an object keyed already, for callers that convert many texts under one
// key: the key is scheduled once, not per text. Results equal those of the forms above given the
// key's first 8 bytes.
//   DES des;
//   des.SetKey1(key);
//   for (const Text& hex : column) plain.push_back(DecryptDes_HexToArr(hex, des));
Text EncryptDes_ArrToHex(const ByteArray& plain, DES& keyed);
ByteArray DecryptDes_HexToArr(const Text& hex, DES& keyed);

}  // namespace ansicrypt
