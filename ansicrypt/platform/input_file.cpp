// File reading with POSIX calls.
#include "ansicrypt/platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ansicrypt/common/detail/utf16.h"
#include "ansicrypt/common/error.h"
#include "ansicrypt/common/utf8.h"

namespace ansicrypt::platform {
namespace {

[[noreturn]] void ThrowErrno(int error, const char* what) {
  throw std::system_error(error, std::generic_category(), what);
}

}  // namespace

std::string NativePath(const Text& name) {
  if (name.empty()) throw Error(errc::invalid_argument);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    // U+0000 would end the name early and open another file; a lone surrogate has no UTF-8 form.
    const bool pair = ::ansicrypt::detail::IsSurrogatePair(name, i);
    if (c == 0 || (!pair && ::ansicrypt::detail::IsSurrogate(c)))
      throw Error(errc::invalid_argument);
    if (pair) ++i;
  }
  return TextToUtf8(name);
}

InputFile::InputFile(const Text& name) : fd_(-1), owned_(true) { Open(NativePath(name).c_str()); }

InputFile::InputFile(const std::filesystem::path& path) : fd_(-1), owned_(true) {
  if (path.empty()) ThrowErrno(ENOENT, "open");
  Open(path.c_str());
}

InputFile InputFile::StandardInput() { return InputFile(STDIN_FILENO, false); }

void InputFile::Open(const char* path) {
  // Only an existing file is opened: O_CREAT is never given.
  fd_ = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) ThrowErrno(errno, "open");
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || S_ISDIR(status.st_mode)) {
    const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
    ::close(fd_);
    ThrowErrno(error, "open");
  }
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(other.fd_), owned_(other.owned_), onInterrupt_(std::move(other.onInterrupt_)) {
  other.owned_ = false;
}

InputFile::~InputFile() {
  if (owned_) ::close(fd_);
}

std::size_t InputFile::Read(std::uint8_t* buffer, std::size_t size) {
  while (true) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) ThrowErrno(errno, "read");
    if (onInterrupt_) onInterrupt_();
  }
}

std::size_t InputFile::ReadFull(std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const std::size_t n = Read(buffer + done, size - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

}  // namespace ansicrypt::platform
