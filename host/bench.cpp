// fxhost bench PATH [--block N] [--seconds S] [--set INDEX=VALUE]...
//                   [--program N] [--label LABEL]
// The plug-in's processing speed over the test signal, without file output.
// PATH is a VST 2 plug-in, a component bundle or a LADSPA library; every kind
// is timed the same way, around its processing calls only, in stereo.
#include "arguments.h"
#include "au_plugin.h"
#include "audio_io.h"
#include "commands.h"
#include "ladspa_plugin.h"
#include "processing.h"
#include "vst_plugin.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fxhost
{

namespace
{

constexpr int kRate = 44100;

struct BenchOptions
{
    std::string path;
    long block = 512;
    double seconds = 10.0;
    std::vector<std::pair<long, float>> settings;
    std::optional<long> program;
    std::string label;
};

struct Timing
{
    std::string what;        // the plug-in as the report names it
    std::string note;        // an extra line on how it ran, or empty
    size_t frames = 0;       // stereo frames processed
    int64_t nanoseconds = 0; // inside the plug-in's processing calls
    // CPU time of the processing loop (the host's feeding of the input
    // included), which waiting for the processor on a busy machine does not
    // inflate.
    int64_t cpuNanoseconds = 0;
};

// CPU time of this thread: unlike the clock on the wall, it does not count
// the time other programs on a busy machine take the processor away.
int64_t threadCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Every option bench takes; each takes a value.
constexpr std::array<std::string_view, 5> kOptions = {"--block", "--seconds", "--set", "--program",
                                                      "--label"};

std::optional<std::string> parse(std::span<char* const> args, BenchOptions& options)
{
    ArgumentReader reader(args);
    while (!reader.done())
    {
        const std::string_view arg = reader.take();
        if (!arg.starts_with("-"))
        {
            if (!options.path.empty())
                return "bench takes one plug-in; unexpected '" + std::string(arg) + "'";
            options.path = arg;
            continue;
        }
        if (std::find(kOptions.begin(), kOptions.end(), arg) == kOptions.end())
            return "bench: unknown option '" + std::string(arg) + "'";
        const auto value = reader.value();
        if (!value)
            return "bench: " + std::string(arg) + " needs a value";
        const std::string text(*value);
        if (arg == "--block")
        {
            const auto n = parseInteger(text);
            if (!n || *n < 1 || *n > 65536)
                return std::string("bench: --block wants a whole number of frames from 1 to 65536");
            options.block = *n;
        }
        else if (arg == "--seconds")
        {
            const auto s = parseNumber(text);
            if (!s || *s <= 0.0 || *s > 3600.0)
                return std::string("bench: --seconds wants a duration above 0 and up to 3600");
            options.seconds = *s;
        }
        else if (arg == "--set")
        {
            std::pair<long, float> setting;
            if (auto mistake = parseSetting("bench", text, setting))
                return mistake;
            options.settings.push_back(setting);
        }
        else if (arg == "--program")
        {
            long program = 0;
            if (auto mistake = parseProgram("bench", text, program))
                return mistake;
            options.program = program;
        }
        else if (arg == "--label")
        {
            options.label = text;
        }
    }
    if (options.path.empty())
        return std::string("bench: which plug-in? (fxhost bench PATH [--block N] [--seconds S])");
    return std::nullopt;
}

int benchVst(const BenchOptions& options, const Audio& signal, Timing& timing)
{
    if (!options.label.empty())
        return usageError("bench: --label is for LADSPA libraries");
    std::string error;
    auto plugin = VstPlugin::load(options.path, error);
    if (!plugin)
        return failure(error);
    for (const auto& [index, value] : options.settings)
        if (index >= plugin->numParams() || value < 0.0f || value > 1.0f)
            return usageError("bench: --set " + std::to_string(index) + ": the plug-in has " +
                              std::to_string(plugin->numParams()) +
                              " parameters, with values from 0 to 1");
    if (options.program && *options.program >= plugin->numPrograms())
        return usageError("bench: --program " + std::to_string(*options.program) +
                          " is out of range");
    plugin->configure(kRate, static_cast<VstInt32>(options.block));
    if (options.program)
        plugin->dispatch(effSetProgram, 0, *options.program);
    for (const auto& [index, value] : options.settings)
        plugin->setParameter(static_cast<VstInt32>(index), value);
    plugin->start();
    const int64_t cpu = threadCpuNanoseconds();
    const ProcessingResult result = processAudio(*plugin, signal, signal.frames(),
                                                 static_cast<VstInt32>(options.block), nullptr);
    timing = {plugin->libraryPath(), "", result.frames, result.pluginNanoseconds,
              threadCpuNanoseconds() - cpu};
    plugin->stop();
    return kExitOk;
}

int benchComponent(const BenchOptions& options, const Audio& signal, Timing& timing)
{
    if (!options.label.empty())
        return usageError("bench: --label is for LADSPA libraries");
    std::string error;
    auto plugin = AuPlugin::load(options.path, error);
    if (!plugin)
        return failure(error);
    const auto block = static_cast<UInt32>(options.block);
    if (!plugin->configure(kRate, block, 2, error) || !plugin->initialize(error))
        return failure(error);
    if (options.program && !plugin->selectPreset(static_cast<SInt32>(*options.program), error))
        return usageError("bench: --program: " + error);
    for (const auto& [index, value] : options.settings)
        if (!plugin->setParameter(static_cast<AudioUnitParameterID>(index), value, error))
            return usageError("bench: --set: " + error);
    const int64_t cpu = threadCpuNanoseconds();
    const AuPlugin::Result result = plugin->render(signal, signal.frames(), block, {}, nullptr);
    timing.cpuNanoseconds = threadCpuNanoseconds() - cpu;
    if (result.status != noErr)
        return failure("bench: the effect failed to render (status " +
                       std::to_string(result.status) + ")");
    timing.what = plugin->bundlePath() + " (" + plugin->name() + ")";
    timing.note = "channels:            " + std::to_string(plugin->numInputs()) + " in, " +
                  std::to_string(plugin->numOutputs()) + " out";
    timing.frames = result.frames;
    timing.nanoseconds = result.pluginNanoseconds;
    return kExitOk;
}

int benchLadspa(const BenchOptions& options, const Audio& signal, Timing& timing)
{
    if (options.program)
        return usageError("bench: LADSPA plug-ins have no programs");
    std::string error;
    auto plugin = LadspaPlugin::load(options.path, options.label, kRate, error);
    if (!plugin)
        return failure(error);
    for (const auto& [port, value] : options.settings)
        if (!plugin->setControl(static_cast<unsigned long>(port), value, error))
            return usageError("bench: --set: " + error);
    const auto block = static_cast<size_t>(options.block);
    plugin->start(block);
    const int64_t cpu = threadCpuNanoseconds();
    const ProcessingResult result = processBlocks(
        signal, signal.frames(), block, 2, 2,
        [&plugin](float** inputs, float** outputs, size_t n)
        { plugin->process(inputs, outputs, n); },
        nullptr);
    timing.cpuNanoseconds = threadCpuNanoseconds() - cpu;
    timing.frames = result.frames;
    timing.nanoseconds = result.pluginNanoseconds;
    timing.what =
        options.path + " (" + plugin->descriptor().Label + ": " + plugin->descriptor().Name + ")";
    timing.note = plugin->instances() == 2 ? "instances:           2 (mono: one per channel)"
                                           : "instances:           1 (stereo)";
    return kExitOk;
}

} // namespace

int runBench(std::span<char* const> args)
{
    BenchOptions options;
    if (const auto mistake = parse(args, options))
        return usageError(*mistake);

    const Audio signal = makeTestSignal(kRate, options.seconds);
    Timing timing;
    const int status = isComponentBundle(options.path) ? benchComponent(options, signal, timing)
                       : isLadspaLibrary(options.path) ? benchLadspa(options, signal, timing)
                                                       : benchVst(options, signal, timing);
    if (status != kExitOk)
        return status;
    if (timing.frames == 0 || timing.nanoseconds <= 0)
        return failure("bench: nothing was processed");

    const double nsPerFrame =
        static_cast<double>(timing.nanoseconds) / static_cast<double>(timing.frames);
    const double audioSeconds = static_cast<double>(timing.frames) / kRate;
    const double realTimeFactor = audioSeconds / (static_cast<double>(timing.nanoseconds) * 1e-9);
    std::printf("plug-in:             %s\n", timing.what.c_str());
    if (!timing.note.empty())
        std::printf("%s\n", timing.note.c_str());
    std::printf("signal:              %.2f s of test signal at %d Hz, blocks of %ld frames\n",
                audioSeconds, kRate, options.block);
    std::printf("ns per stereo frame: %.1f\n", nsPerFrame);
    std::printf("real-time factor:    %.1f\n", realTimeFactor);
    std::printf("cpu ns per stereo frame: %.1f\n",
                static_cast<double>(timing.cpuNanoseconds) / static_cast<double>(timing.frames));
    return kExitOk;
}

} // namespace fxhost
