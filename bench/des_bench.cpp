// DES and two-key triple DES over arrays (8, 16 and 40 bytes, below the bitsliced path's
// break-even, and 32,760 bytes), and object set-up, beside OpenSSL's libcrypto. The SIMD path is
// the best the processor has unless ANSICRYPT_SIMD caps it (tools/bench.sh runs each).
#include <benchmark/benchmark.h>
#include <openssl/des.h>

#include <cstring>

#include "ansicrypt/cipher/des.h"

namespace {

using ansicrypt::ByteArray;
using ansicrypt::DES;

const ByteArray kKey = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                        0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};

ByteArray Data(std::size_t size) {
  ByteArray data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 31);
  return data;
}

void OpenSslSchedules(DES_key_schedule& k1, DES_key_schedule& k2) {
  DES_cblock b1, b2;
  std::memcpy(b1, kKey.data(), 8);
  std::memcpy(b2, kKey.data() + 8, 8);
  DES_set_key_unchecked(&b1, &k1);
  DES_set_key_unchecked(&b2, &k2);
}

// Times `run(in, out)` over test data of state.range(0) bytes (a multiple of 8).
template <class Run>
void TimeArrays(benchmark::State& state, const Run& run) {
  const auto size = static_cast<std::size_t>(state.range(0));
  ByteArray in = Data(size);  // not const: OpenSSL's const_DES_cblock is not const-qualified
  ByteArray out(size);
  for (auto _ : state) {
    run(in, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

// OpenSSL's ECB calls, one block each, over the whole data.
template <class EncryptBlock>
void OpenSslBlocks(ByteArray& in, ByteArray& out, const EncryptBlock& encrypt) {
  for (std::size_t c = 0; c < in.size(); c += 8) {
    encrypt(reinterpret_cast<const_DES_cblock*>(in.data() + c),
            reinterpret_cast<DES_cblock*>(out.data() + c));
  }
}

void DesEcbOurs(benchmark::State& state) {
  DES des;
  des.SetKey(kKey);
  TimeArrays(state, [&des](ByteArray& in, ByteArray& out) {
    std::uint8_t keyNumber = 1;
    des.EncryptDes_ArrToArr(in, out, keyNumber, 1);
  });
}

void DesEcbOpenSsl(benchmark::State& state) {
  DES_key_schedule k1, k2;
  OpenSslSchedules(k1, k2);
  TimeArrays(state, [&k1](ByteArray& in, ByteArray& out) {
    OpenSslBlocks(in, out, [&k1](const_DES_cblock* i, DES_cblock* o) {
      DES_ecb_encrypt(i, o, &k1, DES_ENCRYPT);
    });
  });
}

void TripleDesOurs(benchmark::State& state) {
  DES des;
  des.SetKey(kKey);
  TimeArrays(state,
             [&des](ByteArray& in, ByteArray& out) { des.Encrypt3Des_ArrToArr(in, out, 1); });
}

void TripleDesOpenSsl(benchmark::State& state) {
  DES_key_schedule k1, k2;
  OpenSslSchedules(k1, k2);
  TimeArrays(state, [&k1, &k2](ByteArray& in, ByteArray& out) {
    OpenSslBlocks(in, out, [&k1, &k2](const_DES_cblock* i, DES_cblock* o) {
      DES_ecb2_encrypt(i, o, &k1, &k2, DES_ENCRYPT);
    });
  });
}

void NewObjectAndSetKeyOurs(benchmark::State& state) {
  for (auto _ : state) {
    DES des;
    des.SetKey(kKey);
    benchmark::DoNotOptimize(&des);
  }
}

void TwoKeySchedulesOpenSsl(benchmark::State& state) {
  for (auto _ : state) {
    DES_key_schedule k1, k2;
    OpenSslSchedules(k1, k2);
    benchmark::DoNotOptimize(&k1);
    benchmark::DoNotOptimize(&k2);
  }
}

// Creating an object (a copy of the parsed tables), alone.
void NewObjectOurs(benchmark::State& state) {
  for (auto _ : state) {
    DES des;
    benchmark::DoNotOptimize(&des);
  }
}

BENCHMARK(DesEcbOurs)->Name("des_ecb/ansicrypt")->Arg(8)->Arg(16)->Arg(40)->Arg(32760);
BENCHMARK(DesEcbOpenSsl)->Name("des_ecb/openssl")->Arg(8)->Arg(16)->Arg(40)->Arg(32760);
BENCHMARK(TripleDesOurs)->Name("des_ede2/ansicrypt")->Arg(32760);
BENCHMARK(TripleDesOpenSsl)->Name("des_ede2/openssl")->Arg(32760);
BENCHMARK(NewObjectAndSetKeyOurs)->Name("des_new_setkey/ansicrypt");
BENCHMARK(TwoKeySchedulesOpenSsl)->Name("des_new_setkey/openssl");
BENCHMARK(NewObjectOurs)->Name("des_new_tables/ansicrypt");

}  // namespace
