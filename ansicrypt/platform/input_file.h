// A file opened by name for reading only, as raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "ansicrypt/common/types.h"

namespace ansicrypt::platform {

// The native (UTF-8) form of a file name given as UTF-16 text. Raises errc::invalid_argument for
// a name that no file can have: empty, holding U+0000, or holding an unpaired surrogate.
std::string NativePath(const Text& name);

class InputFile {
 public:
  // Opens the named file for reading only; never creates or writes it. Raises std::system_error
  // (generic category) when it does not exist, is a directory or cannot be opened, and
  // ansicrypt::Error for a name that NativePath refuses. A relative name is resolved against the
  // current directory; pipes and devices such as /dev/stdin are read like files.
  explicit InputFile(const Text& name);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads up to `size` bytes; returns how many were read, 0 only at the end of the file. Raises
  // std::system_error on a read error.
  std::size_t Read(std::uint8_t* buffer, std::size_t size);

 private:
  int fd_;
};

}  // namespace ansicrypt::platform
