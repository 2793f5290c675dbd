// The ansicrypt command-line tool: parses the command line, runs the chosen command and reports
// every failure in one place. Exit status: 0 success, 1 failure, 2 usage.
#include <CLI/CLI.hpp>

#include <malloc.h>

#include <csignal>
#include <sstream>

#include "ansicrypt/common/error.h"
#include "ansicrypt/platform/code_page.h"
#include "cli/arguments.h"
#include "cli/commands/commands.h"
#include "cli/io/output_file.h"
#include "cli/io/report.h"
#include "cli/io/signals.h"

namespace {

using namespace ansicrypt;

constexpr int kUsage = 2;

// Help and version texts go out through the same checked writes as every result.
int WriteText(const std::string& text) {
  try {
    cli::Output("-").Write(text);
    return 0;
  } catch (const cli::BrokenPipe&) {
    return 128 + SIGPIPE;
  } catch (const cli::Failure& f) {
    cli::ReportLine(f.what());
    return 1;
  }
}

// A usage error names what was not understood: an unknown command, option or argument.
int ReportUsage(const CLI::App& app, const CLI::ParseError& error) {
  std::string message = error.what();
  const std::vector<std::string> unknown = app.remaining(true);
  if (!unknown.empty()) {
    std::string first = unknown.front();
    if (!first.empty() && first[0] == '\x1f') first.erase(0, 1);  // a protected operand
    if (app.get_subcommands().empty() && first.rfind('-', 0) != 0) {
      message = "unknown command '" + first + "'";
    } else if (first.rfind('-', 0) == 0 && first != "-") {
      message = "unrecognized option '" + first + "'";
    } else {
      message = "unexpected argument '" + first + "'";
    }
  }
  cli::ReportMessage(message);
  cli::ReportLine("Try 'ansicrypt --help' for more information.");
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  cli::ReserveStandardDescriptors();
  // Buffers of long records go back to the system when freed, whichever thread freed them, so
  // that memory follows the records in flight, not the number of threads.
  mallopt(M_MMAP_THRESHOLD, 1 << 18);
  cli::InstallSignalCleanup();
  CLI::App app{
      "Byte-exact DES, triple DES, MD5 and Base64 of a legacy Windows program, for its data.\n"
      "DES, ECB and MD5 are broken for new designs: use this for legacy data only.",
      "ansicrypt"};
  app.set_version_flag("--version", "ansicrypt " ANSICRYPT_VERSION);
  app.require_subcommand(1);
  app.fallthrough();  // the global options may stand after the command too
  app.add_option("--codepage",
                 "ANSI code page of the texts (874, 932, 936, 949, 950, "
                 "1250-1258, 65001); default 1252")
      ->check([](const std::string& value) {
        try {
          std::size_t used = 0;
          const unsigned long number = std::stoul(value, &used);
          if (used != value.size()) throw std::invalid_argument(value);
          platform::SetAnsiCodePage(static_cast<unsigned>(number));
          return std::string();
        } catch (const std::exception&) {
          return "unknown code page " + value;
        }
      });
  app.add_flag_callback(
      "--best-fit", [] { platform::SetAnsiBestFit(true); },
      "Write characters the code page lacks as Windows' best fit does (\u0100 -> A) instead of ?");
  cli::Runner selected;
  cli::AddMd5Command(app, selected);
  cli::AddDesCommand(app, selected);
  cli::AddBase64Command(app, selected);
  cli::AddTextCommands(app, selected);
  cli::AddSelftestCommand(app, selected);

  const std::vector<std::string> arguments = cli::ProtectArguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::Success& e) {  // --help or --version
    std::ostringstream out, err;
    app.exit(e, out, err);
    return WriteText(out.str());
  } catch (const CLI::ParseError& e) {
    return ReportUsage(app, e);
  }
  const std::string command = app.get_subcommands().front()->get_name();
  try {
    return selected();
  } catch (const cli::BrokenPipe&) {
    return 128 + SIGPIPE;  // the reader has gone: end quietly, as coreutils does
  } catch (const cli::Reported&) {
    return 1;
  } catch (const cli::Failure& f) {
    cli::ReportLine(f.what());
  } catch (const std::system_error& e) {  // ansicrypt::Error too
    cli::ReportFailure(command, e.code());
  } catch (const std::exception& e) {
    cli::ReportMessage(command + ": " + e.what());
  }
  return 1;
}
