// File reading with POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ansicrypt/platform/input_file.h"

namespace ansicrypt::platform {
namespace {

[[noreturn]] void ThrowErrno(int error, const char* what) {
  throw std::system_error(error, std::generic_category(), what);
}

}  // namespace

InputFile InputFile::StandardInput() { return InputFile(STDIN_FILENO, false); }

void InputFile::Open(const std::filesystem::path& path) {
  // Only an existing file is opened: O_CREAT is never given.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) ThrowErrno(errno, "open");
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || S_ISDIR(status.st_mode)) {
    const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
    ::close(fd_);
    ThrowErrno(error, "open");
  }
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

void InputFile::Close(int fd) noexcept { ::close(fd); }

std::size_t InputFile::ReadOnce(std::uint8_t* buffer, std::size_t size, bool& interrupted) {
  const ssize_t n = ::read(fd_, buffer, size);
  if (n >= 0) return static_cast<std::size_t>(n);
  if (errno != EINTR) ThrowErrno(errno, "read");
  interrupted = true;
  return 0;
}

}  // namespace ansicrypt::platform
