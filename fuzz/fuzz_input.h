// Splits a fuzzer's input into the pieces a target needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ansicrypt/common/types.h"

namespace ansicrypt::fuzz {

// Reads from the front of the fuzzer's data; a read past its end gives zeros or nothing.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return size_ > 0 ? (--size_, *data_++) : 0; }

  bool Flag() { return (Byte() & 1) != 0; }

  ByteArray Bytes(std::size_t n) {
    n = n < size_ ? n : size_;
    ByteArray bytes(data_, data_ + n);
    data_ += n;
    size_ -= n;
    return bytes;
  }

  ByteArray Rest() { return Bytes(size_); }

  // The rest as UTF-16 code units, low byte first (an odd last byte is dropped).
  Text RestAsText() {
    Text text;
    while (size_ >= 2) {
      const unsigned low = Byte();
      const unsigned high = Byte();
      text += static_cast<char16_t>(low | high << 8);
    }
    return text;
  }

  // One of the supported code pages.
  unsigned CodePage() {
    static constexpr unsigned kPages[] = {1252, 936,  932,  65001, 1251, 949,  950, 874,
                                          1250, 1253, 1254, 1255,  1256, 1257, 1258};
    return kPages[Byte() % (sizeof kPages / sizeof kPages[0])];
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace ansicrypt::fuzz
