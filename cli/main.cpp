// The ansicrypt command-line tool: parses the command line, runs the chosen command and reports
// every failure in one place. Exit status: 0 success, 1 failure, 2 usage.
#include <malloc.h>

#include <clocale>
#include <csignal>

#include "ansicrypt/common/error.h"
#include "ansicrypt/platform/code_page.h"
#include "cli/command_line/parser.h"
#include "cli/commands/commands.h"
#include "cli/io/output_file.h"
#include "cli/io/report.h"
#include "cli/io/signals.h"
#include "cli/io/standard_descriptors.h"

namespace {

using namespace ansicrypt;

constexpr int kUsage = 2;

int ReportUsage(const cli::UsageError& error) {
  cli::ReportMessage(error.what());
  const std::string help =
      error.command().empty() ? "ansicrypt --help" : "ansicrypt " + error.command() + " --help";
  cli::ReportLine("Try '" + help + "' for more information.");
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  cli::ReserveStandardDescriptors();
  // Names in messages are quoted as md5sum quotes them in the user's locale; nothing else reads
  // the locale (messages stay in English, numbers and texts are the tool's own).
  std::setlocale(LC_CTYPE, "");
  // Buffers of long records go back to the system when freed, whichever thread freed them, so
  // that memory follows the records in flight, not the number of threads.
  mallopt(M_MMAP_THRESHOLD, 1 << 18);
  cli::InstallSignalCleanup();

  const std::vector<cli::Command> commands = cli::AllCommands();
  cli::ParsedCommandLine parsed;
  try {
    parsed = cli::ParseCommandLine(argc, argv, commands, ANSICRYPT_VERSION);
  } catch (const cli::UsageError& e) {
    return ReportUsage(e);
  }
  const std::string subject = parsed.command.empty() ? "ansicrypt" : parsed.command;
  try {
    if (parsed.settings.codePage) platform::SetAnsiCodePage(*parsed.settings.codePage);
    if (parsed.settings.bestFit) platform::SetAnsiBestFit(true);
    return parsed.run();
  } catch (const cli::BrokenPipe&) {
    return 128 + SIGPIPE;  // the reader has gone: end quietly, as coreutils does
  } catch (const cli::Reported&) {
    return 1;
  } catch (const cli::Failure& f) {
    cli::ReportLine(f.what());
  } catch (const std::system_error& e) {  // ansicrypt::Error too
    cli::ReportFailure(subject, e.code());
  } catch (const std::exception& e) {
    cli::ReportMessage(subject + ": " + e.what());
  }
  return 1;
}
