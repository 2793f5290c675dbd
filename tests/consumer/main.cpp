// Uses the installed library: one DES block of the FIPS 81 example.
#include <ansicrypt/ansicrypt.h>

#include <cstdio>

int main() {
  ansicrypt::DES des;
  des.SetKey({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
  const ansicrypt::ByteArray plain = {'N', 'o', 'w', ' ', 'i', 's', ' ', 't'};
  ansicrypt::ByteArray cipher;
  std::uint8_t keyNumber = 1;
  des.EncryptDes_ArrToArr(plain, cipher, keyNumber, 1);
  const ansicrypt::ByteArray want = {0x3F, 0xA4, 0x0E, 0x8A, 0x98, 0x4D, 0x48, 0x15};
  std::puts(cipher == want ? "consumer: OK" : "consumer: wrong result");
  return cipher == want ? 0 : 1;
}
