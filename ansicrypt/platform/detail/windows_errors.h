// Windows' error codes as errno values, so that a failure reads the same on every system ("No such
// file or directory") and callers test one set of codes (EMFILE makes the file lanes wait).
#pragma once

namespace ansicrypt::platform::detail {

int ErrnoOfWindowsError(unsigned long error);  // a GetLastError() value

}  // namespace ansicrypt::platform::detail
