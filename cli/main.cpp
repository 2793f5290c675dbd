// The ansicrypt command-line tool: parses the command line, runs the chosen command and reports
// every failure in one place. Exit status: 0 success, 1 failure, 2 usage.
#include "ansicrypt/common/error.h"
#include "ansicrypt/platform/code_page.h"
#include "cli/command_line/parser.h"
#include "cli/commands/commands.h"
#include "cli/io/output_file.h"
#include "cli/io/process.h"
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
  cli::PrepareProcess();
  cli::InstallSignalCleanup();
  std::vector<std::string> arguments = cli::CommandLineArguments(argc, argv);
  // getopt reorders the pointers, never the texts.
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);

  const std::vector<cli::Command> commands = cli::AllCommands();
  cli::ParsedCommandLine parsed;
  try {
    parsed = cli::ParseCommandLine(static_cast<int>(arguments.size()), pointers.data(), commands,
                                   ANSICRYPT_VERSION);
  } catch (const cli::UsageError& e) {
    return ReportUsage(e);
  }
  const std::string subject = parsed.command.empty() ? "ansicrypt" : parsed.command;
  try {
    if (parsed.settings.codePage) platform::SetAnsiCodePage(*parsed.settings.codePage);
    if (parsed.settings.bestFit) platform::SetAnsiBestFit(true);
    return parsed.run();
  } catch (const cli::BrokenPipe&) {
    return cli::BrokenPipeStatus();  // the reader has gone: end quietly, as coreutils does
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
