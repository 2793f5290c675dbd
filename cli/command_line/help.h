// The help texts, in the layout of coreutils' --help, made from the commands' declarations (the
// man page is written from them by help2man).
#pragma once

#include <string>
#include <vector>

#include "cli/command_line/command.h"

namespace ansicrypt::cli {

// The tool's help: usage, the commands by group, the global options.
std::string ToolHelp(const std::vector<Command>& commands, const std::vector<Option>& globals);

// A command's help: usage, summary, its options, the global options it honours, details.
std::string CommandHelp(const Command& command, const std::vector<Option>& globals);

}  // namespace ansicrypt::cli
