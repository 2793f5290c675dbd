// The tool's command line on any arguments (the input split at NUL bytes): parsing never fails
// but with a UsageError, whose message has the tool's one form ("WHAT: MESSAGE", printable, on one
// line), and a command line that parses gives a command to run.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/command_line/parser.h"
#include "cli/commands/commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ansicrypt;
  static const std::vector<cli::Command> commands = cli::AllCommands();
  std::vector<std::string> arguments = {"ansicrypt"};
  std::string current;
  for (std::size_t i = 0; i < size && arguments.size() < 64; ++i) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty()) arguments.push_back(current);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  try {
    const cli::ParsedCommandLine parsed =
        cli::ParseCommandLine(static_cast<int>(arguments.size()), argv.data(), commands, "0.0.0");
    if (!parsed.run) std::abort();
  } catch (const cli::UsageError& e) {
    const std::string message = e.what();
    if (message.find(": ") == std::string::npos) std::abort();
    for (const char c : message) {
      // Arguments reach messages quoted: no control character comes through.
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
    }
  }
  return 0;
}
