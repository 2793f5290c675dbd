// The writer thread and its queue.
#include "cli/io/overlapped_writer.h"

namespace ansicrypt::cli {

OverlappedWriter::OverlappedWriter(Output& out, std::size_t depth)
    : out_(out), depth_(depth), thread_([this] { Run(); }) {}

OverlappedWriter::~OverlappedWriter() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

ByteArray OverlappedWriter::TakeBuffer() {
  const std::lock_guard lock(mutex_);
  if (spare_.empty()) return {};
  ByteArray buffer = std::move(spare_.front());
  spare_.pop_front();
  buffer.clear();
  return buffer;
}

void OverlappedWriter::Submit(ByteArray buffer) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < depth_ || failure_; });
  RaiseFailure();
  queue_.push_back(std::move(buffer));
  lock.unlock();
  changed_.notify_all();
}

void OverlappedWriter::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return (queue_.empty() && !writing_) || failure_; });
  RaiseFailure();
}

void OverlappedWriter::RaiseFailure() {
  if (failure_) std::rethrow_exception(failure_);
}

void OverlappedWriter::Run() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    ByteArray buffer = std::move(queue_.front());
    queue_.pop_front();
    writing_ = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      out_.Write(buffer);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    writing_ = false;
    if (failure) {
      failure_ = failure;
      queue_.clear();
    }
    if (spare_.size() < depth_) spare_.push_back(std::move(buffer));
    changed_.notify_all();
  }
}

}  // namespace ansicrypt::cli
