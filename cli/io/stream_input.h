// The input of a stream command (md5 aside): FILE, or standard input as it stands for none or "-".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ansicrypt/platform/input_file.h"
#include "cli/io/output_file.h"

namespace ansicrypt::cli {

class StreamInput {
 public:
  // Raises Failure when FILE cannot be opened.
  explicit StreamInput(const std::string& operand);

  // Reads until `size` bytes are in or the input ends; returns how many. Raises Failure.
  std::size_t ReadFull(std::uint8_t* buffer, std::size_t size);

  const std::string& name() const { return name_; }  // quoted, for messages
  // The regular file behind the input, if it is one, to refuse writing over it in place.
  const std::optional<FileIdentity>& identity() const { return identity_; }

 private:
  static platform::InputFile Open(const std::string& operand, const std::string& name);

  std::string name_;
  platform::InputFile file_;
  std::optional<FileIdentity> identity_;
};

}  // namespace ansicrypt::cli
