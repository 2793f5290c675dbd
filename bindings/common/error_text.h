// A library error in words, as every binding shows it: "overflow (error 6)".
#pragma once

#include <string>
#include <system_error>

namespace ansicrypt::bindings {

std::string ErrorText(const std::error_code& code);

}  // namespace ansicrypt::bindings
