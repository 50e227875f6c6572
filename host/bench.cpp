// fxhost bench PATH [--block N] [--seconds S]: the plug-in's processing speed
// over the test signal, without file output.
#include "arguments.h"
#include "audio_io.h"
#include "commands.h"
#include "processing.h"
#include "vst_plugin.h"

#include <cstdio>
#include <string>

namespace fxhost
{

int runBench(std::span<char* const> args)
{
    constexpr int kRate = 44100;
    std::string path;
    long block = 512;
    double seconds = 10.0;

    ArgumentReader reader(args);
    while (!reader.done())
    {
        const std::string_view arg = reader.take();
        if (!arg.starts_with("-"))
        {
            if (!path.empty())
                return usageError("bench takes one plug-in; unexpected '" + std::string(arg) + "'");
            path = arg;
            continue;
        }
        const auto value = reader.value();
        if (!value)
            return usageError("bench: " + std::string(arg) + " needs a value");
        if (arg == "--block")
        {
            const auto n = parseInteger(*value);
            if (!n || *n < 1 || *n > 65536)
                return usageError("bench: --block wants a whole number of frames from 1 to 65536");
            block = *n;
        }
        else if (arg == "--seconds")
        {
            const auto s = parseNumber(*value);
            if (!s || *s <= 0.0 || *s > 3600.0)
                return usageError("bench: --seconds wants a duration above 0 and up to 3600");
            seconds = *s;
        }
        else
        {
            return usageError("bench: unknown option '" + std::string(arg) + "'");
        }
    }
    if (path.empty())
        return usageError("bench: which plug-in? (fxhost bench PATH [--block N] [--seconds S])");

    std::string error;
    auto plugin = VstPlugin::load(path, error);
    if (!plugin)
        return failure(error);

    const Audio signal = makeTestSignal(kRate, seconds);
    plugin->configure(kRate, static_cast<VstInt32>(block));
    plugin->start();
    const ProcessingResult result =
        processAudio(*plugin, signal, signal.frames(), static_cast<VstInt32>(block), nullptr);
    plugin->stop();
    if (result.frames == 0 || result.pluginNanoseconds <= 0)
        return failure("bench: nothing was processed");

    const double nsPerFrame =
        static_cast<double>(result.pluginNanoseconds) / static_cast<double>(result.frames);
    const double audioSeconds = static_cast<double>(result.frames) / kRate;
    const double realTimeFactor =
        audioSeconds / (static_cast<double>(result.pluginNanoseconds) * 1e-9);
    std::printf("plug-in:             %s\n", plugin->libraryPath().c_str());
    std::printf("signal:              %.2f s of test signal at %d Hz, blocks of %ld frames\n",
                audioSeconds, kRate, block);
    std::printf("ns per stereo frame: %.1f\n", nsPerFrame);
    std::printf("real-time factor:    %.1f\n", realTimeFactor);
    return kExitOk;
}

} // namespace fxhost
