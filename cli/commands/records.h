// The text commands' records: one per operand, or one per line (or NUL-ended with -z) of standard
// input, converted on one or more threads and written one line each, in input order.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ansicrypt::cli {

struct RecordOptions {
  std::vector<std::string> operands;  // the records; none: standard input
  bool nulEnded = false;              // -z: records and results end with NUL, not a line feed
  unsigned jobs = 1;
  bool keepGoing = false;  // a bad record gives an empty line, and the command goes on
};

// A record the command cannot convert, with what to say about it ("not valid UTF-8"): reported as
// "ansicrypt: COMMAND: line N: MESSAGE".
class BadRecord : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Converts one record and appends its result (without a line end) to `out`; may set `warning` to
// a text reported on standard error. Raises BadRecord or ansicrypt::Error for a bad record.
using RecordOperation =
    std::function<void(std::string_view record, std::string& out, std::string& warning)>;

// Runs `operation` over every record and writes the results to standard output. A bad record is
// reported as "ansicrypt: COMMAND: line N: ..." and stops the command (raising Reported) unless
// `keepGoing`; then the command goes on and the function returns 1 at the end. Memory is bounded
// by the longest record, not by the input.
int RunRecords(const std::string& command, const RecordOptions& options,
               const RecordOperation& operation);

}  // namespace ansicrypt::cli
