// Windows' error codes as the errno values the rest of the tool reports, so that messages read the
// same on every system ("No such file or directory").
#pragma once

#include <system_error>

namespace ansicrypt::cli {

std::error_code ErrorOfWindows(unsigned long error);  // a GetLastError() value
std::error_code LastWindowsError();

}  // namespace ansicrypt::cli
