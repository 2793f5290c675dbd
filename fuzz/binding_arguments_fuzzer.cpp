// The database extensions' shared argument handling on any bytes, against the library called
// directly:
//  - Base64 decoded and encoded in pieces of any size (a multiple of 4 characters, or 3 bytes)
//    gives the bytes, or the error, of one call;
//  - a text argument given as the code page's bytes, or as UTF-8, gives the results and errors
//    of the library's byte forms (DES both ways, MD5) under every code page.
// Input: byte 0 picks the piece size and the code page, byte 1 the key's length, then the key,
// then the value.
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "ansicrypt/ansicrypt.h"
#include "bindings/common/base64_pieces.h"
#include "bindings/common/call_settings.h"
#include "bindings/common/text_argument.h"
#include "bindings/common/utf8_argument.h"

namespace {

using namespace ansicrypt;

constexpr unsigned kPages[] = {874,  932,  936,  949,  950,  1250, 1251, 1252,
                               1253, 1254, 1255, 1256, 1257, 1258, 65001};

// The result of `call` as text, or its error as "error N".
template <class Call>
std::string Outcome(Call call) {
  try {
    return call();
  } catch (const Error& e) {
    return "error " + std::to_string(e.code().value());
  } catch (const bindings::NotUtf8&) {
    return "not UTF-8";
  }
}

void CheckPieces(std::span<const std::uint8_t> text, std::size_t piece) {
  const std::string whole = Outcome([&] {
    const ByteArray decoded = Base64::DecodeBase64(ByteArray(text.begin(), text.end()));
    return std::string(decoded.begin(), decoded.end());
  });
  const std::string pieces = Outcome([&] {
    std::vector<std::uint8_t> out(Base64::DecodedSize(text));
    for (std::size_t at = 0; at < text.size();) {
      at = bindings::DecodeBase64Piece(text, at, piece * 4, out);
    }
    return std::string(out.begin(), out.end());
  });
  if (whole != pieces) std::abort();
  std::vector<std::uint8_t> encoded(Base64::EncodedSize(text.size()));
  for (std::size_t at = 0; at < text.size();) {
    at = bindings::EncodeBase64Piece(text, at, piece * 3, encoded);
  }
  if (ByteArray(encoded.begin(), encoded.end()) !=
      Base64::EncodeBase64(ByteArray(text.begin(), text.end()))) {
    std::abort();
  }
}

void CheckArguments(std::string_view key, std::string_view value, unsigned page) {
  const bindings::CallScope scope({page, false}, bindings::kWhateverIsInForce);
  const auto bytes = [](std::string_view s) {
    return ByteArray(reinterpret_cast<const std::uint8_t*>(s.data()),
                     reinterpret_cast<const std::uint8_t*>(s.data()) + s.size());
  };
  const ByteArray keyBytes = bytes(key.substr(0, 8));
  const bindings::TextArgument ansiValue{value, true};
  const bindings::TextArgument ansiKey{key, true};
  // Bytes of the code page: the library's byte forms.
  if (Outcome([&] { return bindings::DesEncrypt(ansiValue, ansiKey); }) !=
      Outcome([&] { return TextToUtf8(EncryptDes_ArrToHex(bytes(value), keyBytes)); })) {
    std::abort();
  }
  if (Outcome([&] { return bindings::DesDecrypt(ansiValue, ansiKey); }) != Outcome([&] {
        return TextToUtf8(platform::AnsiToText(DecryptDes_HexToArr(
            Text(reinterpret_cast<const unsigned char*>(value.data()),
                 reinterpret_cast<const unsigned char*>(value.data()) + value.size()),
            keyBytes)));
      })) {
    std::abort();
  }
  if (Outcome([&] { return bindings::Md5(ansiValue); }) !=
      Outcome([&] { return TextToUtf8(clsMD5().Md5_Arr_Calc(bytes(value))); })) {
    std::abort();
  }
  // UTF-8: the text forms, when it is well formed.
  Text text;
  Text keyText;
  if (!TryUtf8ToText(value, text) || !TryUtf8ToText(key, keyText)) return;
  const bindings::TextArgument utf8Value{value, false};
  const bindings::TextArgument utf8Key{key, false};
  if (Outcome([&] { return bindings::DesEncrypt(utf8Value, utf8Key); }) !=
      Outcome([&] { return TextToUtf8(EncryptDes_StrToHex(text, keyText)); })) {
    std::abort();
  }
  if (Outcome([&] { return bindings::DesDecrypt(utf8Value, utf8Key); }) !=
      Outcome([&] { return TextToUtf8(DecryptDes_HexToStr(text, keyText)); })) {
    std::abort();
  }
  if (Outcome([&] { return bindings::Md5(utf8Value); }) !=
      Outcome([&] { return TextToUtf8(clsMD5().Md5_String_Calc(text)); })) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t piece = 1 + data[0] % 16;
  const unsigned page = kPages[data[0] % std::size(kPages)];
  const std::size_t keyLength = std::min<std::size_t>(data[1] % 40, size - 2);
  const std::string_view key(reinterpret_cast<const char*>(data + 2), keyLength);
  const std::string_view value(reinterpret_cast<const char*>(data + 2 + keyLength),
                               size - 2 - keyLength);
  CheckPieces({data + 2 + keyLength, value.size()}, piece);
  CheckArguments(key, value, page);
  return 0;
}
