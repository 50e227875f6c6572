#include "commands.h"

#include <cstdio>

namespace fxhost
{

namespace
{

constexpr Command kCommands[] = {
    {"info", "PATH",
     "show a plug-in's identity, channels, programs or presets and parameters (a VST 2 .so or "
     ".vst bundle, or a .component bundle)",
     runInfo},
    {"render",
     "PATH [-i IN] -o OUT [--set INDEX=VALUE]... [--program N] [--block N] [--rate HZ] "
     "[--seconds S] [--cc CONTROLLER=VALUE@SECONDS]... [--state-in FILE.aupreset] "
     "[--state-out FILE.aupreset]",
     "process an audio file (or the built-in test signal) through the plug-in into OUT "
     "(.wav, .flac, .aiff); --cc and the state options for .component bundles",
     runRender},
    {"bench", "PATH [--block N] [--seconds S] [--set INDEX=VALUE]... [--program N] [--label LABEL]",
     "time the plug-in (VST 2, .component, or a LADSPA library with --label) on the test "
     "signal: ns per stereo frame and real-time factor",
     runBench},
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
