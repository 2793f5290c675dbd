// Threads that are joined when the list is cleared or goes out of scope, as a vector of
// std::jthread would be (not every standard library has std::jthread yet: libc++ 14 has not).
#pragma once

#include <thread>
#include <utility>
#include <vector>

namespace ansicrypt::cli {

class JoinedThreads {
 public:
  JoinedThreads() = default;
  ~JoinedThreads() { JoinAll(); }
  JoinedThreads(const JoinedThreads&) = delete;
  JoinedThreads& operator=(const JoinedThreads&) = delete;

  // Starts a thread running `work`; throws std::system_error when it cannot start.
  template <class Work>
  void Start(Work&& work) {
    threads_.emplace_back(std::forward<Work>(work));
  }

  void JoinAll() {
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
    threads_.clear();
  }

 private:
  std::vector<std::thread> threads_;
};

}  // namespace ansicrypt::cli
