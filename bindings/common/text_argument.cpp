// Text arguments and the operations over them.
#include "bindings/common/text_argument.h"

#include <algorithm>
#include <cctype>

#include "ansicrypt/ansicrypt.h"
#include "bindings/common/call_settings.h"
#include "bindings/common/error_text.h"
#include "bindings/common/utf8_argument.h"

namespace ansicrypt::bindings {
namespace {

ByteArray Bytes(std::string_view bytes) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  return ByteArray(data, data + bytes.size());
}

// The error the library gives a hexadecimal text too long to decrypt, found without converting
// it: it reads the characters in pairs and refuses a step past position 32,766, so that the first
// 32,768 characters are read first. A character that is not a hexadecimal digit among them is a
// type mismatch (the digits are ASCII: such a character starts within the first 32,768 bytes),
// else the length overflows.
[[noreturn]] void RaiseLongHexError(std::string_view bytes) {
  for (std::size_t i = 0; i < std::min<std::size_t>(bytes.size(), 32768); ++i) {
    if (std::isxdigit(static_cast<unsigned char>(bytes[i])) == 0) throw Error(errc::type_mismatch);
  }
  throw Error(errc::overflow);
}

// The library refuses 32,767 digits or more; a text far longer is not converted first.
void CheckHexLength(const TextArgument& hex) {
  const std::size_t size = hex.bytes.size();
  if (hex.ansi ? size > 32768 : SurelyOver(size, 32767)) RaiseLongHexError(hex.bytes);
}

}  // namespace

ByteArray AnsiBytes(const TextArgument& argument, std::size_t limit) {
  if (argument.ansi) {
    if (argument.bytes.size() > limit) throw Error(errc::overflow);
    return Bytes(argument.bytes);
  }
  if (SurelyOver(argument.bytes.size(), limit)) throw Error(errc::overflow);
  return platform::TextToAnsi(ArgumentText(argument.bytes));
}

Text Characters(const TextArgument& argument) {
  if (argument.ansi) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(argument.bytes.data());
    return Text(data, data + argument.bytes.size());
  }
  return ArgumentText(argument.bytes);
}

ByteArray KeyBytes(const TextArgument& key) {
  if (key.ansi) return Bytes(key.bytes.substr(0, 8));
  return KeyAnsiBytes(ArgumentText(KeyPrefix(key.bytes)));
}

std::string DesEncrypt(const TextArgument& plain, const TextArgument& key) {
  // The plain text's errors come before anything is done with the key.
  const ByteArray bytes = AnsiBytes(plain, DES::kMaxInputBytes);
  return TextToUtf8(EncryptDes_ArrToHex(bytes, KeyBytes(key)));
}

std::string DesDecrypt(const TextArgument& hex, DES& keyed) {
  CheckHexLength(hex);
  return TextToUtf8(platform::AnsiToText(DecryptDes_HexToArr(Characters(hex), keyed)));
}

std::string DesDecrypt(const TextArgument& hex, const TextArgument& key) {
  CheckHexLength(hex);
  return TextToUtf8(platform::AnsiToText(DecryptDes_HexToArr(Characters(hex), KeyBytes(key))));
}

std::string Md5(const TextArgument& text) {
  return TextToUtf8(clsMD5().Md5_Arr_Calc(AnsiBytes(text, clsMD5::kMaxTextBytes)));
}

std::string FailureMessage(std::string_view function, const std::error_code& code) {
  return std::string(function) + ": " + ErrorText(code);
}

std::string NotUtf8Message(std::string_view function, std::string_view bytesType) {
  return std::string(function) + ": the text is not valid UTF-8 (" + std::string(bytesType) +
         " passes the code page's bytes as they are)";
}

}  // namespace ansicrypt::bindings
