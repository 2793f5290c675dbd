// The process on Windows: the command line in UTF-16, standard streams in binary mode (no CR LF
// translation, no end at Ctrl-Z), names through WTF-8.
#include "cli/io/process.h"

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cerrno>

#include "cli/io/standard_descriptors.h"
#include "cli/io/windows/wide_names.h"

namespace ansicrypt::cli {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Wtf8OfWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

void PrepareProcess() {
  for (const int fd : {0, 1, 2}) {
    if (!IsClosedStandardDescriptor(fd)) ::_setmode(fd, _O_BINARY);
  }
}

bool NamesAreAlwaysUtf8() { return true; }

// A name that is not UTF-8 names no Windows file: the empty path, which opens nothing (ENOENT).
std::filesystem::path PathOfName(const std::string& name) {
  return std::filesystem::path(WideOfWtf8(name).value_or(std::wstring()));
}

int ErrnoOfFailedWrite() {
  // A pipe whose reader has gone fails with ERROR_NO_DATA, which the C runtime calls EINVAL.
  if (_doserrno == ERROR_NO_DATA || _doserrno == ERROR_BROKEN_PIPE) return EPIPE;
  return errno;
}

// No SIGPIPE: the command ends quietly, but it did not finish.
int BrokenPipeStatus() { return 1; }

}  // namespace ansicrypt::cli
