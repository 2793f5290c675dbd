// The lines of an input as they arrive: each line is handed over as soon as it is complete, so
// that a list fed slowly through a pipe is answered line by line, and memory holds one line (and
// one read) at a time, whatever the length of the input.
#pragma once

#include <exception>
#include <optional>
#include <string>

#include "ansicrypt/platform/input_file.h"
#include "cli/io/input_wait.h"

namespace ansicrypt::cli {

class LineReader {
 public:
  explicit LineReader(platform::InputFile& file);

  // Ends a wait for input once raised, for a reader on another thread than the one that stops it.
  void StopWith(const StopSignal& stop) { stop_ = &stop; }

  // The next line, without its line feed (the last line may lack one); nothing at the end of the
  // input, or once stopped. Waits for input. Raises std::system_error on a read error.
  std::optional<std::string> Next();

  // True when Next would answer without waiting for input.
  bool Ready();

  // False for an input whose reads never wait (a regular file).
  bool MayWait() const { return !regular_; }

 private:
  // Reads once, after waiting for input when `wait`; false when nothing was read for want of
  // input (without `wait`) or because the wait was stopped.
  bool Fill(bool wait);
  bool HasLine() const;

  platform::InputFile& file_;
  const StopSignal* stop_ = nullptr;
  bool regular_ = false;  // reads of a regular file never wait
  std::string buffer_;
  std::size_t start_ = 0;    // the unread part of buffer_ starts here
  std::size_t scanned_ = 0;  // no line feed between start_ and here
  bool ended_ = false;
  bool stopped_ = false;
  std::exception_ptr failure_;  // a read failed: no more input
};

}  // namespace ansicrypt::cli
