// The ansicrypt command-line tool: parses the command line and reports every failure in one place.
#include <CLI/CLI.hpp>

#include <iostream>

#include "ansicrypt/common/error.h"
#include "ansicrypt/platform/code_page.h"
#include "cli/commands.h"
#include "cli/io.h"

namespace {

int Report(const std::string& subject, std::error_code code) {
  std::cerr << "ansicrypt: " << subject << ": " << code.message() << " (error " << code.value()
            << ")\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace ansicrypt;
  CLI::App app{
      "Byte-exact DES, triple DES, MD5 and Base64 of a legacy Windows program.\n"
      "DES, ECB and MD5 are broken for new designs: use this for legacy data only.",
      "ansicrypt"};
  app.set_version_flag("--version", "ansicrypt " ANSICRYPT_VERSION);
  app.require_subcommand(1);
  app.fallthrough();  // --codepage may stand after the subcommand too
  unsigned codePage = 1252;
  app.add_option("--codepage", codePage,
                 "ANSI code page for texts (874, 932, 936, 949, 950, "
                 "1250-1258, 65001)")
      ->check([](const std::string& value) {
        try {
          platform::SetAnsiCodePage(static_cast<unsigned>(std::stoul(value)));
          return std::string();
        } catch (const std::exception&) {
          return "unknown code page " + value;
        }
      });
  app.add_flag_callback(
      "--best-fit", [] { platform::SetAnsiBestFit(true); },
      "Write characters the code page lacks as Windows' best fit does (\"\u0100\" -> \"A\") "
      "instead of \"?\"");
  cli::Runner selected;
  cli::AddMd5Command(app, selected);
  cli::AddTextCipherCommands(app, selected);
  cli::AddDesCommand(app, selected);
  cli::AddBase64Command(app, selected);
  cli::AddSelftestCommand(app, selected);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "ansicrypt: " << e.what() << "\nRun with --help for more information.\n";
    return 2;
  }
  const std::string command = app.get_subcommands().front()->get_name();
  try {
    return selected();
  } catch (const cli::Failure& f) {
    return Report(f.subject(), f.code());
  } catch (const std::system_error& e) {
    return Report(command, e.code());
  } catch (const std::exception& e) {
    std::cerr << "ansicrypt: " << command << ": " << e.what() << "\n";
    return 1;
  }
}
