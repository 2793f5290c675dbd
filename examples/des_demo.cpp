// Encrypts and decrypts one text with single DES and with two-key triple DES, and prints the bytes.
#include <ansicrypt/ansicrypt.h>

#include <cstdio>
#include <string_view>

namespace {

void Print(const char* label, const ansicrypt::ByteArray& bytes) {
  std::printf("%-22s", label);
  for (const auto b : bytes) std::printf("%02X", b);
  std::printf("\n");
}

}  // namespace

int main() {
  constexpr std::string_view kText = "Now is the time";  // 15 bytes: the last block is zero-filled
  const ansicrypt::ByteArray plain(kText.begin(), kText.end());
  ansicrypt::DES des;
  des.SetKey({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54,
              0x32, 0x10});
  ansicrypt::ByteArray cipher, back;
  std::uint8_t keyNumber = 1;
  des.EncryptDes_ArrToArr(plain, cipher, keyNumber, 1);
  des.EncryptDes_ArrToArr(cipher, back, keyNumber, 2);
  Print("plain", plain);
  Print("DES, key 1", cipher);
  Print("decrypted (zero fill)", back);
  des.Encrypt3Des_ArrToArr(plain, cipher, 1);
  des.Encrypt3Des_ArrToArr(cipher, back, 2);
  Print("triple DES", cipher);
  Print("decrypted (zero fill)", back);
  return 0;
}
