// Help texts: options in two columns, descriptions wrapped at 79 columns.
#include "cli/command_line/help.h"

#include <algorithm>

namespace ansicrypt::cli {
namespace {

constexpr std::size_t kWidth = 79;
constexpr std::size_t kWidestColumn = 26;

// "  -o, --output=OUT" or "      --best-fit".
std::string OptionColumn(const Option& o) {
  std::string column = o.shortName != 0 ? std::string("  -") + o.shortName + ", " : "      ";
  column += "--" + o.longName;
  if (!o.valueName.empty()) column += "=" + o.valueName;
  return column;
}

// `text` broken into lines of at most kWidth columns where it can be, starting at column
// `column`, each further line indented by `indent`.
std::string Wrapped(const std::string& text, std::size_t indent, std::size_t column) {
  std::string out;
  bool first = true;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    at = end + 1;
    if (word.empty()) continue;
    if (!first && column + 1 + word.size() > kWidth) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
    } else if (!first) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    first = false;
  }
  return out;
}

std::string OptionList(const std::vector<const Option*>& options) {
  std::size_t width = 0;
  for (const Option* o : options) width = std::max(width, OptionColumn(*o).size());
  width = std::min(width, kWidestColumn) + 2;
  std::string out;
  for (const Option* o : options) {
    std::string line = OptionColumn(*o);
    if (line.size() + 2 > width) {
      out += line + "\n" + std::string(width, ' ');
    } else {
      out += line + std::string(width - line.size(), ' ');
    }
    out += Wrapped(o->help, width, width) + "\n";
  }
  return out;
}

std::string Paragraphs(const std::string& text) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    out += line.empty() ? "\n" : Wrapped(line, 0, 0) + "\n";
    at = end + 1;
  }
  return out;
}

const Option* FindGlobal(const std::vector<Option>& globals, const std::string& name) {
  for (const Option& g : globals) {
    if (g.longName == name) return &g;
  }
  return nullptr;
}

}  // namespace

std::string ToolHelp(const std::vector<Command>& commands, const std::vector<Option>& globals) {
  std::string out =
      "Usage: ansicrypt [--codepage=N] [--best-fit] COMMAND [OPTION]... [OPERAND]...\n"
      "Byte-exact DES, triple DES, MD5 and Base64 of a legacy Windows program, for its data.\n"
      "DES, ECB and MD5 are broken for new designs: use this for legacy data only.\n";
  std::size_t width = 0;
  for (const Command& c : commands) width = std::max(width, c.name.size());
  std::string group;
  for (const Command& c : commands) {
    if (c.group != group) {
      group = c.group;
      out += "\n" + group + ":\n";
    }
    out += "  " + c.name + std::string(width + 3 - c.name.size(), ' ') +
           Wrapped(c.summary, width + 5, width + 5) + "\n";
  }
  out +=
      "\nGlobal options, before the command (or after it, for the commands that honour "
      "them):\n";
  std::vector<const Option*> options;
  for (const Option& g : globals) options.push_back(&g);
  out += OptionList(options);
  out += "\nRun 'ansicrypt COMMAND --help' for the options of a command.\n";
  return out;
}

std::string CommandHelp(const Command& command, const std::vector<Option>& globals) {
  std::string out = "Usage: ansicrypt " + command.name + " " + command.synopsis + "\n";
  out += Paragraphs(command.summary);
  out += "\n";
  std::vector<const Option*> options;
  for (const Option& o : command.options) options.push_back(&o);
  options.push_back(FindGlobal(globals, "help"));
  out += OptionList(options);
  if (command.honoursCodePage) {
    out += "\nGlobal options it honours (also before the command):\n";
    out += OptionList({FindGlobal(globals, "codepage"), FindGlobal(globals, "best-fit")});
  }
  if (!command.details.empty()) out += "\n" + Paragraphs(command.details);
  return out;
}

}  // namespace ansicrypt::cli
