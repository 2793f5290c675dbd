// Output files written beside their target and renamed over it on success.
#include "cli/io/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "cli/io/report.h"
#include "cli/io/signals.h"
#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {
namespace {

[[noreturn]] void Fail(const std::string& name, int error) {
  throw Failure(name, std::error_code(error, std::generic_category()));
}

// Where the result of OUT goes: OUT itself, or the file its symbolic links lead to, whether that
// exists yet or not.
std::filesystem::path ResolveTarget(const std::string& path) {
  std::filesystem::path target = path;
  std::error_code error;
  for (int links = 0; links < 40 && std::filesystem::is_symlink(target, error); ++links) {
    const std::filesystem::path next = std::filesystem::read_symlink(target, error);
    if (error) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

mode_t DefaultMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return FileIdentity{status.st_dev, status.st_ino};
}

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return FileIdentity{status.st_dev, status.st_ino};
}

Output::Output(const std::string& path) {
  if (path == "-") {
    name_ = "standard output";
    fd_ = STDOUT_FILENO;
    standardOutput_ = true;
    WidenPipe(fd_);
    return;
  }
  name_ = QuoteName(path);
  if (path.empty()) Fail(name_, ENOENT);
  struct stat status {};
  const bool exists = ::stat(path.c_str(), &status) == 0;
  if (!exists && errno != ENOENT) Fail(name_, errno);
  // What the shell's > would refuse is refused: a file we may not write.
  if (exists && S_ISREG(status.st_mode) &&
      ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    Fail(name_, errno);
  }
  if (exists && !S_ISREG(status.st_mode)) {
    // A device, FIFO or terminal: written as it is, never truncated or removed.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) Fail(name_, errno);
    WidenPipe(fd_);
    return;
  }
  const std::filesystem::path target = ResolveTarget(path);
  std::filesystem::path directory = target.parent_path();
  if (directory.empty()) directory = ".";
  std::string pattern = (directory / ".ansicrypt-XXXXXX").string();
  // No signal may come between creating the temporary file and arming its removal.
  sigset_t terminating, previous;
  sigemptyset(&terminating);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&terminating, signal);
  ::pthread_sigmask(SIG_BLOCK, &terminating, &previous);
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  const int created = errno;
  if (fd_ >= 0) SetCleanupFile(pattern);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (fd_ < 0) {
    throw Failure(name_, "cannot make a temporary file beside it: " +
                             std::error_code(created, std::generic_category()).message());
  }
  temporary_ = pattern;
  target_ = target.string();
  // The replacement gets the old file's permissions and, where we may, its owner, once written
  // (a write would clear set-user-ID bits set before it).
  mode_ = exists ? status.st_mode & 07777 : DefaultMode();
  keepOwner_ = exists && ::geteuid() == 0;
  owner_ = status.st_uid;
  group_ = status.st_gid;
}

Output::~Output() {
  if (!temporary_.empty()) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
    ClearCleanupFile();
  } else if (!standardOutput_ && fd_ >= 0) {
    ::close(fd_);
  }
}

void Output::Write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) throw BrokenPipe();
      Fail(name_, errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void Output::Commit() {
  if (temporary_.empty()) return;
  if (keepOwner_ && ::fchown(fd_, owner_, group_) != 0) {
    // the file then belongs to us; its content is what matters
  }
  ::fchmod(fd_, mode_);
  if (::close(fd_) != 0) {
    const int error = errno;
    fd_ = -1;
    ::unlink(temporary_.c_str());
    temporary_.clear();
    ClearCleanupFile();
    Fail(name_, error);
  }
  fd_ = -1;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    temporary_.clear();
    ClearCleanupFile();
    Fail(name_, error);
  }
  // A signal from here on may try to remove a name that no longer exists; that is harmless.
  ClearCleanupFile();
  temporary_.clear();
}

void Output::RefuseSameFile(const std::optional<FileIdentity>& input,
                            const std::string& inputName) const {
  if (!temporary_.empty() || !input) return;
  if (IdentityOfDescriptor(fd_) == input) throw Failure(inputName, "input file is output file");
}

void WidenPipe(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISFIFO(status.st_mode)) return;
  for (const int size : {1 << 20, 1 << 18}) {
    if (::fcntl(fd, F_SETPIPE_SZ, size) >= 0) return;
  }
}

}  // namespace ansicrypt::cli
