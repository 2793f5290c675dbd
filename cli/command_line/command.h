// What each command of the tool declares: its options, its operands and its help. The parser and
// the help texts are made from these declarations, so that they cannot drift apart.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ansicrypt::cli {

// A command line the tool does not accept: reported as "ansicrypt: WHAT: MESSAGE" and a line that
// points at the help of `command` (the tool's own help when empty); exit status 2.
class UsageError : public std::runtime_error {
 public:
  UsageError(std::string_view what, std::string_view message, std::string command = "");
  const std::string& command() const { return command_; }
  void set_command(std::string command) { command_ = std::move(command); }

 private:
  std::string command_;
};

struct Option {
  std::string longName;   // "output" for --output
  char shortName = 0;     // 'o' for -o; 0 for none
  std::string valueName;  // "OUT" for --output=OUT; empty for a flag
  std::string help;
  // Called for each occurrence, in command-line order, with its value ("" for a flag), so that
  // the last of a repeated option wins. Raises UsageError for a value it refuses.
  std::function<void(const std::string& value)> apply;
};

// Runs a command once its command line is parsed; returns the exit status.
using Runner = std::function<int()>;

struct Command {
  std::string name;
  std::string group;             // the heading it is listed under in the tool's help
  std::string synopsis;          // what follows "ansicrypt NAME" in the usage line
  std::string summary;           // one line
  std::string details;           // paragraphs after the options in its help; may be empty
  bool honoursCodePage = false;  // --codepage and --best-fit change its results
  std::vector<Option> options;
  // Called once the whole command line is parsed, with the operands in order: checks them and the
  // options together (raising UsageError) and gives what runs the command.
  std::function<Runner(std::vector<std::string> operands)> finish;
};

}  // namespace ansicrypt::cli
