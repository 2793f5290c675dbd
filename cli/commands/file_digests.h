// Digests of named files for md5, taken in the order of the names: the files are digested 16 (32
// with AVX-512) at a time in the library's vector lanes, on `jobs` threads each with lanes of its
// own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "ansicrypt/digest/detail/md5_file_lanes.h"
#include "ansicrypt/digest/detail/md5_lanes.h"
#include "cli/commands/joined_threads.h"
#include "cli/io/process.h"
#include "cli/io/standard_descriptors.h"

namespace ansicrypt::cli {

struct Digest {
  std::string hex;  // 32 uppercase digits; empty when the input could not be digested
  std::error_code error;
};

// The digest of a named file, or of standard input for "-", read from where it stands, alone.
Digest DigestNamed(const std::string& name);

// The digest text of a lane outcome.
Digest DigestOfOutcome(const detail::Md5FileOutcome& outcome);

// Items come from `next` (nothing at the end), which may wait for input; `ready` tells whether
// `next` would answer without waiting, so that the lanes go on with what they have meanwhile.
// `nameOf` gives the file an item names, or null for an item with nothing to digest. Each item
// goes to `consume` with its digest, in item order, as soon as it and every item before it are
// done. `consume` runs on the calling thread; `next` and `ready` on the thread whose lane is free
// (one at a time, never under the lock that reports digests). At most a window of items (two
// per lane in use, and 16) is in flight, so that memory does not grow with the number of items.
// Standard input
// ("-") and every other stream (a FIFO, a device: detail::IsStreamPath) is digested by the
// calling thread alone, in its turn: the files before it are done first and no file after it is
// opened before it is read to its end, as md5sum reads them. The threads share one pool of
// descriptors: one that finds none free waits for another to close a file. A failure of `next`
// or `consume` stops the lanes and is raised; `interrupt` (if given) then wakes a `next` that
// waits for input. `idle` (if given) runs on the calling thread before it waits for input or for
// digests, so that what `consume` wrote so far may be flushed.
template <class Item>
class FileDigests {
 public:
  using Next = std::function<std::optional<Item>()>;
  using Ready = std::function<bool()>;
  using NameOf = std::function<const std::string*(const Item&)>;
  using Consume = std::function<void(Item&, Digest&)>;

  static void Run(unsigned jobs, const Next& next, const Ready& ready, const NameOf& nameOf,
                  const Consume& consume, const std::function<void()>& interrupt = {},
                  const std::function<void()>& idle = {}) {
    FileDigests state(jobs, next, ready, nameOf, consume, interrupt, idle);
    while (true) {
      state.RunSegment();
      if (state.slots_.empty()) return;
      // The segment stopped at a stream, the one item left: digested alone, in its turn.
      Slot& slot = state.slots_.front();
      Digest digest = DigestNamed(*nameOf(slot.item));
      consume(slot.item, digest);
      state.slots_.pop_front();
      ++state.first_;
    }
  }

 private:
  struct Slot {
    Item item;
    std::optional<Digest> digest;  // set when done
  };

  FileDigests(unsigned jobs, const Next& next, const Ready& ready, const NameOf& nameOf,
              const Consume& consume, const std::function<void()>& interrupt,
              const std::function<void()>& idle)
      : jobs_(jobs),
        window_(2 * detail::Md5LanesInUse() * std::size_t{jobs} + 16),
        next_(next),
        ready_(ready),
        nameOf_(nameOf),
        consume_(consume),
        interrupt_(interrupt),
        idle_(idle) {}

  // Digests items up to the end or to the next stream, which is left as the only slot.
  void RunSegment() {
    stopAtStream_ = false;
    if (jobs_ <= 1) {
      detail::DigestFilesInLanes([this](bool wait) { return NextJob(wait); },
                                 [this](std::size_t index, detail::Md5FileOutcome& outcome) {
                                   slots_[index - first_].digest = DigestOfOutcome(outcome);
                                   ConsumeReady();
                                 });
      ConsumeReady();
      return;
    }
    std::unique_lock lock(mutex_);
    running_ = jobs_;
    JoinedThreads workers;
    try {
      for (unsigned j = 0; j < jobs_; ++j) workers.Start([this] { Work(); });
      while (true) {
        const auto handOver = [this] {
          return failure_ || running_ == 0 || (!slots_.empty() && slots_.front().digest);
        };
        if (idle_ && !handOver()) {
          lock.unlock();
          idle_();
          lock.lock();
        }
        changed_.wait(lock, handOver);
        if (failure_) std::rethrow_exception(failure_);
        const bool finished = running_ == 0;
        // Done items are handed over without the lock, so that the workers go on meanwhile.
        while (!slots_.empty() && slots_.front().digest) {
          Slot slot = std::move(slots_.front());
          slots_.pop_front();
          ++first_;
          changed_.notify_all();  // room in the window
          lock.unlock();
          consume_(slot.item, *slot.digest);
          lock.lock();
        }
        if (finished && (slots_.empty() || stopAtStream_)) return;
      }
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
      cancel_ = true;
      changed_.notify_all();
      lock.unlock();
      if (interrupt_) interrupt_();  // a worker may wait for input in next()
      workers.JoinAll();
      throw;
    }
  }

  void Work() {
    try {
      detail::DigestFilesInLanes([this](bool wait) { return NextJob(wait); },
                                 [this](std::size_t index, detail::Md5FileOutcome& outcome) {
                                   Digest digest = DigestOfOutcome(outcome);
                                   std::lock_guard guard(mutex_);
                                   slots_[index - first_].digest = std::move(digest);
                                   changed_.notify_all();
                                 },
                                 &cancel_, &pool_);
    } catch (...) {
      std::lock_guard guard(mutex_);
      if (!failure_) failure_ = std::current_exception();
      cancel_ = true;
    }
    std::lock_guard guard(mutex_);
    --running_;
    changed_.notify_all();
  }

  // The next file for a lane. Items with nothing to digest are done at once; a stream ends the
  // segment. With `wait` false (the lane's thread has files in other lanes) it answers only what
  // is ready: no item while the window is full, none while `next` would wait for input.
  std::optional<detail::Md5FileJob> NextJob(bool wait) {
    std::unique_lock reading(readMutex_, std::defer_lock);
    if (jobs_ > 1) {
      if (wait) {
        reading.lock();
      } else if (!reading.try_lock()) {
        return std::nullopt;
      }
    }
    while (true) {
      if (!RoomInWindow(wait)) return std::nullopt;
      if (!ready_()) {
        if (!wait) return std::nullopt;
        // With one job every item before is handed over now: what was written may go out.
        if (jobs_ <= 1 && idle_) idle_();
      }
      std::optional<Item> item = next_();
      // What the item names is looked at before the lock is taken: a stat may be slow.
      enum class Kind { kNothing, kClosed, kStream, kFile } kind = Kind::kNothing;
      if (item) {
        if (const std::string* name = nameOf_(*item)) {
          kind = LeadsToClosedStandardDescriptor(*name)        ? Kind::kClosed
                 : *name == "-" || detail::IsStreamPath(*name) ? Kind::kStream
                                                               : Kind::kFile;
        }
      }
      std::unique_lock lock(mutex_, std::defer_lock);
      if (jobs_ > 1) lock.lock();
      changed_.notify_all();
      if (!item) {
        ended_ = true;
        return std::nullopt;
      }
      slots_.push_back(Slot{std::move(*item), std::nullopt});
      Slot& slot = slots_.back();
      switch (kind) {
        case Kind::kNothing:
          slot.digest = Digest{};
          break;
        case Kind::kClosed:
          // /dev/stdin with descriptor 0 closed names nothing, as the system would have found.
          slot.digest = Digest{"", std::make_error_code(std::errc::no_such_file_or_directory)};
          break;
        case Kind::kStream:
          stopAtStream_ = true;
          return std::nullopt;
        case Kind::kFile:
          return detail::Md5FileJob{first_ + slots_.size() - 1, PathOfName(*nameOf_(slot.item))};
      }
    }
  }

  // Whether another item may be taken; waits for room when `wait` allows it (the lane's thread
  // then holds no file, so waiting stops nothing the consumer waits for).
  bool RoomInWindow(bool wait) {
    if (jobs_ <= 1) {
      ConsumeReady();
      return !cancel_ && !stopAtStream_ && !ended_ && slots_.size() < window_;
    }
    std::unique_lock lock(mutex_);
    if (wait) {
      changed_.wait(lock, [this] { return cancel_ || slots_.size() < window_; });
    }
    return !cancel_ && !stopAtStream_ && !ended_ && slots_.size() < window_;
  }

  // With one job: hands over the done items at the front.
  void ConsumeReady() {
    while (!slots_.empty() && slots_.front().digest) {
      Slot slot = std::move(slots_.front());
      slots_.pop_front();
      ++first_;
      consume_(slot.item, *slot.digest);
    }
  }

  const unsigned jobs_;
  const std::size_t window_;  // items in flight at most
  const Next& next_;
  const Ready& ready_;
  const NameOf& nameOf_;
  const Consume& consume_;
  const std::function<void()>& interrupt_;
  const std::function<void()>& idle_;
  std::deque<Slot> slots_;
  std::size_t first_ = 0;  // the index of slots_.front()
  bool stopAtStream_ = false;
  bool ended_ = false;
  std::mutex readMutex_;  // one thread at a time calls next_ and ready_
  std::mutex mutex_;      // the slots and everything below
  std::condition_variable changed_;
  unsigned running_ = 0;
  std::atomic<bool> cancel_{false};
  std::exception_ptr failure_;
  detail::Md5DescriptorPool pool_;
};

}  // namespace ansicrypt::cli
