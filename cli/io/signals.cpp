// The signal handlers use only async-signal-safe calls: unlink and _exit.
#include "cli/io/signals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace ansicrypt::cli {
namespace {

char cleanupPath[PATH_MAX + 1];
std::atomic<bool> armed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

extern "C" void OnTerminatingSignal(int signal) {
  if (armed.load(std::memory_order_acquire)) ::unlink(cleanupPath);
  ::_exit(128 + signal);
}

}  // namespace

void InstallSignalCleanup() {
  struct sigaction action {};
  action.sa_handler = OnTerminatingSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal ignored by whoever started us (nohup) stays ignored.
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

void SetCleanupFile(const std::string& path) {
  armed.store(false, std::memory_order_release);
  if (path.size() > PATH_MAX) return;  // no temporary file has such a name: mkstemp refused it
  std::memcpy(cleanupPath, path.c_str(), path.size() + 1);
  armed.store(true, std::memory_order_release);
}

void ClearCleanupFile() { armed.store(false, std::memory_order_release); }

}  // namespace ansicrypt::cli
