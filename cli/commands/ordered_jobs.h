// Work items run on several threads, results taken in item order: `md5 -j` over files and the
// text commands over batches of records.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "cli/commands/joined_threads.h"

namespace ansicrypt::cli {

// Items come from `next` (nothing at the end), results go to `consume` on the calling thread in
// item order. With one job everything runs on the calling thread, item by item. With more, a
// reader thread calls `next`, `jobs` workers call `produce`, and items that `onCaller` names are
// produced by the calling thread when their turn comes (standard input, which must be read in
// order and by one thread). At most `window` items are in flight, so memory stays bounded. A
// failure of next(), or of produce for item i, is raised from the calling thread when item i's turn
// comes, after every result before it was consumed; a failure of consume stops the threads, and
// `interrupt` (if given) then wakes a next() that waits for input. With `weight` and `budget`, the
// reader also waits while the items in flight weigh `budget` or more (one item always may).
template <class Item, class Result>
class OrderedJobs {
 public:
  using Next = std::function<std::optional<Item>()>;
  using Produce = std::function<Result(Item&)>;
  using OnCaller = std::function<bool(const Item&)>;
  using Consume = std::function<void(Item&, Result&)>;

  static void Run(unsigned jobs, std::size_t window, const Next& next, const Produce& produce,
                  const OnCaller& onCaller, const Consume& consume,
                  const std::function<void()>& interrupt = {},
                  const std::function<std::size_t(const Item&)>& weight = {},
                  std::size_t budget = 0) {
    if (jobs <= 1) {
      while (std::optional<Item> item = next()) {
        Result result = produce(*item);
        consume(*item, result);
      }
      return;
    }
    OrderedJobs state(next, produce, onCaller, window, weight, budget);
    JoinedThreads threads;
    try {
      // A thread that cannot start (a process limit) fails the command like any other error:
      // the threads already running are stopped before they are joined.
      threads.Start([&state] { state.Read(); });
      for (unsigned j = 0; j < jobs; ++j) threads.Start([&state] { state.Work(); });
      state.ConsumeAll(consume);
    } catch (...) {
      state.Stop();
      if (interrupt) interrupt();
      throw;
    }
    state.Stop();
  }

 private:
  struct Slot {
    std::optional<Item> item;  // none: the end of the items, or next() failed
    std::size_t weight = 0;
    bool onCaller = false;
    bool taken = false;
    bool done = false;
    std::optional<Result> result;
    std::exception_ptr failure;
  };

  OrderedJobs(const Next& next, const Produce& produce, const OnCaller& onCaller,
              std::size_t window, const std::function<std::size_t(const Item&)>& weight,
              std::size_t budget)
      : next_(next),
        produce_(produce),
        onCaller_(onCaller),
        window_(std::max<std::size_t>(1, window)),
        weight_(weight),
        budget_(budget) {}

  // The reader thread: items into slots, without holding the lock while next() waits for input.
  void Read() {
    std::unique_lock lock(mutex_);
    while (true) {
      changed_.wait(lock, [this] {
        return stopping_ || (fetched_ < consumed_ + window_ &&
                             (!weight_ || inFlight_ < budget_ || fetched_ == consumed_));
      });
      if (stopping_) return;
      lock.unlock();
      Slot slot;
      try {
        slot.item = next_();
        slot.onCaller = slot.item && onCaller_ && onCaller_(*slot.item);
        if (slot.item && weight_) slot.weight = weight_(*slot.item);
      } catch (...) {
        slot.failure = std::current_exception();
      }
      const bool last = !slot.item;
      if (last) slot.done = true;
      lock.lock();
      inFlight_ += slot.weight;
      slots_.emplace(fetched_++, std::move(slot));
      changed_.notify_all();
      if (last) return;
    }
  }

  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      Slot* slot = nullptr;
      changed_.wait(lock, [this, &slot] {
        if (stopping_) return true;
        for (auto& [index, s] : slots_) {
          if (s.item && !s.onCaller && !s.taken) {
            slot = &s;
            return true;
          }
        }
        return ended_;
      });
      if (slot == nullptr) return;
      slot->taken = true;
      lock.unlock();
      try {
        slot->result.emplace(produce_(*slot->item));
      } catch (...) {
        slot->failure = std::current_exception();
      }
      lock.lock();
      slot->done = true;
      changed_.notify_all();
    }
  }

  void ConsumeAll(const Consume& consume) {
    for (std::size_t i = 0;; ++i) {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this, i] {
        const auto it = slots_.find(i);
        return it != slots_.end() && (it->second.done || it->second.onCaller);
      });
      Slot& slot = slots_.at(i);
      lock.unlock();
      if (slot.onCaller) {
        try {
          slot.result.emplace(produce_(*slot.item));
        } catch (...) {
          slot.failure = std::current_exception();
        }
      }
      if (slot.failure) std::rethrow_exception(slot.failure);
      if (!slot.item) {
        lock.lock();
        ended_ = true;
        changed_.notify_all();
        return;
      }
      consume(*slot.item, *slot.result);
      lock.lock();
      inFlight_ -= slot.weight;
      slots_.erase(i);
      consumed_ = i + 1;
      changed_.notify_all();
    }
  }

  void Stop() {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }

  const Next& next_;
  const Produce& produce_;
  const OnCaller& onCaller_;
  const std::size_t window_;
  const std::function<std::size_t(const Item&)>& weight_;
  const std::size_t budget_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::size_t, Slot> slots_;  // fetched and not yet consumed, by index
  std::size_t fetched_ = 0;
  std::size_t consumed_ = 0;
  std::size_t inFlight_ = 0;  // weight of the items fetched and not consumed
  bool ended_ = false;
  bool stopping_ = false;
};

}  // namespace ansicrypt::cli
