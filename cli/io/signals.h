// Signals that end the tool remove the temporary output file first, so that an interrupted command
// leaves no partial result behind; the tool then ends by the same signal, as it would have.
#pragma once

#include <string>

namespace ansicrypt::cli {

// Installs the handlers, for every signal whose default action ends the process (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, the real-time signals, and the
// signals of faults: SIGSEGV, SIGBUS, SIGABRT...); a signal ignored by whoever started the tool
// stays ignored. SIGXFSZ is ignored, so that a write past the file-size limit fails with EFBIG, an
// error like any other. Call once, before any thread starts.
void InstallSignalCleanup();

// The file a signal removes (a temporary output file with a name), or none.
void SetCleanupFile(const std::string& path);
void ClearCleanupFile();

}  // namespace ansicrypt::cli
