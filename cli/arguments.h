// The command line as the tool reads it: operands are file names and texts, taken as they are.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace ansicrypt::cli {

// CLI11 reads an argument written [a,b] as a list of two, and a "--" that follows an operand as the
// end of the command. Protect marks every argument that begins with '[' (or with the mark), and
// every argument after the first "--" (which it drops), so that CLI11 takes them as plain values;
// Verbatim removes the mark again from an option's values.
std::vector<std::string> ProtectArguments(int argc, const char* const* argv);
CLI::Option* Verbatim(CLI::Option* option);

// Descriptors 0, 1 and 2 that are closed are opened on /dev/null the wrong way round (standard
// input for writing, the others for reading), so that no file the tool opens takes their number
// and every use of them fails with EBADF, as with a closed descriptor.
void ReserveStandardDescriptors();

}  // namespace ansicrypt::cli
