// The numbered errors that the library raises to its callers.
#pragma once

#include <string>
#include <system_error>
#include <type_traits>

namespace ansicrypt {

// The legacy system's error numbers, kept so that callers can match them.
enum class errc : int {
  invalid_argument = 5,  // an argument the operation cannot take (unknown code page, bad length)
  overflow = 6,          // a count or value leaves the range of its type (the length limits)
  out_of_range = 9,    // an index outside an array or table, or an empty array where data is needed
  type_mismatch = 13,  // a text read as a number is not one
};

// The category of every ansicrypt error code; name() is "ansicrypt".
const std::error_category& error_category() noexcept;

std::error_code make_error_code(errc e) noexcept;

// Every failure the library raises is an Error; code().value() is the legacy error number.
//   try { des.EncryptDes_ArrToArr(in, out, key, dir); }
//   catch (const ansicrypt::Error& e) { if (e.code() == ansicrypt::errc::overflow) ... }
class Error : public std::system_error {
 public:
  explicit Error(errc e);
};

}  // namespace ansicrypt

template <>
struct std::is_error_code_enum<ansicrypt::errc> : std::true_type {};
