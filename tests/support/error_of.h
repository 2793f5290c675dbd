// The error code that a call raises, for checks on error paths.
#pragma once

#include <gtest/gtest.h>

#include "ansicrypt/common/error.h"

namespace ansicrypt::test {

// Runs `f` and returns the errc of the ansicrypt::Error it raised; fails the test when it raised
// none.
template <class F>
errc ErrorOf(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    EXPECT_EQ(&e.code().category(), &error_category());
    return static_cast<errc>(e.code().value());
  }
  ADD_FAILURE() << "no error raised";
  return errc{};
}

}  // namespace ansicrypt::test
