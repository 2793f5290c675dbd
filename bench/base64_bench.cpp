// Base64 encoding and decoding beside OpenSSL's EVP_EncodeBlock and EVP_DecodeBlock.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include "ansicrypt/base64/base64.h"

namespace {

using ansicrypt::ByteArray;

ByteArray RandomBytes(std::size_t n) {
  ByteArray data(n);
  std::uint32_t x = 2463534242U;
  for (auto& b : data) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return data;
}

void EncodeOurs(benchmark::State& state) {
  const ByteArray data = RandomBytes(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ansicrypt::Base64::EncodeBase64(data));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The peer writes into a buffer allocated per call too, as EncodeBase64 returns a new array.
void EncodeOpenSsl(benchmark::State& state) {
  const ByteArray data = RandomBytes(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    ByteArray out((data.size() + 2) / 3 * 4 + 1);
    benchmark::DoNotOptimize(
        EVP_EncodeBlock(out.data(), data.data(), static_cast<int>(data.size())));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Decoding throughput counts the Base64 input bytes.
void DecodeOurs(benchmark::State& state) {
  const ByteArray text =
      ansicrypt::Base64::EncodeBase64(RandomBytes(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(ansicrypt::Base64::DecodeBase64(text));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void DecodeOpenSsl(benchmark::State& state) {
  const ByteArray text =
      ansicrypt::Base64::EncodeBase64(RandomBytes(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) {
    ByteArray out(text.size() / 4 * 3);
    benchmark::DoNotOptimize(
        EVP_DecodeBlock(out.data(), text.data(), static_cast<int>(text.size())));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// Into an output buffer that is reused from call to call, as a stream converts its chunks: no
// allocation on either side.
void EncodeIntoOurs(benchmark::State& state) {
  const ByteArray data = RandomBytes(static_cast<std::size_t>(state.range(0)));
  ByteArray out;
  ansicrypt::Base64::EncodeBase64(data, out);  // the buffer's first use pays its page faults
  for (auto _ : state) {
    ansicrypt::Base64::EncodeBase64(data, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void EncodeIntoOpenSsl(benchmark::State& state) {
  const ByteArray data = RandomBytes(static_cast<std::size_t>(state.range(0)));
  ByteArray out((data.size() + 2) / 3 * 4 + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        EVP_EncodeBlock(out.data(), data.data(), static_cast<int>(data.size())));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void DecodeIntoOurs(benchmark::State& state) {
  const ByteArray text =
      ansicrypt::Base64::EncodeBase64(RandomBytes(static_cast<std::size_t>(state.range(0))));
  ByteArray out;
  ansicrypt::Base64::DecodeBase64(text, out);
  for (auto _ : state) {
    ansicrypt::Base64::DecodeBase64(text, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void DecodeIntoOpenSsl(benchmark::State& state) {
  const ByteArray text =
      ansicrypt::Base64::EncodeBase64(RandomBytes(static_cast<std::size_t>(state.range(0))));
  ByteArray out(text.size() / 4 * 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        EVP_DecodeBlock(out.data(), text.data(), static_cast<int>(text.size())));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

BENCHMARK(EncodeIntoOurs)->Name("base64_encode_into/ansicrypt")->Arg(1 << 20)->Arg(64 << 20);
BENCHMARK(EncodeIntoOpenSsl)->Name("base64_encode_into/openssl")->Arg(1 << 20)->Arg(64 << 20);
BENCHMARK(DecodeIntoOurs)
    ->Name("base64_decode_into/ansicrypt")
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(64 << 20);
BENCHMARK(DecodeIntoOpenSsl)
    ->Name("base64_decode_into/openssl")
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(64 << 20);

BENCHMARK(EncodeOurs)->Name("base64_encode/ansicrypt")->Arg(1 << 20)->Arg(64 << 20);
BENCHMARK(EncodeOpenSsl)->Name("base64_encode/openssl")->Arg(1 << 20)->Arg(64 << 20);
BENCHMARK(DecodeOurs)->Name("base64_decode/ansicrypt")->Arg(1 << 20)->Arg(64 << 20);
BENCHMARK(DecodeOpenSsl)->Name("base64_decode/openssl")->Arg(1 << 20)->Arg(64 << 20);

}  // namespace
