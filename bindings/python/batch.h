// The batch forms of the text operations and of MD5: encrypt_des_str_to_hex_many and the others.
#pragma once

#include <cstddef>
#include <system_error>

#include "bindings/python/values.h"

namespace ansicrypt::python {

// The first value of a strict batch call that failed: raised as ansicrypt.Error with .index.
struct BatchFailure {
  std::size_t index;
  std::error_code code;
};

void DefineBatchFunctions(py::module_& m);

}  // namespace ansicrypt::python
