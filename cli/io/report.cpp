// The tool's failure lines.
#include "cli/io/report.h"

#include <unistd.h>

#include <algorithm>

#include "ansicrypt/common/error.h"

namespace ansicrypt::cli {
namespace {

// One write per line, so that lines from several threads do not interleave; a failure to write to
// standard error has nowhere to be reported.
void WriteLine(const std::string& line) {
  std::size_t done = 0;
  while (done < line.size()) {
    // A line is short; the count is an unsigned int on Windows.
    const auto n = ::write(STDERR_FILENO, line.data() + done,
                           static_cast<unsigned>(std::min<std::size_t>(line.size() - done, 4096)));
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::string FailureLine(std::string_view subject, std::error_code code) {
  std::string line = "ansicrypt: ";
  line += subject;
  line += ": ";
  line += code.message();
  if (&code.category() == &error_category())
    line += " (error " + std::to_string(code.value()) + ")";
  return line;
}

std::string FailureLine(std::string_view subject, std::string_view message) {
  std::string line = "ansicrypt: ";
  line += subject;
  line += ": ";
  line += message;
  return line;
}

void ReportFailure(std::string_view subject, std::error_code code) {
  WriteLine(FailureLine(subject, code) + "\n");
}

void ReportMessage(std::string_view message) {
  WriteLine("ansicrypt: " + std::string(message) + "\n");
}

void ReportLine(std::string_view line) { WriteLine(std::string(line) + "\n"); }

}  // namespace ansicrypt::cli
