// Files and standard streams for the command-line tool.
#include "cli/io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ansicrypt::cli {
namespace {

std::string Subject(const std::string& path, const char* standardName) {
  return IsStandardStream(path) ? standardName : path;
}

}  // namespace

Input::Input(const std::string& path)
    : name_(Subject(path, "standard input")),
      fd_(IsStandardStream(path) ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (fd_ < 0) throw Failure(name_, {errno, std::generic_category()});
}

Input::~Input() {
  if (fd_ != STDIN_FILENO) ::close(fd_);
}

std::size_t Input::ReadFull(std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd_, buffer + done, size - done);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Failure(name_, {errno, std::generic_category()});
    }
    done += static_cast<std::size_t>(n);
  }
  return done;
}

ByteArray Input::ReadFull(std::size_t size) {
  ByteArray bytes(size);
  bytes.resize(ReadFull(bytes.data(), size));
  return bytes;
}

std::string Input::ReadAll() {
  std::string all;
  constexpr std::size_t kChunk = 1 << 16;
  while (true) {
    const std::size_t at = all.size();
    all.resize(at + kChunk);
    const std::size_t n = ReadFull(reinterpret_cast<std::uint8_t*>(all.data() + at), kChunk);
    all.resize(at + n);
    if (n < kChunk) return all;
  }
}

Output::Output(const std::string& path)
    : name_(Subject(path, "standard output")),
      fd_(IsStandardStream(path)
              ? STDOUT_FILENO
              : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
  if (fd_ < 0) throw Failure(name_, {errno, std::generic_category()});
}

Output::~Output() {
  if (fd_ == STDOUT_FILENO) return;
  ::close(fd_);
  if (!committed_) ::unlink(name_.c_str());
}

void Output::Write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Failure(name_, {errno, std::generic_category()});
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void Output::Commit() { committed_ = true; }

void StripTrailingNewline(std::string& text) {
  if (!text.empty() && text.back() == '\n') {
    text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
  }
}

}  // namespace ansicrypt::cli
