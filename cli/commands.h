// The subcommands of the ansicrypt tool. Each Add function registers one subcommand and, when the
// command line chooses it, stores in `selected` the function that runs it and gives the exit
// status. Runners raise cli::Failure, ansicrypt::Error or std::system_error; main reports them.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace ansicrypt::cli {

using Runner = std::function<int()>;

void AddMd5Command(CLI::App& app, Runner& selected);
void AddTextCipherCommands(CLI::App& app, Runner& selected);  // encrypt, decrypt
void AddDesCommand(CLI::App& app, Runner& selected);
void AddBase64Command(CLI::App& app, Runner& selected);
void AddSelftestCommand(CLI::App& app, Runner& selected);

}  // namespace ansicrypt::cli
