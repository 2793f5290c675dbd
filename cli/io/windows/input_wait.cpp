// Windows cannot wait on a pipe and an event at once (a pipe handle is not waitable): pipes are
// looked at with PeekNamedPipe, a little less often the longer they stay empty, and the stop
// signal is a flag looked at between two looks. A console is waited on with a timeout (the line
// being typed is then read whole); files and the rest never wait.
#include "cli/io/input_wait.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace ansicrypt::cli {
namespace {

constexpr DWORD kLongestSleepMs = 16;

bool StopRaised(const StopSignal* stop) { return stop != nullptr && stop->Stopped(); }

}  // namespace

StopSignal::StopSignal() = default;
StopSignal::~StopSignal() = default;

void StopSignal::Stop() { stopped_.store(true, std::memory_order_release); }

InputState WaitForInput(int fd, const StopSignal* stop, bool block) {
  const std::intptr_t osHandle = ::_get_osfhandle(fd);
  if (osHandle == -1 || osHandle == -2) return InputState::ready;  // the read reports it
  const auto handle = reinterpret_cast<HANDLE>(osHandle);
  const DWORD type = ::GetFileType(handle);
  DWORD sleepMs = 1;
  while (true) {
    if (StopRaised(stop)) return InputState::stopped;
    if (type == FILE_TYPE_PIPE) {
      DWORD available = 0;
      // A failed look is the pipe's end or an error: the read tells which.
      if (::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr) == 0 || available > 0)
        return InputState::ready;
      if (!block) return InputState::pending;
      ::Sleep(sleepMs);
      sleepMs = std::min(sleepMs * 2, kLongestSleepMs);
    } else if (type == FILE_TYPE_CHAR) {
      // A console is signalled by any event (a key released, the mouse), not by a whole line:
      // without waiting, nothing is ever said to be ready, so that what was answered is shown.
      if (!block) return InputState::pending;
      const DWORD waited = ::WaitForSingleObject(handle, kLongestSleepMs);
      if (waited != WAIT_TIMEOUT) return InputState::ready;  // input, or not waitable (NUL)
    } else {
      return InputState::ready;
    }
  }
}

}  // namespace ansicrypt::cli
