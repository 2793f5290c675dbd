// File reading with the C runtime's descriptors on Windows: names as UTF-16, binary mode always, so
// that no CRLF is changed and no Ctrl-Z ends a file.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

#include "ansicrypt/platform/detail/windows_errors.h"
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
  // Others may rename, replace or delete the file while it is read, as on POSIX systems (a tool
  // that writes its result over its input needs it). Only an existing file is opened.
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();  // before anything else can change it
    // A folder cannot be opened so: say so as POSIX systems do.
    std::error_code ignored;
    ThrowErrno(
        std::filesystem::is_directory(path, ignored) ? EISDIR : detail::ErrnoOfWindowsError(error),
        "open");
  }
  fd_ = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd_ < 0) {
    ::CloseHandle(handle);
    ThrowErrno(EMFILE, "open");
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
