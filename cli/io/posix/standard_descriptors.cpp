// Placeholders for closed standard descriptors: an O_PATH descriptor of a socket of our own, which
// cannot be read, written or opened again, and whose inode nothing else has.
#include "cli/io/standard_descriptors.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <initializer_list>
#include <optional>

namespace ansicrypt::cli {
namespace {

struct Identity {
  dev_t device;
  ino_t inode;
};

// Set once, before any thread starts; read only afterwards.
std::array<std::optional<Identity>, 3> placeholders;

// A descriptor that takes no data and cannot be reopened; -1 if none can be made.
int MakePlaceholder() {
  int sockets[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) return -1;
  const std::string path = "/proc/self/fd/" + std::to_string(sockets[0]);
  int placeholder = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  ::close(sockets[0]);
  ::close(sockets[1]);
  // Without /proc, /dev/null opened for the wrong direction still fails every use.
  if (placeholder < 0) placeholder = ::open("/dev/null", O_PATH | O_CLOEXEC);
  return placeholder;
}

}  // namespace

void ReserveStandardDescriptors() {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) >= 0) continue;
    const int placeholder = MakePlaceholder();
    if (placeholder < 0) continue;
    if (placeholder != fd) {
      // Lower numbers are taken first: a placeholder for 2 may come out as 2 itself.
      ::dup2(placeholder, fd);
      ::close(placeholder);
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);  // a child started by us finds it closed, as we did
    struct stat status {};
    if (::fstat(fd, &status) == 0)
      placeholders[static_cast<std::size_t>(fd)] = Identity{status.st_dev, status.st_ino};
  }
}

bool IsClosedStandardDescriptor(int fd) {
  return fd >= 0 && fd < 3 && placeholders[static_cast<std::size_t>(fd)].has_value();
}

bool LeadsToClosedStandardDescriptor(const std::string& path) {
  // Nothing to ask the file system when every standard descriptor was open.
  if (!placeholders[0] && !placeholders[1] && !placeholders[2]) return false;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  for (const auto& placeholder : placeholders) {
    if (placeholder && placeholder->device == status.st_dev && placeholder->inode == status.st_ino)
      return true;
  }
  return false;
}

}  // namespace ansicrypt::cli
