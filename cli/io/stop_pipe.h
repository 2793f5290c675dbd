// A pipe whose write end wakes a thread that waits for input (poll on the read end): the command
// has stopped.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "cli/io/report.h"

namespace ansicrypt::cli {

class StopPipe {
 public:
  StopPipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) {
      throw Failure("pipe", std::error_code(errno, std::generic_category()));
    }
  }
  ~StopPipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  StopPipe(const StopPipe&) = delete;
  StopPipe& operator=(const StopPipe&) = delete;

  int readEnd() const { return fds_[0]; }
  void Stop() const {
    const char byte = 0;
    if (::write(fds_[1], &byte, 1) < 0) {
      // a byte is already waiting: the reader is woken anyway
    }
  }

 private:
  int fds_[2];
};

}  // namespace ansicrypt::cli
