// Arguments passed through CLI11 unchanged, and the standard descriptors kept in place.
#include "cli/arguments.h"

#include <fcntl.h>
#include <unistd.h>

namespace ansicrypt::cli {
namespace {

constexpr char kMark = '\x1f';

std::string Marked(const std::string& argument) {
  std::string marked(1, kMark);
  marked += argument;
  return marked;
}

}  // namespace

std::vector<std::string> ProtectArguments(int argc, const char* const* argv) {
  std::vector<std::string> out;
  bool operandsOnly = false;
  for (int i = 0; i < argc; ++i) {
    const std::string argument = argv[i];
    if (i > 0 && !operandsOnly && argument == "--") {
      operandsOnly = true;
      continue;
    }
    const char first = argument.empty() ? '\0' : argument.front();
    const bool mark = i > 0 && (operandsOnly || first == '[' || first == kMark);
    out.push_back(mark ? Marked(argument) : argument);
  }
  return out;
}

CLI::Option* Verbatim(CLI::Option* option) {
  return option->transform(
      [](const std::string& value) {
        return value.empty() || value.front() != kMark ? value : value.substr(1);
      },
      "", "verbatim");
}

void ReserveStandardDescriptors() {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) >= 0) continue;
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

}  // namespace ansicrypt::cli
