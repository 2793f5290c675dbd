// The command line through getopt_long, with the tool's own messages instead of getopt's.
#include "cli/command_line/parser.h"

#include <getopt.h>

#include <algorithm>
#include <map>

#include "cli/command_line/help.h"
#include "cli/command_line/values.h"
#include "cli/io/output_file.h"
#include "cli/md5sum/shell_quote.h"

namespace ansicrypt::cli {
namespace {

// --help and --version end the parsing where they stand, as in coreutils.
struct HelpRequested {};
struct VersionRequested {};

// getopt_long's value for an option without a short name.
constexpr int kFirstLongOnly = 256;

// getopt_long's tables for a set of options, and the option behind each value it returns.
class GetoptTables {
 public:
  // `inOrder`: non-options come back in order as value 1 (a command's operands); otherwise the
  // scan stops at the first one (the command).
  GetoptTables(const std::vector<const Option*>& options, bool inOrder)
      : shorts_(inOrder ? "-:" : "+:") {
    for (std::size_t i = 0; i < options.size(); ++i) {
      const Option& o = *options[i];
      const bool takesValue = !o.valueName.empty();
      const int value =
          o.shortName != 0 ? static_cast<unsigned char>(o.shortName) : kFirstLongOnly + int(i);
      if (o.shortName != 0) {
        shorts_ += o.shortName;
        if (takesValue) shorts_ += ':';
      }
      longs_.push_back(
          {o.longName.c_str(), takesValue ? required_argument : no_argument, nullptr, value});
      byValue_[value] = &o;
    }
    longs_.push_back({nullptr, 0, nullptr, 0});
  }

  const char* shorts() const { return shorts_.c_str(); }
  const struct option* longs() const { return longs_.data(); }
  const Option* Find(int value) const {
    const auto it = byValue_.find(value);
    return it == byValue_.end() ? nullptr : it->second;
  }
  std::vector<std::string> LongNamesStartingWith(std::string_view prefix) const {
    std::vector<std::string> names;
    for (const auto& [value, o] : byValue_) {
      if (o->longName.compare(0, prefix.size(), prefix) == 0) names.push_back("--" + o->longName);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string shorts_;
  std::vector<struct option> longs_;
  std::map<int, const Option*> byValue_;
};

// "--name" of "--name=value": what a message names, never the value (it may be a key).
std::string LongOptionName(std::string_view argument) {
  return std::string(argument.substr(0, argument.find('=')));
}

// The UsageError for an option getopt_long refused: unknown, ambiguous or misused. `argument` is
// the argument getopt_long was reading (it stays on a cluster of short options until its end),
// `character` the short option it met there (0 for a long option).
[[noreturn]] void RaiseRefusal(bool missingValue, std::string_view argument, int character,
                               const GetoptTables& tables, const std::string& command) {
  const bool longForm = argument.size() > 2 && argument.substr(0, 2) == "--";
  const Option* option = tables.Find(character);
  if (missingValue && option != nullptr) {
    const std::string name =
        longForm ? "--" + option->longName : std::string{'-', option->shortName};
    throw UsageError(name, "needs a value", command);
  }
  if (longForm) {
    if (option != nullptr) throw UsageError("--" + option->longName, "takes no value", command);
    const std::string name = LongOptionName(argument);
    const std::vector<std::string> candidates = tables.LongNamesStartingWith(name.substr(2));
    if (candidates.size() > 1) {
      std::string list;
      for (const std::string& candidate : candidates)
        list += (list.empty() ? "" : ", ") + candidate;
      throw UsageError(QuoteName(name), "ambiguous option (" + list + ")", command);
    }
    throw UsageError(QuoteName(name), "unrecognized option", command);
  }
  // "-z=1": a flag that cannot take a value is followed by "=".
  const std::size_t equals = argument.find('=');
  if (character == '=' && equals != std::string_view::npos && equals >= 2 &&
      tables.Find(static_cast<unsigned char>(argument[equals - 1])) != nullptr) {
    throw UsageError(std::string{'-', argument[equals - 1]}, "takes no value", command);
  }
  if (argument.size() == 2) throw UsageError(QuoteName(argument), "unrecognized option", command);
  throw UsageError(
      QuoteName(argument),
      "unrecognized option character " + QuoteAlways(std::string(1, static_cast<char>(character))),
      command);
}

// Runs getopt_long over args[1..]: each option to its action, in order, each non-option to
// `operand` (with `inOrder`). Returns the index of the first argument not scanned.
int Scan(std::vector<char*>& args, const std::vector<const Option*>& options, bool inOrder,
         const std::string& command, std::vector<std::string>* operands) {
  const GetoptTables tables(options, inOrder);
  const int count = static_cast<int>(args.size()) - 1;  // without the closing null
  optind = 0;                                           // a full restart, as for a new command line
  opterr = 0;                                           // the messages are ours
  while (true) {
    const int before = optind == 0 ? 1 : optind;
    const int code = getopt_long(count, args.data(), tables.shorts(), tables.longs(), nullptr);
    if (code == -1) return optind;
    if (code == 1) {
      operands->emplace_back(optarg);
      continue;
    }
    const std::string_view argument = args[static_cast<std::size_t>(before)];
    if (code == '?' || code == ':') RaiseRefusal(code == ':', argument, optopt, tables, command);
    const Option* option = tables.Find(code);
    // getopt_long reads the mode characters that open its option string ("-", "+") as options of
    // their own: "-d-" holds no option of ours.
    if (option == nullptr) RaiseRefusal(false, argument, code, tables, command);
    try {
      option->apply(option->valueName.empty() ? std::string() : std::string(optarg));
    } catch (UsageError& e) {
      if (e.command().empty()) e.set_command(command);
      throw;
    }
  }
}

std::vector<const Option*> Pointers(const std::vector<Option>& options) {
  std::vector<const Option*> pointers;
  for (const Option& o : options) pointers.push_back(&o);
  return pointers;
}

Runner WriteText(std::string text) {
  return [text = std::move(text)] {
    Output out("-");
    out.Write(text);
    out.Commit();
    return 0;
  };
}

std::string UsageText(std::string_view what, std::string_view message) {
  std::string text(what);
  text += ": ";
  text += message;
  return text;
}

}  // namespace

UsageError::UsageError(std::string_view what, std::string_view message, std::string command)
    : std::runtime_error(UsageText(what, message)), command_(std::move(command)) {}

std::vector<Option> GlobalOptions(GlobalSettings& settings) {
  return {
      {"codepage", 0, "N",
       "the ANSI code page of the texts: 874, 932, 936, 949, 950, 1250 to 1258, or 65001 "
       "(UTF-8); 1252 by default",
       [&settings](const std::string& value) {
         settings.codePage = ReadCodePage(value, "--codepage");
       }},
      {"best-fit", 0, "",
       "write a character the code page lacks as Windows' best fit does (\u0100 -> A) instead "
       "of ?",
       [&settings](const std::string&) { settings.bestFit = true; }},
      {"help", 0, "", "display this help and exit",
       [](const std::string&) { throw HelpRequested(); }},
      {"version", 0, "", "output version information and exit",
       [](const std::string&) { throw VersionRequested(); }},
  };
}

ParsedCommandLine ParseCommandLine(int argc, char** argv, const std::vector<Command>& commands,
                                   const std::string& version) {
  ParsedCommandLine parsed;
  const std::vector<Option> globals = GlobalOptions(parsed.settings);
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);

  int at = 0;
  try {
    at = Scan(args, Pointers(globals), false, "", nullptr);
  } catch (const HelpRequested&) {
    parsed.run = WriteText(ToolHelp(commands, globals));
    return parsed;
  } catch (const VersionRequested&) {
    parsed.run = WriteText("ansicrypt " + version + "\n");
    return parsed;
  }
  if (at >= argc) {
    std::string names;
    for (const Command& c : commands) names += (names.empty() ? "" : ", ") + c.name;
    throw UsageError("missing command", "give one of " + names);
  }
  const std::string name = argv[at];
  const auto command = std::find_if(commands.begin(), commands.end(),
                                    [&](const Command& c) { return c.name == name; });
  if (command == commands.end()) throw UsageError(QuoteName(name), "unknown command");
  parsed.command = command->name;

  // The command's options, then the global ones it honours; --version only before the command.
  std::vector<const Option*> options = Pointers(command->options);
  for (const Option& g : globals) {
    const bool codePage = g.longName == "codepage" || g.longName == "best-fit";
    if (g.longName == "help" || (codePage && command->honoursCodePage)) options.push_back(&g);
  }
  std::vector<char*> rest(args.begin() + at, args.end());
  std::vector<std::string> operands;
  try {
    const int end = Scan(rest, options, true, command->name, &operands);
    for (std::size_t i = static_cast<std::size_t>(end); i + 1 < rest.size(); ++i)
      operands.emplace_back(rest[i]);
  } catch (const HelpRequested&) {
    parsed.run = WriteText(CommandHelp(*command, globals));
    return parsed;
  }
  parsed.run = command->finish(std::move(operands));
  return parsed;
}

}  // namespace ansicrypt::cli
