// Digests of named files for md5, taken in the order of the names: the files are digested sixteen
// at a time in the library's vector lanes, on `jobs` threads each with lanes of its own.
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

namespace ansicrypt::cli {

struct Digest {
  std::string hex;  // 32 uppercase digits; empty when the input could not be digested
  std::error_code error;
};

// The digest of a named file, or of standard input for "-", read from where it stands, alone.
Digest DigestNamed(const std::string& name);

// The digest text of a lane outcome.
Digest DigestOfOutcome(const detail::Md5FileOutcome& outcome);

// Items come from `next` (nothing at the end); `nameOf` gives the file each names, or null for
// an item with nothing to digest. Each item goes to `consume` with its digest, in item order, as
// soon as it and every item before it are done. `consume` runs on the calling thread; `next` runs
// on the thread whose lane is free (one at a time). Standard input ("-") and every other stream
// (a FIFO, a device: detail::IsStreamPath) is digested by the calling thread alone, in its turn:
// the files before it are done first and no file after it is opened before it is read to its end,
// as md5sum reads them. A failure of `consume` stops the lanes and is raised.
template <class Item>
class FileDigests {
 public:
  using Next = std::function<std::optional<Item>()>;
  using NameOf = std::function<const std::string*(const Item&)>;
  using Consume = std::function<void(Item&, Digest&)>;

  static void Run(unsigned jobs, const Next& next, const NameOf& nameOf, const Consume& consume) {
    FileDigests state(next, nameOf, consume);
    while (true) {
      state.RunSegment(jobs);
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

  FileDigests(const Next& next, const NameOf& nameOf, const Consume& consume)
      : next_(next), nameOf_(nameOf), consume_(consume) {}

  // Digests items up to the end or to the next standard input, which is left as the only slot.
  void RunSegment(unsigned jobs) {
    stopAtInput_ = false;
    if (jobs <= 1) {
      detail::DigestFilesInLanes([this] { return NextJob(); },
                                 [this](std::size_t index, detail::Md5FileOutcome& outcome) {
                                   slots_[index - first_].digest = DigestOfOutcome(outcome);
                                   ConsumeReady();
                                 });
      ConsumeReady();
      return;
    }
    std::unique_lock lock(mutex_);
    running_ = jobs;
    std::vector<std::jthread> workers;
    try {
      for (unsigned j = 0; j < jobs; ++j) workers.emplace_back([this] { Work(); });
      while (true) {
        changed_.wait(lock, [this] {
          return failure_ || running_ == 0 || (!slots_.empty() && slots_.front().digest);
        });
        if (failure_) std::rethrow_exception(failure_);
        const bool finished = running_ == 0;
        // Done items are handed over without the lock, so that the workers go on meanwhile.
        while (!slots_.empty() && slots_.front().digest) {
          Slot slot = std::move(slots_.front());
          slots_.pop_front();
          ++first_;
          lock.unlock();
          consume_(slot.item, *slot.digest);
          lock.lock();
        }
        if (finished && (slots_.empty() || stopAtInput_)) return;
      }
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
      cancel_ = true;
      lock.unlock();
      workers.clear();  // joins
      throw;
    }
  }

  void Work() {
    try {
      detail::DigestFilesInLanes(
          [this] {
            std::lock_guard guard(mutex_);
            return NextJob();
          },
          [this](std::size_t index, detail::Md5FileOutcome& outcome) {
            Digest digest = DigestOfOutcome(outcome);
            std::lock_guard guard(mutex_);
            slots_[index - first_].digest = std::move(digest);
            changed_.notify_all();
          },
          &cancel_);
    } catch (...) {
      std::lock_guard guard(mutex_);
      if (!failure_) failure_ = std::current_exception();
      cancel_ = true;
    }
    std::lock_guard guard(mutex_);
    --running_;
    changed_.notify_all();
  }

  // The next file for a lane: items with nothing to digest are done at once, and standard input
  // ends the segment. Called with the lock held where there are workers.
  std::optional<detail::Md5FileJob> NextJob() {
    while (!stopAtInput_ && !cancel_) {
      std::optional<Item> item = next_();
      if (!item) return std::nullopt;
      slots_.push_back(Slot{std::move(*item), std::nullopt});
      const std::string* name = nameOf_(slots_.back().item);  // the item has moved
      const std::size_t index = first_ + slots_.size() - 1;
      if (name == nullptr) {
        slots_.back().digest = Digest{};
        continue;
      }
      if (*name == "-" || detail::IsStreamPath(*name)) {
        stopAtInput_ = true;
        return std::nullopt;
      }
      return detail::Md5FileJob{index, std::filesystem::path(*name)};
    }
    return std::nullopt;
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

  const Next& next_;
  const NameOf& nameOf_;
  const Consume& consume_;
  std::deque<Slot> slots_;
  std::size_t first_ = 0;  // the index of slots_.front()
  bool stopAtInput_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  unsigned running_ = 0;
  std::atomic<bool> cancel_{false};
  std::exception_ptr failure_;
};

}  // namespace ansicrypt::cli
