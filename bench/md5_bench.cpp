// MD5 of a text, of memory and of a file, beside OpenSSL's MD5.
#include <benchmark/benchmark.h>
#include <openssl/md5.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "ansicrypt/digest/detail/md5_compress.h"
#include "ansicrypt/digest/md5.h"

namespace {

using ansicrypt::ByteArray;

void TextOurs(benchmark::State& state) {
  const ansicrypt::Text text(ansicrypt::clsMD5::kMaxTextBytes, u'q');
  ansicrypt::clsMD5 md5;
  for (auto _ : state) benchmark::DoNotOptimize(md5.Md5_String_Calc(text));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void TextOpenSsl(benchmark::State& state) {
  const ByteArray bytes(ansicrypt::clsMD5::kMaxTextBytes, 'q');
  unsigned char digest[MD5_DIGEST_LENGTH];
  for (auto _ : state) {
    MD5(bytes.data(), bytes.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// The block transform alone over 1 MiB, against OpenSSL's whole MD5 of the same bytes.
void EngineOurs(benchmark::State& state) {
  const ByteArray bytes(1 << 20, 0x5C);
  for (auto _ : state) {
    std::array<std::uint32_t, 4> words = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    ansicrypt::detail::Md5Compress(words, bytes.data(), bytes.size() / 64);
    benchmark::DoNotOptimize(words);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void EngineOpenSsl(benchmark::State& state) {
  const ByteArray bytes(1 << 20, 0x5C);
  unsigned char digest[MD5_DIGEST_LENGTH];
  for (auto _ : state) {
    MD5(bytes.data(), bytes.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

// A file of 2^28 - 1 bytes, the largest the digest takes, written once and read from the cache.
const std::filesystem::path& LargeFile() {
  static const std::filesystem::path path = [] {
    const auto file = std::filesystem::temp_directory_path() / "ansicrypt-bench-md5.bin";
    const auto size = static_cast<std::uintmax_t>(ansicrypt::clsMD5::kMaxFileBytes - 1);
    if (!std::filesystem::exists(file) || std::filesystem::file_size(file) != size) {
      std::ofstream out(file, std::ios::binary);
      std::vector<char> chunk(1 << 20);
      for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 7);
      for (std::uintmax_t left = size; left > 0;) {
        const auto n = std::min<std::uintmax_t>(left, chunk.size());
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        left -= n;
      }
    }
    ::sync();  // no write-back of the new file during the measurements
    return file;
  }();
  return path;
}

void FileOurs(benchmark::State& state) {
  const std::u16string name = LargeFile().u16string();
  ansicrypt::clsMD5 md5;
  for (auto _ : state)
    benchmark::DoNotOptimize(md5.Md5_File_Calc(ansicrypt::Text(name.begin(), name.end())));
  state.SetBytesProcessed(state.iterations() * (ansicrypt::clsMD5::kMaxFileBytes - 1));
}

void FileOpenSsl(benchmark::State& state) {
  const std::string name = LargeFile().string();
  std::vector<unsigned char> buffer(64 * 1024);
  for (auto _ : state) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    MD5_CTX context;
    MD5_Init(&context);
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file)) {
      MD5_Update(&context, buffer.data(), n);
    }
    std::fclose(file);
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5_Final(digest, &context);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * (ansicrypt::clsMD5::kMaxFileBytes - 1));
}

BENCHMARK(TextOurs)->Name("md5_text/ansicrypt/32767");
BENCHMARK(TextOpenSsl)->Name("md5_text/openssl/32767");
BENCHMARK(EngineOurs)->Name("md5_engine/ansicrypt/1048576");
BENCHMARK(EngineOpenSsl)->Name("md5_engine/openssl/1048576");
BENCHMARK(FileOurs)->Name("md5_file/ansicrypt/268435455")->Unit(benchmark::kMillisecond);
BENCHMARK(FileOpenSsl)->Name("md5_file/openssl/268435455")->Unit(benchmark::kMillisecond);

}  // namespace
