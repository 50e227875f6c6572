#include "audio_io.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fxhost
{

namespace
{

namespace fs = std::filesystem;

std::string lowerExtension(const std::string& path)
{
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

int formatForExtension(const std::string& extension)
{
    if (extension == ".wav")
        return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == ".flac")
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (extension == ".aif" || extension == ".aiff")
        return SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
    return 0;
}

// The temporary output file is removed even when a plug-in brings the process
// down: a fatal signal removes it and then takes its default course.
char gTemporaryPath[4096];
volatile std::sig_atomic_t gHasTemporary = 0;

void removeTemporaryAndReraise(int signal)
{
    if (gHasTemporary)
        unlink(gTemporaryPath);
    std::raise(signal); // the handler was reset to the default when it ran
}

void watchTemporary(const std::string& path)
{
    static bool installed = false;
    if (!installed)
    {
        for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGINT, SIGTERM, SIGHUP})
        {
            struct sigaction action
            {
            };
            action.sa_handler = removeTemporaryAndReraise;
            action.sa_flags = SA_RESETHAND;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
        installed = true;
    }
    gHasTemporary = 0;
    if (path.size() >= sizeof(gTemporaryPath))
        return;
    std::memcpy(gTemporaryPath, path.c_str(), path.size() + 1);
    gHasTemporary = !path.empty();
}

// Frequency of a MIDI note number.
double noteHz(int note)
{
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// A plucked tone: three harmonics under a short attack and an exponential
// decay. t in seconds from the note's start.
double pluck(double hz, double t, double decay)
{
    const double attack = std::min(1.0, t / 0.004);
    const double envelope = attack * std::exp(-t / decay);
    const double phase = 2.0 * std::numbers::pi * hz * t;
    return envelope *
           (std::sin(phase) + 0.5 * std::sin(2.0 * phase) + 0.25 * std::sin(3.0 * phase));
}

} // namespace

bool readAudioFile(const std::string& path, Audio& audio, std::string& error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
    {
        error = "cannot read audio file '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1 || info.frames < 0)
    {
        sf_close(file);
        error = "'" + path + "' holds no usable audio";
        return false;
    }
    const auto frames = static_cast<size_t>(info.frames);
    const auto channels = static_cast<size_t>(info.channels);
    std::vector<float> interleaved(frames * channels);
    const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    if (got != info.frames)
    {
        error = "'" + path + "' is truncated or damaged (read " + std::to_string(got) + " of " +
                std::to_string(info.frames) + " frames)";
        return false;
    }

    audio.sampleRate = info.samplerate;
    audio.channels.assign(channels, std::vector<float>(frames));
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < channels; ++c)
            audio.channels[c][i] = interleaved[i * channels + c];
    return true;
}

void copyInputBlock(const Audio& input, size_t start, size_t frames, float* const* buffers,
                    size_t count)
{
    const size_t sources = input.channels.size();
    const size_t available = start < input.frames() ? std::min(frames, input.frames() - start) : 0;
    for (size_t pin = 0; pin < count; ++pin)
    {
        float* out = buffers[pin];
        if (sources == 0 || available == 0)
        {
            std::fill(out, out + frames, 0.0f);
            continue;
        }
        if (count == 1 && sources > 1)
        {
            const float scale = 1.0f / static_cast<float>(sources);
            for (size_t i = 0; i < available; ++i)
            {
                float sum = 0.0f;
                for (const auto& channel : input.channels)
                    sum += channel[start + i];
                out[i] = sum * scale;
            }
        }
        else
        {
            const auto& channel = input.channels[pin % sources];
            std::copy_n(channel.begin() + static_cast<std::ptrdiff_t>(start), available, out);
        }
        std::fill(out + available, out + frames, 0.0f);
    }
}

Audio makeTestSignal(int sampleRate, double seconds)
{
    // A minor, F major, C major, G major; one chord per second, the arpeggio
    // in eighth notes at 120 beats per minute.
    static const int kChords[4][3] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}};
    static const int kPattern[8] = {0, 1, 2, 1, 0, 2, 1, 2};
    constexpr double kStep = 0.25;

    Audio audio;
    audio.sampleRate = sampleRate;
    const auto frames = static_cast<size_t>(std::max(0.0, seconds) * sampleRate);
    audio.channels.assign(2, std::vector<float>(frames));
    for (size_t i = 0; i < frames; ++i)
    {
        const double t = static_cast<double>(i) / sampleRate;
        const auto step = static_cast<long>(t / kStep);
        const int chord = static_cast<int>((step / 4) % 4);
        double left = 0.0;
        double right = 0.0;
        // The current note and the tail of the one before.
        for (long s = std::max(0L, step - 1); s <= step; ++s)
        {
            const int c = static_cast<int>((s / 4) % 4);
            const int note = kChords[c][kPattern[s % 8]] + 12;
            const double tone = pluck(noteHz(note), t - s * kStep, 0.18);
            const double pan = (s % 2 == 0) ? 0.35 : 0.65;
            left += (1.0 - pan) * tone;
            right += pan * tone;
        }
        // The bass holds the chord's root for the whole second.
        const double bass = 0.8 * pluck(noteHz(kChords[chord][0] - 12), std::fmod(t, 1.0), 0.6);
        left += bass;
        right += bass;
        audio.channels[0][i] = static_cast<float>(0.28 * left);
        audio.channels[1][i] = static_cast<float>(0.28 * right);
    }
    return audio;
}

AudioFileWriter::~AudioFileWriter()
{
    discard();
}

bool AudioFileWriter::supportsPath(const std::string& path, std::string& error)
{
    if (formatForExtension(lowerExtension(path)) != 0)
        return true;
    error = "cannot write '" + path + "': the name must end in .wav, .flac, .aif or .aiff";
    return false;
}

bool AudioFileWriter::open(const std::string& path, int channels, int sampleRate,
                           std::string& error)
{
    discard();
    if (!supportsPath(path, error))
        return false;
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = formatForExtension(lowerExtension(path));
    if (!sf_format_check(&info))
    {
        error = "cannot write '" + path + "' with " + std::to_string(channels) + " channels at " +
                std::to_string(sampleRate) + " Hz";
        return false;
    }

    // A unique name in the target's folder, so that the rename stays on one
    // file system and replaces the target in one step.
    const fs::path target(path);
    std::string hiddenName = ".";
    hiddenName += target.filename().string();
    hiddenName += ".XXXXXX";
    std::string pattern = (target.parent_path() / hiddenName).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
    {
        error = "cannot create a file beside '" + path + "': " + std::strerror(errno);
        return false;
    }
    temporaryPath_ = pattern;
    watchTemporary(temporaryPath_);
    // mkstemp makes the file private; give it the permissions of a new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file_)
    {
        error = "cannot write '" + path + "': " + sf_strerror(nullptr);
        ::close(fd);
        discard();
        return false;
    }
    // Integer formats clip instead of wrapping around.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    path_ = path;
    integers_ = (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT;
    return true;
}

bool AudioFileWriter::write(const float* interleaved, size_t frames, std::string& error)
{
    if (!file_)
    {
        error = "no output file is open";
        return false;
    }
    const auto wanted = static_cast<sf_count_t>(frames);
    if (sf_writef_float(file_, interleaved, wanted) != wanted)
    {
        error = "cannot write '" + path_ + "': " + sf_strerror(file_);
        return false;
    }
    return true;
}

bool AudioFileWriter::commit(std::string& error)
{
    if (!file_)
    {
        error = "no output file is open";
        return false;
    }
    const int status = sf_close(file_);
    file_ = nullptr;
    if (status != 0)
    {
        error = "cannot finish '" + path_ + "': " + sf_error_number(status);
        discard();
        return false;
    }
    std::error_code ec;
    fs::rename(temporaryPath_, path_, ec);
    if (ec)
    {
        error = "cannot move the output into place as '" + path_ + "': " + ec.message();
        discard();
        return false;
    }
    temporaryPath_.clear();
    watchTemporary("");
    return true;
}

void AudioFileWriter::discard()
{
    if (file_)
    {
        sf_close(file_);
        file_ = nullptr;
    }
    if (!temporaryPath_.empty())
    {
        std::remove(temporaryPath_.c_str());
        temporaryPath_.clear();
        watchTemporary("");
    }
}

} // namespace fxhost
