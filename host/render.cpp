// fxhost render PATH [-i IN] -o OUT [--set INDEX=VALUE]... [--program N]
//                    [--cc CONTROLLER=VALUE@SECONDS]... [--block N] [--rate HZ]
//                    [--seconds S] [--state-in FILE] [--state-out FILE]
#include "arguments.h"
#include "au_plugin.h"
#include "audio_io.h"
#include "commands.h"
#include "processing.h"
#include "vst_plugin.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
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
    // Audio Unit bundles only.
    struct Controller
    {
        long controller = 0, value = 0;
        double seconds = 0.0;
    };
    std::vector<Controller> controllers;
    std::string stateIn;
    std::string stateOut;
};

// CONTROLLER=VALUE@SECONDS, e.g. 53=127@1.5.
std::optional<RenderOptions::Controller> parseController(const std::string& text)
{
    const size_t equals = text.find('=');
    const size_t at = text.find('@');
    if (equals == std::string::npos || at == std::string::npos || at < equals)
        return std::nullopt;
    const auto controller = parseInteger(text.substr(0, equals));
    const auto value = parseInteger(text.substr(equals + 1, at - equals - 1));
    const auto seconds = parseNumber(text.substr(at + 1));
    if (!controller || !value || !seconds)
        return std::nullopt;
    return RenderOptions::Controller{*controller, *value, *seconds};
}

// Every option render takes; each takes a value.
constexpr std::array<std::string_view, 10> kOptions = {
    "-i",     "-o",        "--set", "--program",  "--block",
    "--rate", "--seconds", "--cc",  "--state-in", "--state-out"};

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
        if (std::find(kOptions.begin(), kOptions.end(), arg) == kOptions.end())
            return "render: unknown option '" + std::string(arg) + "'";
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
            std::pair<long, float> setting;
            if (auto mistake = parseSetting("render", text, setting))
                return mistake;
            options.settings.push_back(setting);
        }
        else if (arg == "--program")
        {
            long program = 0;
            if (auto mistake = parseProgram("render", text, program))
                return mistake;
            options.program = program;
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
        else if (arg == "--cc")
        {
            const auto change = parseController(text);
            if (!change)
                return "render: --cc wants CONTROLLER=VALUE@SECONDS, e.g. --cc 53=127@1.5; got '" +
                       text + "'";
            if (change->controller < 0 || change->controller > 127 || change->value < 0 ||
                change->value > 127)
                return "render: --cc " + text + ": controllers and values run from 0 to 127";
            if (change->seconds < 0.0)
                return "render: --cc " + text + ": the time is seconds from the start, not below 0";
            options.controllers.push_back(*change);
        }
        else if (arg == "--state-in")
        {
            options.stateIn = text;
        }
        else if (arg == "--state-out")
        {
            options.stateOut = text;
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

// Writes the rendered blocks to the output file: the samples interleaved,
// progress on a terminal, and samples that are not numbers counted (integer
// formats have no code for them and get 0).
class BlockWriter
{
public:
    BlockWriter(AudioFileWriter& writer, int channels, size_t blockSize, size_t total)
        : writer_(writer), channels_(channels),
          interleaved_(blockSize * static_cast<size_t>(channels)), progress_(total),
          integers_(writer.holdsIntegers())
    {
    }

    bool write(const float* const* outputs, size_t frames, size_t done)
    {
        for (size_t i = 0; i < frames; ++i)
            for (int c = 0; c < channels_; ++c)
            {
                float sample = outputs[c][i];
                if (integers_ && std::isnan(sample))
                {
                    sample = 0.0f;
                    ++notNumbers_;
                }
                interleaved_[i * static_cast<size_t>(channels_) + static_cast<size_t>(c)] = sample;
            }
        progress_.update(done);
        return writer_.write(interleaved_.data(), frames, error_);
    }

    const std::string& error() const { return error_; }
    size_t notNumbers() const { return notNumbers_; }

private:
    AudioFileWriter& writer_;
    int channels_;
    std::vector<float> interleaved_;
    Progress progress_;
    bool integers_;
    size_t notNumbers_ = 0;
    std::string error_;
};

void reportRender(const std::string& output, size_t frames, int channels, int sampleRate,
                  size_t notNumbers)
{
    if (notNumbers > 0)
        std::fprintf(stderr,
                     "fxhost: warning: the plug-in produced %zu samples that are not numbers; "
                     "written as 0\n",
                     notNumbers);
    std::printf("%s: %.2f s, %d channel%s, %d Hz\n", output.c_str(),
                static_cast<double>(frames) / sampleRate, channels, channels == 1 ? "" : "s",
                sampleRate);
}

std::string numberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

int renderVst(const RenderOptions& options, const Audio& input, size_t frames)
{
    if (!options.controllers.empty() || !options.stateIn.empty() || !options.stateOut.empty())
        return usageError("render: --cc, --state-in and --state-out are for Audio Unit bundles "
                          "(.component)");
    for (const auto& [index, value] : options.settings)
        if (value < 0.0f || value > 1.0f)
            return usageError("render: --set " + std::to_string(index) + "=" + numberText(value) +
                              ": values run from 0 to 1");

    std::string error;
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
    BlockWriter blocks(writer, channels, static_cast<size_t>(block), frames);
    const ProcessingResult result =
        processAudio(*plugin, input, frames, block,
                     [&](float* const* outputs, VstInt32 n, size_t done)
                     { return blocks.write(outputs, static_cast<size_t>(n), done); });
    plugin->stop();
    if (!result.completed)
        return failure(blocks.error());
    if (!writer.commit(error))
        return failure(error);
    reportRender(options.output, result.frames, channels, input.sampleRate, blocks.notNumbers());
    return kExitOk;
}

// Applies the command line's state, preset and parameter settings, in that
// order, so that a setting given with --set wins over the others.
int applySettings(AuPlugin& plugin, const RenderOptions& options)
{
    std::string error;
    if (!options.stateIn.empty() && !plugin.restoreState(options.stateIn, error))
        return failure(error);
    if (options.program)
    {
        const std::vector<AuPreset> presets = plugin.factoryPresets();
        const bool known =
            std::any_of(presets.begin(), presets.end(),
                        [&](const AuPreset& p) { return p.number == *options.program; });
        if (!known)
            return usageError("render: --program " + std::to_string(*options.program) +
                              " is out of range (the effect has " + std::to_string(presets.size()) +
                              " factory presets)");
        if (!plugin.selectPreset(static_cast<SInt32>(*options.program), error))
            return failure(error);
    }
    const std::vector<AuParameter> parameters = plugin.parameters();
    for (const auto& [index, value] : options.settings)
    {
        const auto id = static_cast<AudioUnitParameterID>(index);
        const auto found = std::find_if(parameters.begin(), parameters.end(),
                                        [id](const AuParameter& p) { return p.id == id; });
        if (found == parameters.end())
            return usageError("render: --set index " + std::to_string(index) +
                              " is out of range (the effect has " +
                              std::to_string(parameters.size()) + " parameters)");
        if (value < found->info.minValue || value > found->info.maxValue)
            return usageError("render: --set " + std::to_string(index) + "=" + numberText(value) +
                              ": " + found->name + " runs from " +
                              numberText(found->info.minValue) + " to " +
                              numberText(found->info.maxValue));
        if (!plugin.setParameter(static_cast<AudioUnitParameterID>(index), value, error))
            return failure(error);
    }
    return kExitOk;
}

int renderComponent(const RenderOptions& options, const Audio& input, size_t frames)
{
    std::vector<ControllerChange> changes;
    for (const auto& c : options.controllers)
    {
        const auto frame = static_cast<size_t>(std::llround(c.seconds * input.sampleRate));
        if (frame >= frames)
            return usageError("render: --cc " + std::to_string(c.controller) + "=" +
                              std::to_string(c.value) + "@" + numberText(c.seconds) +
                              " comes after the end of the audio (" +
                              numberText(static_cast<double>(frames) / input.sampleRate) + " s)");
        changes.push_back({frame, static_cast<UInt8>(c.controller), static_cast<UInt8>(c.value)});
    }

    std::string error;
    auto plugin = AuPlugin::load(options.plugin, error);
    if (!plugin)
        return failure(error);
    const auto block = static_cast<UInt32>(options.block);
    if (!plugin->configure(input.sampleRate, block, static_cast<int>(input.channels.size()),
                           error) ||
        !plugin->initialize(error))
        return failure(error);
    if (const int status = applySettings(*plugin, options); status != kExitOk)
        return status;

    AudioFileWriter writer;
    const int channels = plugin->numOutputs();
    if (!writer.open(options.output, channels, input.sampleRate, error))
        return failure(error);
    BlockWriter blocks(writer, channels, block, frames);
    const AuPlugin::Result result = plugin->render(input, frames, block, changes,
                                                   [&](float* const* outputs, UInt32 n, size_t done)
                                                   { return blocks.write(outputs, n, done); });
    if (result.midiRefused)
        return failure("render: --cc: '" + plugin->name() + "' takes no MIDI (status " +
                       std::to_string(result.status) + ")");
    if (result.status != noErr)
        return failure("the effect failed to render (status " + std::to_string(result.status) +
                       ")");
    if (!result.completed)
        return failure(blocks.error());
    // The state goes to a file beside its target first and into place only
    // after the audio: a failure of either leaves no new file behind and the
    // old ones whole.
    const std::string stateTemporary = options.stateOut.empty() ? "" : options.stateOut + ".part";
    if (!stateTemporary.empty() && !plugin->saveState(stateTemporary, error))
    {
        std::remove(stateTemporary.c_str());
        return failure("cannot write the state '" + options.stateOut + "': " + error);
    }
    if (!writer.commit(error))
    {
        if (!stateTemporary.empty())
            std::remove(stateTemporary.c_str());
        return failure(error);
    }
    if (!stateTemporary.empty() &&
        std::rename(stateTemporary.c_str(), options.stateOut.c_str()) != 0)
    {
        const std::string reason = std::strerror(errno);
        std::remove(stateTemporary.c_str());
        return failure("cannot move the state into place as '" + options.stateOut + "': " + reason +
                       " (the audio is written)");
    }
    reportRender(options.output, result.frames, channels, input.sampleRate, blocks.notNumbers());
    return kExitOk;
}

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

    if (isComponentBundle(options.plugin))
        return renderComponent(options, input, frames);
    return renderVst(options, input, frames);
}

} // namespace fxhost
