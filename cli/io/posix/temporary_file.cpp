// Temporary output files: O_TMPFILE and linkat through /proc/self/fd, or mkostemp.
#include "cli/io/temporary_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <system_error>

#include "cli/io/signals.h"

namespace ansicrypt::cli {
namespace {

[[noreturn]] void Raise(int error) { throw std::system_error(error, std::generic_category()); }

// No terminating signal comes between naming a file and arming its removal, or the other way.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &previous_);
  }
  ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    const auto seed = static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(::clock());
    for (std::size_t i = 0; i < sizeof bytes; ++i)
      bytes[i] = static_cast<unsigned char>(seed >> (4 * i));
  }
  std::string suffix;
  for (const unsigned char b : bytes) suffix += kLetters[b % (sizeof kLetters - 1)];
  return suffix;
}

std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& directory, mode_t mode)
    : directory_(directory) {
  fd_ = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd_ >= 0) {
    // It can be named at the end only through /proc.
    if (::access(ProcPath(fd_).c_str(), F_OK) == 0) return;
    ::close(fd_);
    fd_ = -1;
  } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    Raise(errno);  // the folder refuses any file
  }
  // Named from the start, made as any new file is made (mkstemp would force mode 0600).
  for (int attempt = 0;; ++attempt) {
    const std::string name = (directory / (".ansicrypt-" + RandomSuffix())).string();
    const SignalsHeld held;
    fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
    if (fd_ >= 0) {
      name_ = name;
      SetCleanupFile(name_);
      return;
    }
    if (errno != EEXIST || attempt == 100) Raise(errno);
  }
}

TemporaryFile::~TemporaryFile() { Discard(); }

void TemporaryFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!name_.empty()) {
    const SignalsHeld held;
    ::unlink(name_.c_str());
    ClearCleanupFile();
    name_.clear();
  }
}

void TemporaryFile::Replace(const std::string& target) {
  for (int attempt = 0; name_.empty(); ++attempt) {
    const std::string name = (directory_ / (".ansicrypt-" + RandomSuffix())).string();
    const SignalsHeld held;
    if (::linkat(AT_FDCWD, ProcPath(fd_).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      name_ = name;
      SetCleanupFile(name_);
    } else if (errno != EEXIST || attempt == 100) {
      const int error = errno;
      Discard();
      Raise(error);
    }
  }
  const int closed = ::close(fd_);
  const int closeError = errno;
  fd_ = -1;
  if (closed != 0) {
    Discard();
    Raise(closeError);
  }
  const SignalsHeld held;
  if (::rename(name_.c_str(), target.c_str()) != 0) {
    const int error = errno;
    Discard();
    Raise(error);
  }
  ClearCleanupFile();
  name_.clear();
}

}  // namespace ansicrypt::cli
