// Where a command writes its result: standard output, a descriptor, or a file that is replaced
// only when the command succeeds. The tool never removes anything it did not create.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ansicrypt/common/types.h"

namespace ansicrypt::cli {

// A write to a pipe whose reader has gone: the tool ends quietly, as coreutils does.
class BrokenPipe : public std::exception {};

// The device and inode of a file (on Windows its volume's serial number and its file ID), to tell
// whether an input is also the output.
struct FileIdentity {
  // Windows may report no volume for a handle (Wine does for the standard handles it passes on).
  static constexpr std::uint64_t kUnknownDevice = ~std::uint64_t{0};

  std::uint64_t device;
  std::uint64_t inode;

  bool operator==(const FileIdentity&) const = default;  // surely one file
  // One file, or perhaps one file where a device is unknown: enough to refuse, never to write
  // to one in place of the other.
  bool MayBe(const FileIdentity& other) const {
    return inode == other.inode &&
           (device == other.device || device == kUnknownDevice || other.device == kUnknownDevice);
  }
};

std::optional<FileIdentity> IdentityOfPath(const std::string& path);  // symbolic links followed
std::optional<FileIdentity> IdentityOfDescriptor(int fd);             // regular files only

class TemporaryFile;

class Output {
 public:
  // "-": standard output. An OUT that names a descriptor of the process (/dev/stdout, /dev/fd/N,
  // /proc/self/fd/N...), or is the same file as standard output or standard error, is written
  // through that descriptor, in place and at its offset, as the caller's redirection would write
  // it. Otherwise OUT (symbolic links followed): when it is a regular file or does not exist yet,
  // the result goes to a temporary file beside it, renamed over it by Commit() with the old file's
  // mode, owner, group, access control list and extended attributes (hard links to the old file
  // keep the old content, as with sed -i); anything else (a device, a FIFO, a terminal) is written
  // directly and never removed.
  // Raises Failure when OUT cannot be written: the empty name, a closed descriptor, a file we may
  // not write (as the shell's > would refuse it), and a file that can be written but not replaced
  // as it is (what would not be kept is named, and > suggested).
  explicit Output(const std::string& path);
  ~Output();  // removes the temporary file unless committed
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Raises Failure on a write error, BrokenPipe when the reader of a pipe has gone.
  void Write(const std::uint8_t* data, std::size_t size);
  void Write(std::string_view text) {
    Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  }
  void Write(const ByteArray& bytes) { Write(bytes.data(), bytes.size()); }

  // Puts the result in place. Raises Failure.
  void Commit();

  // Raises Failure ("input file is output file") when the output is written in place (standard
  // output, a descriptor, a non-regular OUT) and is the same regular file as the input.
  void RefuseSameFile(const std::optional<FileIdentity>& input, const std::string& inputName) const;

  const std::string& name() const { return name_; }  // quoted, for messages

 private:
  void UseDescriptor(int fd);
  void StartReplacement(const std::string& path, const struct stat* existing);
  [[noreturn]] void RefuseReplacement(const std::string& why) const;

  std::string name_;
  int fd_ = -1;
  bool ownsDescriptor_ = false;
  std::unique_ptr<TemporaryFile> temporary_;  // while the result is written beside its target
  std::string target_;                        // the file it replaces
  std::optional<mode_t> mode_;                // the old file's mode; none for a new file
};

// Enlarges the kernel buffer of a pipe (up to the system's limit), so that reads and writes come
// in large pieces and both ends of the pipe run together; nothing for other files.
void WidenPipe(int fd);

}  // namespace ansicrypt::cli
