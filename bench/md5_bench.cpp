// MD5 of a text, of memory, of a file and of many messages and files, beside OpenSSL's MD5.
#include <benchmark/benchmark.h>
#include <openssl/md5.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "ansicrypt/digest/detail/md5_compress.h"
#include "ansicrypt/digest/detail/md5_lanes.h"
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

// OpenSSL's digest of a file read with fread, as a program using it would.
void OpenSslFileDigest(const char* name, std::vector<unsigned char>& buffer) {
  std::FILE* file = std::fopen(name, "rb");
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

void FileOpenSsl(benchmark::State& state) {
  const std::string name = LargeFile().string();
  std::vector<unsigned char> buffer(64 * 1024);
  for (auto _ : state) OpenSslFileDigest(name.c_str(), buffer);
  state.SetBytesProcessed(state.iterations() * (ansicrypt::clsMD5::kMaxFileBytes - 1));
}

// Many messages at once: 96 messages of 1 MiB through the lanes, as many at a time as the lanes in
// use (16, 24 or 32: all divide 96), against OpenSSL's MD5 of each in turn.
constexpr std::size_t kMessages = 96;
constexpr std::size_t kMessageBytes = 1 << 20;

std::vector<ByteArray> Messages() {
  std::vector<ByteArray> messages;
  for (std::size_t m = 0; m < kMessages; ++m)
    messages.emplace_back(kMessageBytes, static_cast<std::uint8_t>(m));
  return messages;
}

void LanesOurs(benchmark::State& state) {
  using ansicrypt::detail::kMd5Lanes;
  const std::vector<ByteArray> messages = Messages();
  const std::size_t lanes = ansicrypt::detail::Md5LanesInUse();
  if (kMessages % lanes != 0) {
    state.SkipWithError("the lanes in use do not divide the messages");
    return;
  }
  const auto busy = static_cast<std::uint32_t>((std::uint64_t{1} << lanes) - 1);
  for (auto _ : state) {
    for (std::size_t first = 0; first < kMessages; first += lanes) {
      ansicrypt::detail::Md5LaneStates states{};
      const std::uint8_t* blocks[kMd5Lanes] = {};
      for (std::size_t l = 0; l < lanes; ++l) blocks[l] = messages[first + l].data();
      ansicrypt::detail::Md5CompressLanes(states, blocks, busy, kMessageBytes / 64);
      benchmark::DoNotOptimize(states);
    }
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(kMessages * kMessageBytes));
}

void LanesOpenSsl(benchmark::State& state) {
  const std::vector<ByteArray> messages = Messages();
  unsigned char digest[MD5_DIGEST_LENGTH];
  for (auto _ : state) {
    for (const ByteArray& message : messages) {
      MD5(message.data(), message.size(), digest);
      benchmark::DoNotOptimize(digest);
    }
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(kMessages * kMessageBytes));
}

// 64 files of 1 MiB read from the page cache: Md5_Files_Calc against OpenSSL over fread.
const std::vector<std::filesystem::path>& SmallFiles() {
  static const std::vector<std::filesystem::path> files = [] {
    const auto dir = std::filesystem::temp_directory_path() / "ansicrypt-bench-md5-files";
    std::filesystem::create_directories(dir);
    std::vector<std::filesystem::path> paths;
    std::vector<char> bytes(kMessageBytes);
    for (std::size_t f = 0; f < 64; ++f) {
      for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + f);
      paths.push_back(dir / ("f" + std::to_string(f)));
      std::ofstream(paths.back(), std::ios::binary)
          .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ::sync();
    return paths;
  }();
  return files;
}

void FilesOurs(benchmark::State& state) {
  const auto& files = SmallFiles();
  ansicrypt::clsMD5 md5;
  for (auto _ : state) benchmark::DoNotOptimize(md5.Md5_Files_Calc(files));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(files.size() * kMessageBytes));
}

void FilesOpenSsl(benchmark::State& state) {
  const auto& files = SmallFiles();
  std::vector<unsigned char> buffer(64 * 1024);
  for (auto _ : state) {
    for (const auto& path : files) OpenSslFileDigest(path.c_str(), buffer);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(files.size() * kMessageBytes));
}

BENCHMARK(TextOurs)->Name("md5_text/ansicrypt/32767");
BENCHMARK(TextOpenSsl)->Name("md5_text/openssl/32767");
BENCHMARK(EngineOurs)->Name("md5_engine/ansicrypt/1048576");
BENCHMARK(EngineOpenSsl)->Name("md5_engine/openssl/1048576");
BENCHMARK(FileOurs)->Name("md5_file/ansicrypt/268435455")->Unit(benchmark::kMillisecond);
BENCHMARK(FileOpenSsl)->Name("md5_file/openssl/268435455")->Unit(benchmark::kMillisecond);
BENCHMARK(LanesOurs)->Name("md5_lanes/ansicrypt/96x1048576");
BENCHMARK(LanesOpenSsl)->Name("md5_lanes/openssl/96x1048576");
BENCHMARK(FilesOurs)->Name("md5_files/ansicrypt/64x1048576");
BENCHMARK(FilesOpenSsl)->Name("md5_files/openssl/64x1048576");

}  // namespace
