// fxhost render PATH [-i IN] -o OUT [--set INDEX=VALUE]... [--program N]
//                    [--block N] [--rate HZ] [--seconds S]
#include "arguments.h"
#include "audio_io.h"
#include "commands.h"
#include "processing.h"
#include "vst_plugin.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fxhost
{

namespace
{

constexpr long kDefaultBlock = 512;
constexpr long kMaxBlock = 65536;
constexpr double kDefaultRate = 44100.0;
constexpr double kDefaultSeconds = 4.0;
constexpr double kMaxSeconds = 3600.0;

struct RenderOptions
{
    std::string plugin;
    std::string input;
    std::string output;
    std::vector<std::pair<long, float>> settings;
    std::optional<long> program;
    long block = kDefaultBlock;
    std::optional<long> rate;
    std::optional<double> seconds;
};

// Parses the command line; on a mistake answers the message.
std::optional<std::string> parse(std::span<char* const> args, RenderOptions& options)
{
    ArgumentReader reader(args);
    while (!reader.done())
    {
        const std::string_view arg = reader.take();
        if (!arg.starts_with("-") || arg == "-")
        {
            if (!options.plugin.empty())
                return "render takes one plug-in; unexpected '" + std::string(arg) + "'";
            options.plugin = arg;
            continue;
        }
        const auto value = reader.value();
        if (!value)
            return "render: " + std::string(arg) + " needs a value";
        const std::string text(*value);
        if (arg == "-i")
        {
            options.input = text;
        }
        else if (arg == "-o")
        {
            options.output = text;
        }
        else if (arg == "--set")
        {
            const size_t equals = text.find('=');
            const auto index =
                equals == std::string::npos ? std::nullopt : parseInteger(text.substr(0, equals));
            const auto v =
                equals == std::string::npos ? std::nullopt : parseNumber(text.substr(equals + 1));
            if (!index || !v || *index < 0)
                return "render: --set wants INDEX=VALUE, e.g. --set 2=0.75; got '" + text + "'";
            if (*v < 0.0 || *v > 1.0)
                return "render: --set " + text + ": values run from 0 to 1";
            options.settings.emplace_back(*index, static_cast<float>(*v));
        }
        else if (arg == "--program")
        {
            const auto n = parseInteger(text);
            if (!n || *n < 0)
                return "render: --program wants a program number; got '" + text + "'";
            options.program = *n;
        }
        else if (arg == "--block")
        {
            const auto n = parseInteger(text);
            if (!n || *n < 1 || *n > kMaxBlock)
                return "render: --block wants a whole number of frames from 1 to " +
                       std::to_string(kMaxBlock) + "; got '" + text + "'";
            options.block = *n;
        }
        else if (arg == "--rate")
        {
            const auto n = parseInteger(text);
            if (!n || *n < 1000 || *n > 768000)
                return "render: --rate wants a sample rate in Hz from 1000 to 768000; got '" +
                       text + "'";
            options.rate = *n;
        }
        else if (arg == "--seconds")
        {
            const auto s = parseNumber(text);
            if (!s || *s <= 0.0 || *s > kMaxSeconds)
                return "render: --seconds wants a duration above 0 and up to 3600; got '" + text +
                       "'";
            options.seconds = *s;
        }
        else
        {
            return "render: unknown option '" + std::string(arg) + "'";
        }
    }
    if (options.plugin.empty())
        return std::string("render: which plug-in? (fxhost render PATH -o OUT ...)");
    if (options.output.empty())
        return std::string("render: -o OUT is required");
    return std::nullopt;
}

// Shows how far a render has got, on a terminal and only once it takes a
// while: short renders print nothing.
class Progress
{
public:
    explicit Progress(size_t total)
        : total_(total), enabled_(isatty(STDERR_FILENO) == 1), start_(Clock::now())
    {
    }
    ~Progress()
    {
        if (shown_)
            std::fprintf(stderr, "\r\033[K");
    }

    void update(size_t done)
    {
        if (!enabled_ || total_ == 0)
            return;
        const auto now = Clock::now();
        if (now - start_ < std::chrono::seconds(2) || now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        shown_ = true;
        std::fprintf(
            stderr, "\rfxhost: rendering %3d%%",
            static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total_)));
        std::fflush(stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    size_t total_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point last_{};
};

} // namespace

int runRender(std::span<char* const> args)
{
    RenderOptions options;
    if (const auto mistake = parse(args, options))
        return usageError(*mistake);
    std::string error;
    if (!AudioFileWriter::supportsPath(options.output, error))
        return usageError(error);

    Audio input;
    if (!options.input.empty())
    {
        if (!readAudioFile(options.input, input, error))
            return failure(error);
        if (options.rate && *options.rate != input.sampleRate)
            return usageError("render: --rate " + std::to_string(*options.rate) +
                              " differs from the input's " + std::to_string(input.sampleRate) +
                              " Hz, and fxhost does not resample");
    }
    else
    {
        const auto rate = static_cast<int>(options.rate.value_or(static_cast<long>(kDefaultRate)));
        input = makeTestSignal(rate, options.seconds.value_or(kDefaultSeconds));
    }
    size_t frames = input.frames();
    if (options.seconds)
        frames = std::min(frames, static_cast<size_t>(*options.seconds * input.sampleRate));

    auto plugin = VstPlugin::load(options.plugin, error);
    if (!plugin)
        return failure(error);
    if (plugin->numOutputs() < 1)
        return failure("'" + options.plugin + "' has no audio outputs");
    for (const auto& [index, value] : options.settings)
    {
        if (index >= plugin->numParams())
            return usageError("render: --set index " + std::to_string(index) +
                              " is out of range (the plug-in has " +
                              std::to_string(plugin->numParams()) + " parameters)");
    }
    if (options.program && *options.program >= plugin->numPrograms())
        return usageError("render: --program " + std::to_string(*options.program) +
                          " is out of range (the plug-in has " +
                          std::to_string(plugin->numPrograms()) + " programs)");

    const auto block = static_cast<VstInt32>(options.block);
    plugin->configure(input.sampleRate, block);
    if (options.program)
    {
        plugin->dispatch(effBeginSetProgram);
        plugin->dispatch(effSetProgram, 0, *options.program);
        plugin->dispatch(effEndSetProgram);
    }
    for (const auto& [index, value] : options.settings)
        plugin->setParameter(static_cast<VstInt32>(index), value);

    // The plug-in may settle its channel counts when it is turned on.
    plugin->start();
    AudioFileWriter writer;
    const int channels = plugin->numOutputs();
    if (!writer.open(options.output, channels, input.sampleRate, error))
    {
        plugin->stop();
        return failure(error);
    }

    std::vector<float> interleaved(static_cast<size_t>(block) * static_cast<size_t>(channels));
    Progress progress(frames);
    std::string writeError;
    // Integer formats have no code for "not a number": such samples become 0.
    const bool integers = writer.holdsIntegers();
    size_t notNumbers = 0;
    const ProcessingResult result = processAudio(
        *plugin, input, frames, block,
        [&](float* const* outputs, VstInt32 n, size_t done)
        {
            for (VstInt32 i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                {
                    float sample = outputs[c][i];
                    if (integers && std::isnan(sample))
                    {
                        sample = 0.0f;
                        ++notNumbers;
                    }
                    interleaved[static_cast<size_t>(i * channels + c)] = sample;
                }
            progress.update(done);
            return writer.write(interleaved.data(), static_cast<size_t>(n), writeError);
        });
    plugin->stop();
    if (!result.completed)
        return failure(writeError);
    if (!writer.commit(error))
        return failure(error);
    if (notNumbers > 0)
        std::fprintf(stderr,
                     "fxhost: warning: the plug-in produced %zu samples that are not numbers; "
                     "written as 0\n",
                     notNumbers);

    std::printf("%s: %.2f s, %d channel%s, %d Hz\n", options.output.c_str(),
                static_cast<double>(result.frames) / input.sampleRate, channels,
                channels == 1 ? "" : "s", input.sampleRate);
    return kExitOk;
}

} // namespace fxhost
