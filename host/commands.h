// The subcommands of fxhost. Each one lives in its own source file and is
// listed once in the command table in commands.cpp.
#pragma once

#include <span>
#include <string_view>

namespace fxhost
{

// Exit statuses shared by every subcommand.
enum ExitStatus : int
{
    kExitOk = 0,
    kExitFailure = 1, // the work itself failed (a plug-in or file that cannot be used)
    kExitUsage = 2,   // the command line was wrong
};

struct Command
{
    std::string_view name;
    std::string_view synopsis; // argument summary shown by --help
    std::string_view summary;  // one line on what the command does
    int (*run)(std::span<char* const> args);
};

// The table of subcommands, in the order --help lists them.
std::span<const Command> commands();

// The subcommands (info.cpp, render.cpp, bench.cpp).
int runInfo(std::span<char* const> args);
int runRender(std::span<char* const> args);
int runBench(std::span<char* const> args);

// Prints "fxhost: <message>" as one line on stderr and answers kExitUsage.
int usageError(std::string_view message);

// Prints "fxhost: <message>" as one line on stderr and answers kExitFailure.
int failure(std::string_view message);

} // namespace fxhost
