// What every output does, whatever the system: writes in full, refusals, the end of a replacement.
#include "cli/io/output_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "cli/io/process.h"
#include "cli/io/report.h"
#include "cli/io/temporary_file.h"

namespace ansicrypt::cli {
namespace {

constexpr const char* kUseRedirection = "; write to it with > instead";

// One write never asks for more than this: Windows counts a write's bytes in 32 bits.
constexpr std::size_t kLargestWrite = std::size_t{1} << 30;

}  // namespace

void Output::RefuseReplacement(const std::string& why) const {
  throw Failure(name_, "cannot replace it " + why + kUseRedirection);
}

Output::~Output() {
  temporary_.reset();
  if (ownsDescriptor_ && fd_ >= 0) ::close(fd_);
}

void Output::Write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const auto n = ::write(fd_, data, static_cast<unsigned>(std::min(size, kLargestWrite)));
    if (n < 0) {
      const int error = ErrnoOfFailedWrite();
      if (error == EINTR) continue;
      if (error == EPIPE) throw BrokenPipe();
      throw Failure(name_, std::error_code(error, std::generic_category()));
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void Output::RefuseSameFile(const std::optional<FileIdentity>& input,
                            const std::string& inputName) const {
  if (temporary_ || !input) return;
  const std::optional<FileIdentity> output = IdentityOfDescriptor(fd_);
  if (output && input->MayBe(*output)) throw Failure(inputName, "input file is output file");
}

}  // namespace ansicrypt::cli
