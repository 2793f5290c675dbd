// The ansicrypt error category and the Error exception.
#include "ansicrypt/common/error.h"

namespace ansicrypt {
namespace {

class Category final : public std::error_category {
 public:
  const char* name() const noexcept override { return "ansicrypt"; }

  std::string message(int value) const override {
    switch (static_cast<errc>(value)) {
      case errc::invalid_argument:
        return "invalid argument";
      case errc::overflow:
        return "overflow";
      case errc::out_of_range:
        return "subscript out of range";
      case errc::type_mismatch:
        return "type mismatch";
    }
    return "unknown error " + std::to_string(value);
  }
};

}  // namespace

const std::error_category& error_category() noexcept {
  static const Category category;
  return category;
}

std::error_code make_error_code(errc e) noexcept { return {static_cast<int>(e), error_category()}; }

Error::Error(errc e) : std::system_error(make_error_code(e)) {}

}  // namespace ansicrypt
