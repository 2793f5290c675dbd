// On Windows the C runtime keeps descriptors 0, 1 and 2 for the standard handles even when one has
// none (its handle is then -2 and every read or write fails with EBADF), so no file takes their
// numbers: only what was closed is noted.
#include "cli/io/standard_descriptors.h"

#include <io.h>
#include <stdlib.h>

#include <array>
#include <cstdint>

namespace ansicrypt::cli {
namespace {

// Set once, before any thread starts; read only afterwards.
std::array<bool, 3> closedAtStart{};

// The C runtime's checks of its arguments (a descriptor it does not know, say) make the call fail
// with errno set, instead of ending the process.
void IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned,
                            std::uintptr_t) {}

}  // namespace

void ReserveStandardDescriptors() {
  ::_set_invalid_parameter_handler(IgnoreInvalidParameter);
  for (const int fd : {0, 1, 2}) {
    const std::intptr_t handle = ::_get_osfhandle(fd);
    closedAtStart[static_cast<std::size_t>(fd)] = handle == -1 || handle == -2;
  }
}

bool IsClosedStandardDescriptor(int fd) {
  return fd >= 0 && fd < 3 && closedAtStart[static_cast<std::size_t>(fd)];
}

// Windows has no name that leads to a descriptor of the process.
bool LeadsToClosedStandardDescriptor(const std::string&) { return false; }

}  // namespace ansicrypt::cli
