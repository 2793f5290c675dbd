// The tool's Windows errors through the library's table.
#include "cli/io/windows/system_error.h"

#include <windows.h>

#include "ansicrypt/platform/detail/windows_errors.h"

namespace ansicrypt::cli {

std::error_code ErrorOfWindows(unsigned long error) {
  return std::error_code(platform::detail::ErrnoOfWindowsError(error), std::generic_category());
}

std::error_code LastWindowsError() { return ErrorOfWindows(::GetLastError()); }

}  // namespace ansicrypt::cli
