// The tool's command line, read as getopt_long reads it: global options, a command, then the
// command's options and operands in any order. "--opt=VALUE" and "-oVALUE" take exactly what
// follows, even nothing; "--opt VALUE" and "-o VALUE" take the next argument whatever it is ("--"
// and "-" too); only a "--" where an operand could stand ends the options; the last of a repeated
// option wins. Long options may be shortened to any unambiguous prefix, as in coreutils.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/command_line/command.h"

namespace ansicrypt::cli {

// What the global options ask for, applied once the whole command line is accepted.
struct GlobalSettings {
  std::optional<unsigned> codePage;  // --codepage N
  bool bestFit = false;              // --best-fit
};

// The global options: --codepage and --best-fit (before the command, or after it for the commands
// that honour them), --help and --version. Their actions write to `settings`.
std::vector<Option> GlobalOptions(GlobalSettings& settings);

struct ParsedCommandLine {
  Runner run;           // the chosen command, or writing the help or version text asked for
  std::string command;  // its name; empty for the tool's own help or version
  GlobalSettings settings;
};

// Parses argv[1..argc) against `commands`. Raises UsageError.
ParsedCommandLine ParseCommandLine(int argc, char** argv, const std::vector<Command>& commands,
                                   const std::string& version);

}  // namespace ansicrypt::cli
