// File reading with the C runtime's descriptors on Windows: names as UTF-16 (_wopen), binary
// mode always, so that no CRLF is changed and no Ctrl-Z ends a file.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "ansicrypt/platform/input_file.h"

namespace ansicrypt::platform {
namespace {

[[noreturn]] void ThrowErrno(int error, const char* what) {
  throw std::system_error(error, std::generic_category(), what);
}

}  // namespace

InputFile InputFile::StandardInput() {
  ::_setmode(0, _O_BINARY);
  return InputFile(0, false);
}

void InputFile::Open(const std::filesystem::path& path) {
  // Only an existing file is opened: _O_CREAT is never given.
  fd_ = ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT | _O_SEQUENTIAL);
  if (fd_ < 0) {
    const int error = errno;  // before anything else can change it (EMFILE makes callers wait)
    // A folder cannot be opened at all on Windows: say so as POSIX systems do.
    std::error_code ignored;
    ThrowErrno(std::filesystem::is_directory(path, ignored) ? EISDIR : error, "open");
  }
  struct _stat64 status {};
  if (::_fstat64(fd_, &status) != 0 || (status.st_mode & _S_IFMT) == _S_IFDIR) {
    const int error = (status.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : errno;
    ::_close(fd_);
    ThrowErrno(error, "open");
  }
}

void InputFile::Close(int fd) noexcept { ::_close(fd); }

std::size_t InputFile::ReadOnce(std::uint8_t* buffer, std::size_t size, bool& interrupted) {
  interrupted = false;
  // _read takes an unsigned count; a read of at most INT_MAX bytes is as good as a longer one.
  const unsigned count = static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX));
  const int n = ::_read(fd_, buffer, count);
  if (n < 0) ThrowErrno(errno, "read");
  return static_cast<std::size_t>(n);
}

}  // namespace ansicrypt::platform
