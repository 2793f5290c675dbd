// Ctrl-C, Ctrl-Break and the console's closing call a handler on a thread of their own: it removes
// the temporary file (opened for deletion by others, so that it can be deleted while still open)
// and ends the process at once with Windows' status for Ctrl-C, as its default handler would
// (Wine's ends with 0, which would read as success), running no destructor on the way.
#include <windows.h>

#include <atomic>
#include <cstring>

#include "cli/io/signals.h"
#include "cli/io/windows/wide_names.h"

namespace ansicrypt::cli {
namespace {

// Each name is published whole through one pointer and never freed (a command makes one or two),
// so that the handler, on its own thread, never reads a name being written.
std::atomic<const wchar_t*> cleanupPath{nullptr};

BOOL WINAPI OnConsoleControl(DWORD) {
  if (const wchar_t* path = cleanupPath.load(std::memory_order_acquire)) ::DeleteFileW(path);
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
  return TRUE;
}

}  // namespace

void InstallSignalCleanup() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

void SetCleanupFile(const std::string& path) {
  const std::wstring wide = WideOfWtf8(path).value_or(std::wstring());
  auto* copy = new wchar_t[wide.size() + 1];
  std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  cleanupPath.store(copy, std::memory_order_release);
}

void ClearCleanupFile() { cleanupPath.store(nullptr, std::memory_order_release); }

}  // namespace ansicrypt::cli
