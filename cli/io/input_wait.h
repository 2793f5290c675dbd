// Waiting for input that may come slowly (a pipe, a terminal), with a way for another thread to end
// the wait: the command has stopped.
#pragma once

#include <atomic>

namespace ansicrypt::cli {

class StopSignal {
 public:
  StopSignal();  // raises Failure when the system has nothing to wake a waiting thread with
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // Ends every wait, now and later. Safe from any thread, any number of times.
  void Stop();
  bool Stopped() const { return stopped_.load(std::memory_order_acquire); }

  // Readable once stopped, for a wait that watches descriptors (-1 where waits look at Stopped).
  int WakeDescriptor() const { return wakeRead_; }

 private:
  std::atomic<bool> stopped_{false};
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
};

enum class InputState {
  ready,    // a read will not wait: input, its end, or an error is there
  pending,  // nothing yet (only when not blocking)
  stopped,  // the stop signal was raised
};

// Whether the input at `fd` can be read without waiting; when `block`, waits until it can or until
// `stop` (if any) is raised. An input the system cannot watch counts as ready: it is simply read.
InputState WaitForInput(int fd, const StopSignal* stop, bool block);

}  // namespace ansicrypt::cli
