// Files and standard streams for the command-line tool, and its error type.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>

#include "ansicrypt/common/types.h"

namespace ansicrypt::cli {

// A failure that the tool reports as "ansicrypt: <subject>: <message> (error N)", exit status 1.
class Failure : public std::runtime_error {
 public:
  Failure(std::string subject, std::error_code code)
      : std::runtime_error(subject), subject_(std::move(subject)), code_(code) {}
  const std::string& subject() const { return subject_; }
  std::error_code code() const { return code_; }

 private:
  std::string subject_;
  std::error_code code_;
};

// The name under which "-" and an omitted file stand for a standard stream.
inline bool IsStandardStream(const std::string& path) { return path.empty() || path == "-"; }

// Reads a named file, or standard input for "-" or "".
class Input {
 public:
  explicit Input(const std::string& path);  // Failure when the file cannot be opened
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  // Fills `buffer` up to `size` bytes unless the input ends first; returns the count.
  std::size_t ReadFull(std::uint8_t* buffer, std::size_t size);
  ByteArray ReadFull(std::size_t size);
  std::string ReadAll();

 private:
  std::string name_;
  int fd_;
};

// Writes a named file, or standard output for "-" or "". A file that was not committed is removed
// when the object goes: an error leaves no partial result behind.
class Output {
 public:
  explicit Output(const std::string& path);  // Failure when the file cannot be created
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(const std::uint8_t* data, std::size_t size);
  void Write(const ByteArray& data) { Write(data.data(), data.size()); }
  void Write(std::string_view text) {
    Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }
  void Commit();

 private:
  std::string name_;
  int fd_;
  bool committed_ = false;
};

// Removes one trailing line feed (with a carriage return before it), as a shell pipe adds.
void StripTrailingNewline(std::string& text);

}  // namespace ansicrypt::cli
