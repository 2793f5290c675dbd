// Many files through the lane scheduler against OpenSSL's MD5, with the lanes' read buffers of
// any size the input chooses (1 byte to 64 KiB) and files of any sizes and contents, on the
// path the input chooses: any difference aborts.
#include <openssl/md5.h>
#include <stdlib.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ansicrypt/common/detail/simd_level.h"
#include "ansicrypt/digest/detail/md5_file_lanes.h"
#include "fuzz/fuzz_input.h"

namespace {

std::array<std::uint32_t, 4> OpenSslState(const ansicrypt::ByteArray& bytes) {
  std::array<std::uint8_t, MD5_DIGEST_LENGTH> digest{};
  MD5(bytes.data(), bytes.size(), digest.data());
  // The digest is A, B, C, D, each least significant byte first.
  std::array<std::uint32_t, 4> state{};
  for (std::size_t w = 0; w < 4; ++w) {
    for (std::size_t k = 0; k < 4; ++k) state[w] |= std::uint32_t{digest[4 * w + k]} << (8 * k);
  }
  return state;
}

// The files live in a folder of their own, removed when the fuzzer exits.
class Folder {
 public:
  Folder() {
    std::string name = (std::filesystem::temp_directory_path() / "md5_files_fuzz.XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) std::abort();
    path_ = name;
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  std::filesystem::path File(std::size_t index) const { return path_ / std::to_string(index); }

 private:
  std::filesystem::path path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  static const Folder folder;
  fuzz::FuzzInput input(data, size);
  const detail::SimdLevel level = detail::kAllSimdLevels[input.Byte() % 3];
  if (detail::DetectedSimdLevel() < level) return 0;
  detail::ForceSimdLevel(level);
  // Any size the scheduler may be given, a whole number of blocks or not.
  const std::size_t bufferLow = input.Byte();
  const std::size_t bufferHigh = input.Byte();
  const std::size_t bufferBytes = 1 + (bufferLow | bufferHigh << 8);
  // Up to 40 files, more than the lanes hold; each takes a size from the input (stretched, so
  // that files reach past several buffers) and bytes from a simple generator seeded by it.
  const std::size_t count = input.Byte() % 41;
  std::vector<ByteArray> files(count);
  for (std::size_t f = 0; f < count; ++f) {
    const std::size_t lengthLow = input.Byte();
    const std::size_t lengthHigh = input.Byte();
    const std::size_t length = (lengthLow | lengthHigh << 8) * 3 + lengthLow % 3;
    std::uint32_t seed = input.Byte() * 2654435761U + static_cast<std::uint32_t>(f);
    files[f].resize(length);
    for (auto& b : files[f]) {
      seed = seed * 1664525U + 1013904223U;
      b = static_cast<std::uint8_t>(seed >> 24);
    }
    std::ofstream out(folder.File(f), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(files[f].data()),
              static_cast<std::streamsize>(files[f].size()));
    if (!out) std::abort();
  }
  std::size_t taken = 0;
  std::vector<bool> seen(count);
  detail::DigestFilesInLanes(
      [&](bool) -> std::optional<detail::Md5FileJob> {
        if (taken == count) return std::nullopt;
        const std::size_t index = taken++;
        return detail::Md5FileJob{index, folder.File(index)};
      },
      [&](std::size_t index, detail::Md5FileOutcome& outcome) {
        if (index >= count || seen[index] || outcome.error || !outcome.opened) std::abort();
        if (outcome.state != OpenSslState(files[index])) std::abort();
        seen[index] = true;
      },
      nullptr, nullptr, bufferBytes);
  for (std::size_t f = 0; f < count; ++f) {
    if (!seen[f]) std::abort();
  }
  return 0;
}
