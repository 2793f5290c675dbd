// Lines read in large pieces, with a look at the input first to learn whether any is waiting.
#include "cli/io/line_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

namespace ansicrypt::cli {
namespace {

constexpr std::size_t kReadBytes = 1 << 16;

}  // namespace

LineReader::LineReader(platform::InputFile& file) : file_(file) {
  struct stat status {};
  regular_ = ::fstat(file_.Descriptor(), &status) == 0 && S_ISREG(status.st_mode);
}

bool LineReader::HasLine() const {
  return buffer_.find('\n', std::max(start_, scanned_)) != std::string::npos;
}

std::optional<std::string> LineReader::Next() {
  while (true) {
    const std::size_t end = buffer_.find('\n', std::max(start_, scanned_));
    if (end != std::string::npos) {
      std::string line = buffer_.substr(start_, end - start_);
      start_ = end + 1;
      scanned_ = start_;
      return line;
    }
    scanned_ = buffer_.size();
    if (ended_ || stopped_) {
      if (failure_ && start_ == buffer_.size()) std::rethrow_exception(std::exchange(failure_, {}));
      if (stopped_ || start_ == buffer_.size()) return std::nullopt;
      std::string last = buffer_.substr(start_);
      start_ = buffer_.size();
      return last;
    }
    if (!Fill(true)) return std::nullopt;
  }
}

bool LineReader::Ready() {
  while (true) {
    if (ended_ || stopped_ || regular_ || HasLine()) return true;
    if (!Fill(false)) return false;
  }
}

bool LineReader::Fill(bool wait) {
  if (!regular_) {
    const InputState state = WaitForInput(file_.Descriptor(), stop_, wait);
    if (state == InputState::stopped) {
      stopped_ = true;
      return false;
    }
    if (state == InputState::pending) return false;
  }
  // What was handed over goes, so that the buffer holds one line and one read.
  if (start_ > 0 && (start_ == buffer_.size() || start_ >= kReadBytes)) {
    buffer_.erase(0, start_);
    scanned_ -= std::min(scanned_, start_);
    start_ = 0;
  }
  const std::size_t had = buffer_.size();
  buffer_.resize(had + kReadBytes);
  std::size_t n = 0;
  try {
    n = file_.Read(reinterpret_cast<std::uint8_t*>(buffer_.data() + had), kReadBytes);
  } catch (const std::system_error&) {
    // Raised by Next once the lines before it are handed over; Ready says nothing of it.
    failure_ = std::current_exception();
  }
  buffer_.resize(had + n);
  ended_ = n == 0;
  return true;
}

}  // namespace ansicrypt::cli
