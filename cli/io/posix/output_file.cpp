// Outputs on POSIX systems: the replacement keeps the old file's mode, owner, group, access control
// list and extended attributes; descriptor names (/dev/stdout, /proc/self/fd/N) are written in
// place.
#include <fcntl.h>
#include <linux/stat.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <initializer_list>

#include "cli/io/descriptor_paths.h"
#include "cli/io/output_file.h"
#include "cli/io/posix/file_metadata.h"
#include "cli/io/report.h"
#include "cli/io/standard_descriptors.h"
#include "cli/io/temporary_file.h"
#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {
namespace {

[[noreturn]] void Fail(const std::string& name, int error) {
  throw Failure(name, std::error_code(error, std::generic_category()));
}

// Where the result of OUT goes: OUT itself, or the file its symbolic links lead to, whether that
// exists yet or not.
std::filesystem::path ResolveTarget(const std::filesystem::path& path) {
  std::filesystem::path target = path;
  std::error_code error;
  for (int links = 0; links < 40 && std::filesystem::is_symlink(target, error); ++links) {
    const std::filesystem::path next = std::filesystem::read_symlink(target, error);
    if (error) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

// A file that is the root of a mount (a bind-mounted file) cannot be renamed over.
bool IsMountRoot(const std::string& path) {
  struct statx status {};
  return ::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS, &status) == 0 &&
         (status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
         (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

// In a folder with the sticky bit, only the file's owner, the folder's owner and root may replace
// a file.
bool ProtectedBySticky(const std::filesystem::path& directory, const struct stat& file) {
  struct stat folder {};
  const uid_t us = ::geteuid();
  return ::stat(directory.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 && us != 0 &&
         file.st_uid != us && folder.st_uid != us;
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
    UseDescriptor(STDOUT_FILENO);
    return;
  }
  name_ = QuoteName(path);
  if (path.empty()) Fail(name_, ENOENT);
  if (const std::optional<int> fd = DescriptorNamedBy(path)) {
    UseDescriptor(*fd);
    return;
  }
  struct stat status {};
  const bool exists = ::stat(path.c_str(), &status) == 0;
  if (!exists && errno != ENOENT) Fail(name_, errno);
  // "new/" names a folder to be, as the shell's > reads it.
  if (!exists && path.back() == '/') Fail(name_, EISDIR);
  if (exists) {
    // Another name of the file our standard output or error already writes: written there.
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
      struct stat standard {};
      if (!IsClosedStandardDescriptor(fd) && ::fstat(fd, &standard) == 0 &&
          standard.st_dev == status.st_dev && standard.st_ino == status.st_ino) {
        UseDescriptor(fd);
        return;
      }
    }
  }
  // What the shell's > would refuse is refused: a file we may not write.
  if (exists && S_ISREG(status.st_mode) &&
      ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
    Fail(name_, errno);
  }
  if (exists && !S_ISREG(status.st_mode)) {
    // A device, FIFO or terminal: written as it is, never truncated or removed.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) Fail(name_, errno);
    ownsDescriptor_ = true;
    WidenPipe(fd_);
    return;
  }
  StartReplacement(path, exists ? &status : nullptr);
}

void Output::UseDescriptor(int fd) {
  if (IsClosedStandardDescriptor(fd) || ::fcntl(fd, F_GETFD) < 0) Fail(name_, EBADF);
  fd_ = fd;
  WidenPipe(fd_);
}

// The result is written beside the target and takes the old file's owner, group and attributes
// before anything is written, so that a replacement that cannot keep them is refused at once.
void Output::StartReplacement(const std::string& path, const struct stat* existing) {
  const std::filesystem::path target = ResolveTarget(path);
  std::filesystem::path directory = target.parent_path();
  if (directory.empty()) directory = ".";
  if (existing != nullptr) {
    // The links must lead to the file itself: /proc/PID/fd/N of a file that was removed leads to
    // a name it no longer has.
    struct stat reached {};
    if (::lstat(target.c_str(), &reached) != 0 || reached.st_dev != existing->st_dev ||
        reached.st_ino != existing->st_ino) {
      RefuseReplacement("as no name leads to it (a descriptor of another process?)");
    }
    if (IsMountRoot(target.string())) RefuseReplacement("as it is a mount point");
    if (ProtectedBySticky(directory, *existing)) {
      RefuseReplacement("as it belongs to another user in a folder with the sticky bit");
    }
  }
  try {
    // A new file is made as the shell's > makes it (the umask or the folder's default ACL decide
    // its access); a replacement is closed to others until it takes the old file's attributes.
    temporary_ = std::make_unique<TemporaryFile>(directory, existing != nullptr ? 0600 : 0666);
  } catch (const std::system_error& e) {
    // Where OUT does not exist yet, the shell's > could not make it either.
    if (existing == nullptr) throw Failure(name_, e.code());
    RefuseReplacement("as no file can be made beside it (" + e.code().message() + ")");
  }
  fd_ = temporary_->fd();
  target_ = target.string();
  if (existing != nullptr) {
    mode_ = existing->st_mode & 07777;
    if (const auto why = TakeOwnerAndGroup(fd_, *existing)) RefuseReplacement("and keep " + *why);
    if (const auto why = TakeExtendedAttributes(fd_, target_)) {
      RefuseReplacement("and keep " + *why);
    }
  }
}

void Output::Commit() {
  if (!temporary_) return;
  // The old file as it is now: its attributes again (a write may have dropped a capability), then
  // its mode, last, because writing clears set-user-ID bits.
  struct stat status {};
  if (::stat(target_.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
    mode_ = status.st_mode & 07777;
    if (const auto why = TakeExtendedAttributes(fd_, target_))
      RefuseReplacement("and keep " + *why);
  }
  // A new file keeps the mode it was made with.
  if (mode_ && ::fchmod(fd_, *mode_) != 0) Fail(name_, errno);
  try {
    temporary_->Replace(target_);
  } catch (const std::system_error& e) {
    temporary_.reset();
    fd_ = -1;
    if (e.code() == std::errc::device_or_resource_busy) RefuseReplacement("as it is a mount point");
    throw Failure(name_, e.code());
  }
  temporary_.reset();
  fd_ = -1;
}

void WidenPipe(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISFIFO(status.st_mode)) return;
  for (const int size : {1 << 20, 1 << 18}) {
    if (::fcntl(fd, F_SETPIPE_SZ, size) >= 0) return;
  }
}

}  // namespace ansicrypt::cli
