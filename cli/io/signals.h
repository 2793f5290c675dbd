// SIGINT, SIGTERM and SIGHUP end the tool with status 128 + the signal, removing the temporary
// output file first, so that an interrupted command leaves no partial result behind.
#pragma once

#include <string>

namespace ansicrypt::cli {

// Installs the handlers; call once, before any thread starts.
void InstallSignalCleanup();

// The file a signal removes (a temporary output file), or none.
void SetCleanupFile(const std::string& path);
void ClearCleanupFile();

}  // namespace ansicrypt::cli
