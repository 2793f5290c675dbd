// Waits with poll(): the input and the read end of a pipe that the stop signal writes to.
#include "cli/io/input_wait.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "cli/io/report.h"

namespace ansicrypt::cli {

StopSignal::StopSignal() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw Failure("pipe", std::error_code(errno, std::generic_category()));
  }
  wakeRead_ = fds[0];
  wakeWrite_ = fds[1];
}

StopSignal::~StopSignal() {
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

void StopSignal::Stop() {
  if (stopped_.exchange(true, std::memory_order_acq_rel)) return;
  const char byte = 0;
  if (::write(wakeWrite_, &byte, 1) < 0) {
    // the pipe is full: a byte is already waiting, and the reader is woken anyway
  }
}

InputState WaitForInput(int fd, const StopSignal* stop, bool block) {
  // poll() skips a negative descriptor: without a stop signal only the input is watched.
  pollfd fds[2] = {{fd, POLLIN, 0}, {stop != nullptr ? stop->WakeDescriptor() : -1, POLLIN, 0}};
  int ready = 0;
  do {
    ready = ::poll(fds, 2, block ? -1 : 0);
  } while (ready < 0 && errno == EINTR);
  if ((fds[1].revents & POLLIN) != 0) return InputState::stopped;
  // A descriptor poll cannot watch (ready < 0) is simply read.
  return ready == 0 ? InputState::pending : InputState::ready;
}

}  // namespace ansicrypt::cli
