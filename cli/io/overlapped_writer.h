// Writes buffers to an Output on a thread of its own, so that producing the next buffer overlaps
// writing this one: through a pipe both ends then run together.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "ansicrypt/common/types.h"
#include "cli/io/output_file.h"

namespace ansicrypt::cli {

class OverlappedWriter {
 public:
  // At most `depth` buffers wait to be written; producing more waits for the writer.
  explicit OverlappedWriter(Output& out, std::size_t depth = 3);
  ~OverlappedWriter();  // stops the thread; what was not written by Finish() is dropped
  OverlappedWriter(const OverlappedWriter&) = delete;
  OverlappedWriter& operator=(const OverlappedWriter&) = delete;

  // An empty buffer to fill, reusing the storage of buffers already written.
  ByteArray TakeBuffer();

  // Queues `buffer` to be written. Raises the failure of an earlier write, if any.
  void Submit(ByteArray buffer);

  // Waits until everything queued is written. Raises the failure of a write, if any.
  void Finish();

 private:
  void Run();
  void RaiseFailure();

  Output& out_;
  const std::size_t depth_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ByteArray> queue_;
  std::deque<ByteArray> spare_;
  bool writing_ = false;
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace ansicrypt::cli
