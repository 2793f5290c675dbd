// The legacy number after the message.
#include "bindings/common/error_text.h"

namespace ansicrypt::bindings {

std::string ErrorText(const std::error_code& code) {
  return code.message() + " (error " + std::to_string(code.value()) + ")";
}

}  // namespace ansicrypt::bindings
