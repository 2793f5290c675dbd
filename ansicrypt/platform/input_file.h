// A file opened for reading only, as raw bytes: by name, or standard input as it stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

#include "ansicrypt/common/types.h"

namespace ansicrypt::platform {

// The UTF-8 form of a file name given as UTF-16 text. Raises errc::invalid_argument for a name
// that no file can have: empty, holding U+0000, or holding an unpaired surrogate.
std::string NativePath(const Text& name);

// The same name as a path: its UTF-8 bytes on POSIX systems, its UTF-16 units on Windows.
std::filesystem::path PathOfName(const Text& name);

// A narrow name as a path: its bytes on POSIX systems, its UTF-8 on Windows. Raises
// std::system_error: errc::invalid_argument for a name holding '\0' (it would open a shorter
// name), errc::illegal_byte_sequence on Windows for bytes that are not UTF-8.
std::filesystem::path PathOfNarrowName(std::string_view name);

class InputFile {
 public:
  // Opens the named file for reading only; never creates or writes it. Raises std::system_error
  // (generic category) when it does not exist, is a directory or cannot be opened, and
  // ansicrypt::Error for a name that NativePath refuses. A relative name is resolved against the
  // current directory; pipes and devices are read like files.
  explicit InputFile(const Text& name);

  // The same for a native path, whatever bytes its name holds (names that are not UTF-8 too).
  //   ansicrypt::platform::InputFile file(std::filesystem::path("caf\xE9"));
  explicit InputFile(const std::filesystem::path& path);

  // Standard input (descriptor 0) from where it stands: what a caller before us read is not read
  // again, and a socket or pipe works as well as a file. It is not closed with the object. On
  // Windows it is switched to binary mode: no CRLF is changed and no Ctrl-Z ends it.
  static InputFile StandardInput();

  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&&) = delete;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads up to `size` bytes; returns how many were read, 0 only at the end of the file. Raises
  // std::system_error (generic category) on a read error, standard input being a directory too.
  std::size_t Read(std::uint8_t* buffer, std::size_t size);

  // Reads until `size` bytes are in or the file ends; returns how many were read.
  std::size_t ReadFull(std::uint8_t* buffer, std::size_t size);

  // The descriptor read, for a caller that waits for input on it (poll) before it reads.
  int Descriptor() const noexcept { return fd_; }

  // Called when a signal interrupts a read (EINTR), before the read is tried again: a caller that
  // must answer signals (Python's Ctrl-C) raises from it to end the read.
  void OnInterrupt(std::function<void()> check) { onInterrupt_ = std::move(check); }

 private:
  InputFile(int fd, bool owned) : fd_(fd), owned_(owned) {}
  // The system's part (input_file_posix.cpp, input_file_windows.cpp).
  void Open(const std::filesystem::path& path);
  std::size_t ReadOnce(std::uint8_t* buffer, std::size_t size, bool& interrupted);
  static void Close(int fd) noexcept;

  int fd_;
  bool owned_;
  std::function<void()> onInterrupt_;
};

}  // namespace ansicrypt::platform
