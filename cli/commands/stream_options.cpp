// The stream commands' input operand and output option.
#include "cli/commands/stream_options.h"

#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {

Option OutputOption(std::shared_ptr<std::string> out) {
  return {"output", 'o', "OUT",
          "write to OUT, replaced only when the command succeeds (default: standard output)",
          [out](const std::string& value) { *out = value; }};
}

std::string InputOperand(const std::string& command, const std::vector<std::string>& operands) {
  if (operands.size() > 1) {
    throw UsageError(command, "extra operand " + QuoteAlways(operands[1]), command);
  }
  return operands.empty() ? "-" : operands.front();
}

}  // namespace ansicrypt::cli
