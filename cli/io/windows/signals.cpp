// Ctrl-C, Ctrl-Break and the console's closing call a handler on a thread of their own: it removes
// the temporary file (opened for deletion by others, so that it can be deleted while still open)
// and ends the process at once with Windows' status for Ctrl-C, as its default handler would
// (Wine's ends with 0, which would read as success), running no destructor on the way.
#include <windows.h>

#include <atomic>
#include <cwchar>

#include "cli/io/signals.h"
#include "cli/io/windows/wide_names.h"

namespace ansicrypt::cli {
namespace {

// The longest path Windows takes, with \\?\ in front.
wchar_t cleanupPath[32768];
std::atomic<bool> armed{false};

BOOL WINAPI OnConsoleControl(DWORD) {
  if (armed.load(std::memory_order_acquire)) ::DeleteFileW(cleanupPath);
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  return TRUE;
}

}  // namespace

void InstallSignalCleanup() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

void SetCleanupFile(const std::string& path) {
  armed.store(false, std::memory_order_release);
  const std::wstring wide = WideOfWtf8(path);
  if (wide.size() >= std::size(cleanupPath)) return;  // no temporary file has such a name
  std::wmemcpy(cleanupPath, wide.c_str(), wide.size() + 1);
  armed.store(true, std::memory_order_release);
}

void ClearCleanupFile() { armed.store(false, std::memory_order_release); }

}  // namespace ansicrypt::cli
