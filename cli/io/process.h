// What differs between systems in how the tool starts: its command line, the state of its process,
// and how it turns the names it was given into the system's paths.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ansicrypt::cli {

// The arguments as the tool works with them: the bytes given on POSIX systems; on Windows the
// UTF-16 command line, converted once (a lone surrogate of a file name is kept, as WTF-8 keeps it,
// so that the name still leads to its file).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Sets up the process after the standard descriptors were reserved and before any thread starts:
// the locale that message quoting reads, memory, and on Windows binary standard streams.
void PrepareProcess();

// True where the tool holds every name as UTF-8 whatever the locale says (Windows): messages then
// quote names as a UTF-8 locale would. Elsewhere names are bytes read in the locale.
bool NamesAreAlwaysUtf8();

// A name of the command line (or of a list) as a path of the system.
std::filesystem::path PathOfName(const std::string& name);

// errno after a write failed, EPIPE included on Windows, where the C runtime reports a pipe whose
// reader has gone as EINVAL.
int ErrnoOfFailedWrite();

// The exit status of a command whose output pipe lost its reader.
int BrokenPipeStatus();

}  // namespace ansicrypt::cli
