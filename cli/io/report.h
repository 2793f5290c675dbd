// How the tool reports: one line on standard error per failure, formed in one place.
//   ansicrypt: NAME: <system message>             a file or stream the system refused
//   ansicrypt: WHAT: <message> (error N)          the library's errors, with the legacy number
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace ansicrypt::cli {

// The line for a failure of `subject` (a quoted file name, a command, "line 17"...).
std::string FailureLine(std::string_view subject, std::error_code code);
std::string FailureLine(std::string_view subject, std::string_view message);

// Writes FailureLine, "ansicrypt: " + message, or a line FailureLine made, to standard error.
void ReportFailure(std::string_view subject, std::error_code code);
void ReportMessage(std::string_view message);
void ReportLine(std::string_view line);

// A failure that ends a command: main reports it and exits with status 1.
// what() is the whole line.
class Failure : public std::runtime_error {
 public:
  Failure(std::string_view subject, std::error_code code)
      : std::runtime_error(FailureLine(subject, code)) {}
  Failure(std::string_view subject, std::string_view message)
      : std::runtime_error(FailureLine(subject, message)) {}
};

// A failure already reported (for example a record that stopped a command): exit status 1 and
// nothing more to say.
class Reported : public std::exception {};

}  // namespace ansicrypt::cli
