#include "commands.h"

#include <cstdio>

namespace fxhost
{

namespace
{

constexpr Command kCommands[] = {
    {"help", "", "show this help", nullptr},
};

} // namespace

std::span<const Command> commands() { return kCommands; }

int usageError(std::string_view message)
{
    std::fprintf(stderr, "fxhost: %.*s\n", static_cast<int>(message.size()), message.data());
    return kExitUsage;
}

int failure(std::string_view message)
{
    std::fprintf(stderr, "fxhost: %.*s\n", static_cast<int>(message.size()), message.data());
    return kExitFailure;
}

} // namespace fxhost
