// A scratch directory for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

#include "ansicrypt/common/types.h"

namespace ansicrypt::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to a new file in the directory and returns its path.
  std::filesystem::path Write(const std::string& name, const ByteArray& bytes) const;

 private:
  std::filesystem::path path_;
};

// A path as the library's UTF-16 file name.
Text FileName(const std::filesystem::path& path);

}  // namespace ansicrypt::test
