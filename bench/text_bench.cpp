// The hexadecimal-text cipher operations beside an OpenSSL equivalent.
#include <benchmark/benchmark.h>
#include <openssl/des.h>

#include <cstring>
#include <string>

#include "ansicrypt/text/des_text.h"

namespace {

using ansicrypt::ByteArray;
using ansicrypt::Text;

const Text kKey = u"k3y-text";

Text AsciiText(std::size_t n) {
  Text text(n, u' ');
  for (std::size_t i = 0; i < n; ++i) text[i] = static_cast<char16_t>(u'a' + i % 26);
  return text;
}

// The schedule of the first 8 characters of an ASCII key, zero-filled.
DES_key_schedule OpenSslSchedule(const Text& key) {
  DES_cblock keyBlock = {};
  for (std::size_t i = 0; i < 8 && i < key.size(); ++i) {
    keyBlock[i] = static_cast<unsigned char>(key[i]);
  }
  DES_key_schedule schedule;
  DES_set_key_unchecked(&keyBlock, &schedule);
  return schedule;
}

// What a caller would write with OpenSSL: narrow the ASCII text, key schedule, DES per block,
// hexadecimal digits by hand.
Text OpenSslEncryptToHex(const Text& plain, const Text& key) {
  DES_key_schedule schedule = OpenSslSchedule(key);
  ByteArray bytes((plain.size() + 7) / 8 * 8, 0);
  for (std::size_t i = 0; i < plain.size(); ++i) bytes[i] = static_cast<std::uint8_t>(plain[i]);
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  Text hex(bytes.size() * 2, u'0');
  for (std::size_t c = 0; c < bytes.size(); c += 8) {
    DES_cblock block;
    std::memcpy(block, bytes.data() + c, 8);
    DES_ecb_encrypt(&block, &block, &schedule, DES_ENCRYPT);
    for (std::size_t i = 0; i < 8; ++i) {
      hex[2 * (c + i)] = kDigits[block[i] >> 4];
      hex[2 * (c + i) + 1] = kDigits[block[i] & 15];
    }
  }
  return hex;
}

Text OpenSslDecryptFromHex(const Text& hex, const Text& key) {
  DES_key_schedule schedule = OpenSslSchedule(key);
  auto digit = [](char16_t c) { return c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10; };
  ByteArray bytes(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(digit(hex[2 * i]) * 16 + digit(hex[2 * i + 1]));
  }
  Text text;
  text.reserve(bytes.size());
  for (std::size_t c = 0; c < bytes.size(); c += 8) {
    DES_cblock block;
    std::memcpy(block, bytes.data() + c, 8);
    DES_ecb_encrypt(&block, &block, &schedule, DES_DECRYPT);
    for (const unsigned char b : block) {
      if (b == 0) return text;
      text += static_cast<char16_t>(b);
    }
  }
  return text;
}

void EncryptOurs(benchmark::State& state) {
  const Text plain = AsciiText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ansicrypt::EncryptDes_StrToHex(plain, kKey));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void EncryptOpenSsl(benchmark::State& state) {
  const Text plain = AsciiText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(OpenSslEncryptToHex(plain, kKey));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void DecryptOurs(benchmark::State& state) {
  const Text hex =
      ansicrypt::EncryptDes_StrToHex(AsciiText(static_cast<std::size_t>(state.range(0))), kKey);
  for (auto _ : state) benchmark::DoNotOptimize(ansicrypt::DecryptDes_HexToStr(hex, kKey));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void DecryptOpenSsl(benchmark::State& state) {
  const Text hex = OpenSslEncryptToHex(AsciiText(static_cast<std::size_t>(state.range(0))), kKey);
  for (auto _ : state) benchmark::DoNotOptimize(OpenSslDecryptFromHex(hex, kKey));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(EncryptOurs)->Name("des_text_encrypt/ansicrypt")->Arg(16)->Arg(4096);
BENCHMARK(EncryptOpenSsl)->Name("des_text_encrypt/openssl")->Arg(16)->Arg(4096);
BENCHMARK(DecryptOurs)->Name("des_text_decrypt/ansicrypt")->Arg(16)->Arg(4096);
BENCHMARK(DecryptOpenSsl)->Name("des_text_decrypt/openssl")->Arg(16)->Arg(4096);

}  // namespace
