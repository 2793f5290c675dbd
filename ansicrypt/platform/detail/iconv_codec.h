// Conversion for multi-byte code pages (932, 936, 949, 950, 65001) through glibc iconv.
#pragma once

#include <iconv.h>

#include <bit>
#include <string_view>

#include "ansicrypt/common/types.h"

namespace ansicrypt::platform::detail {

inline constexpr const char* kUtf16 =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// An open iconv descriptor, closed with the object.
class IconvHandle {
 public:
  // Raises errc::invalid_argument when iconv cannot convert between the two.
  IconvHandle(const char* to, const char* from);
  ~IconvHandle();
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  iconv_t get() const { return handle_; }

 private:
  iconv_t handle_;
};

// Each thread keeps one pair of iconv descriptors for the code page it used last.
ByteArray IconvEncode(unsigned codePage, const char* iconvName, std::u16string_view text);
Text IconvDecode(unsigned codePage, const char* iconvName, const ByteArray& bytes);

// True when iconv can convert between UTF-16 and `iconvName`.
bool IconvKnows(const char* iconvName);

}  // namespace ansicrypt::platform::detail
