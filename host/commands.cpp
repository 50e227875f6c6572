#include "commands.h"

#include <cstdio>

namespace fxhost
{

namespace
{

constexpr Command kCommands[] = {
    {"info", "PATH", "show a VST 2 plug-in's identity, channels, programs and parameters", runInfo},
    {"render",
     "PATH [-i IN] -o OUT [--set INDEX=VALUE]... [--program N] [--block N] [--rate HZ] "
     "[--seconds S]",
     "process an audio file (or the built-in test signal) through the plug-in into OUT "
     "(.wav, .flac, .aiff)",
     runRender},
    {"bench", "PATH [--block N] [--seconds S]",
     "time the plug-in on the test signal: ns per stereo frame and real-time factor", runBench},
    {"help", "", "show this help", nullptr},
};

} // namespace

std::span<const Command> commands()
{
    return kCommands;
}

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
