// What the commands over streams of bytes (des, base64) share on their command line: one input
// operand and the output option.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/command_line/command.h"

namespace ansicrypt::cli {

// The paragraph of their help on where the input comes from and the output goes.
inline constexpr const char* kStreamDetails =
    "With no FILE, or when FILE is -, read standard input from where it stands. Output goes to "
    "standard output unless -o OUT.";

// -o, --output=OUT, written into `out` ("-": standard output).
Option OutputOption(std::shared_ptr<std::string> out);

// The input among the operands: none ("-": standard input) or one; raises UsageError for more.
std::string InputOperand(const std::string& command, const std::vector<std::string>& operands);

}  // namespace ansicrypt::cli
