// The process on POSIX systems: names are bytes, and a closed pipe ends the tool as SIGPIPE would.
#include "cli/io/process.h"

#include <malloc.h>

#include <cerrno>
#include <clocale>
#include <csignal>

namespace ansicrypt::cli {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareProcess() {
  // Names in messages are quoted as md5sum quotes them in the user's locale; nothing else reads
  // the locale (messages stay in English, numbers and texts are the tool's own).
  std::setlocale(LC_CTYPE, "");
#ifdef M_MMAP_THRESHOLD
  // Buffers of long records go back to the system when freed, whichever thread freed them, so
  // that memory follows the records in flight, not the number of threads (glibc).
  mallopt(M_MMAP_THRESHOLD, 1 << 18);
#endif
}

bool NamesAreAlwaysUtf8() { return false; }

std::filesystem::path PathOfName(const std::string& name) { return std::filesystem::path(name); }

int ErrnoOfFailedWrite() { return errno; }

int BrokenPipeStatus() { return 128 + SIGPIPE; }

}  // namespace ansicrypt::cli
