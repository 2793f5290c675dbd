// Uses the installed library the way the README shows it, and checks the results.
#include <ansicrypt/ansicrypt.h>

#include <cstdio>

int main() {
  ansicrypt::platform::SetAnsiCodePage(1252);
  const ansicrypt::Text hex = ansicrypt::EncryptDes_StrToHex(u"Legacy data", u"my key");
  const ansicrypt::Text back = ansicrypt::DecryptDes_HexToStr(hex, u"my key");
  ansicrypt::clsMD5 md5;
  const ansicrypt::Text digest = md5.Md5_String_Calc(u"abc");
  ansicrypt::DES des;
  des.SetKey({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
  ansicrypt::ByteArray cipher;
  std::uint8_t keyNumber = 1;
  des.EncryptDes_ArrToArr({'N', 'o', 'w', ' ', 'i', 's', ' ', 't'}, cipher, keyNumber, 1);
  const bool ok = hex == u"0BF0E4FF5734797215E9255C29882BB1" && back == u"Legacy data" &&
                  digest == u"900150983CD24FB0D6963F7D28E17F72" &&
                  cipher == ansicrypt::ByteArray{0x3F, 0xA4, 0x0E, 0x8A, 0x98, 0x4D, 0x48, 0x15};
  std::puts(ok ? "consumer: OK" : "consumer: wrong result");
  return ok ? 0 : 1;
}
