// A scratch directory for one test.
#include "tests/support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

namespace ansicrypt::test {

TempDir::TempDir() {
#if defined(_WIN32)
  // No mkdtemp: a random name, taken only if create_directory made it.
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "ansicrypt-test-%08x", static_cast<unsigned>(random()));
    const std::filesystem::path candidate = std::filesystem::temp_directory_path() / name;
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no scratch directory could be made");
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "ansicrypt-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
#endif
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempDir::Write(const std::string& name, const ByteArray& bytes) const {
  const std::filesystem::path file = path_ / name;
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

Text FileName(const std::filesystem::path& path) {
  const std::u16string name = path.u16string();
  return Text(name.begin(), name.end());
}

}  // namespace ansicrypt::test
