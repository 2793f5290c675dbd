// The commands of the ansicrypt tool, each declared with its options, operands and help.
#pragma once

#include <vector>

#include "cli/command_line/command.h"

namespace ansicrypt::cli {

inline constexpr const char* kStreamsGroup = "Streams of bytes";
inline constexpr const char* kTextsGroup =
    "Texts, one record per argument or input line, through the ANSI code page";

// Streams of bytes, in the manner of coreutils and openssl.
Command Md5Command();
Command DesCommand();
Command Base64Command();

// Texts, one record each, through the ANSI code page: encrypt, decrypt, encode, decode, digest.
std::vector<Command> TextCommands();

Command SelftestCommand();

// Every command, in the order of the tool's help.
std::vector<Command> AllCommands();

}  // namespace ansicrypt::cli
