// The signal handlers use only async-signal-safe calls: unlink, sigaction and raise.
#include "cli/io/signals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <initializer_list>

namespace ansicrypt::cli {
namespace {

char cleanupPath[PATH_MAX + 1];
std::atomic<bool> armed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

extern "C" void OnTerminatingSignal(int signal) {
  if (armed.load(std::memory_order_acquire)) ::unlink(cleanupPath);
  // Ends the process by the signal itself, so that whoever waits for it learns why.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  ::raise(signal);
}

void Handle(int signal, const struct sigaction& action) {
  struct sigaction previous {};
  if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) return;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallSignalCleanup() {
  struct sigaction action {};
  action.sa_handler = OnTerminatingSignal;
  // The signal stays unblocked in its handler, so that raising it again ends the process there.
  action.sa_flags = SA_NODEFER;
  sigfillset(&action.sa_mask);
  for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2,
                           SIGPOLL, SIGPROF, SIGVTALRM, SIGPWR, SIGXCPU}) {
    Handle(signal, action);
  }
#ifdef SIGSTKFLT
  Handle(SIGSTKFLT, action);
#endif
  // A fault (or its signal sent by another process) ends the tool as well; the handler removes
  // the file and the fault then ends the tool as it would have.
  for (const int signal : {SIGABRT, SIGILL, SIGSYS, SIGTRAP}) Handle(signal, action);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  // Under a sanitizer its own handlers report these faults instead.
  for (const int signal : {SIGBUS, SIGFPE, SIGSEGV}) Handle(signal, action);
#endif
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) Handle(signal, action);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

void SetCleanupFile(const std::string& path) {
  armed.store(false, std::memory_order_release);
  if (path.size() > PATH_MAX) return;  // no temporary file has such a name: it was refused
  std::memcpy(cleanupPath, path.c_str(), path.size() + 1);
  armed.store(true, std::memory_order_release);
}

void ClearCleanupFile() { armed.store(false, std::memory_order_release); }

}  // namespace ansicrypt::cli
