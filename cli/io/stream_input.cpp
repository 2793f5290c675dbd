// Stream inputs through the library's file reader.
#include "cli/io/stream_input.h"

#include <unistd.h>

#include <filesystem>

#include "cli/io/process.h"
#include "cli/io/report.h"
#include "cli/io/standard_descriptors.h"
#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {
namespace {

bool IsStandardInput(const std::string& operand) { return operand == "-"; }

}  // namespace

platform::InputFile StreamInput::Open(const std::string& operand, const std::string& name) {
  if (IsStandardInput(operand)) {
    WidenPipe(STDIN_FILENO);
    return platform::InputFile::StandardInput();
  }
  // A name of a descriptor that was closed names nothing, as the system would have found it.
  if (LeadsToClosedStandardDescriptor(operand)) {
    throw Failure(name, std::make_error_code(std::errc::no_such_file_or_directory));
  }
  try {
    return platform::InputFile(PathOfName(operand));
  } catch (const std::system_error& e) {
    throw Failure(name, e.code());
  }
}

StreamInput::StreamInput(const std::string& operand)
    : name_(IsStandardInput(operand) ? "standard input" : QuoteName(operand)),
      file_(Open(operand, name_)),
      identity_(IsStandardInput(operand) ? IdentityOfDescriptor(STDIN_FILENO)
                                         : IdentityOfPath(operand)) {}

std::size_t StreamInput::ReadFull(std::uint8_t* buffer, std::size_t size) {
  try {
    return file_.ReadFull(buffer, size);
  } catch (const std::system_error& e) {
    throw Failure(name_, e.code());
  }
}

}  // namespace ansicrypt::cli
