// The commands in the order of the tool's help.
#include "cli/commands/commands.h"

namespace ansicrypt::cli {

std::vector<Command> AllCommands() {
  std::vector<Command> commands = {Md5Command(), DesCommand(), Base64Command()};
  for (Command& text : TextCommands()) commands.push_back(std::move(text));
  commands.push_back(SelftestCommand());
  return commands;
}

}  // namespace ansicrypt::cli
