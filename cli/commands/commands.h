// The subcommands of the ansicrypt tool. Each Add function registers its subcommands and, when the
// command line chooses one, stores in `selected` the function that runs it and gives the exit
// status. Runners raise cli::Failure, cli::Reported, cli::BrokenPipe or ansicrypt::Error; main
// reports them.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace ansicrypt::cli {

using Runner = std::function<int()>;

// Streams of bytes, in the manner of coreutils and openssl.
void AddMd5Command(CLI::App& app, Runner& selected);
void AddDesCommand(CLI::App& app, Runner& selected);
void AddBase64Command(CLI::App& app, Runner& selected);

// Texts, one record each, through the ANSI code page: encrypt, decrypt, encode, decode, digest.
void AddTextCommands(CLI::App& app, Runner& selected);

void AddSelftestCommand(CLI::App& app, Runner& selected);

}  // namespace ansicrypt::cli
