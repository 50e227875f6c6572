// Audio files in and out (through libsndfile) and the built-in test signal.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <sndfile.h>

namespace fxhost
{

// Non-interleaved audio held in memory.
struct Audio
{
    int sampleRate = 0;
    std::vector<std::vector<float>> channels;

    size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Reads a whole audio file (WAV, FLAC, AIFF and whatever else libsndfile
// reads). On failure answers false with a one-line reason.
bool readAudioFile(const std::string& path, Audio& audio, std::string& error);

// Copies frames of input from start into count plug-in input buffers: a
// mono input feeds every buffer, a single buffer gets the mix of all
// channels, otherwise channel i feeds buffer i (wrapping around when there
// are more buffers). Frames past the end of the input are silence.
void copyInputBlock(const Audio& input, size_t start, size_t frames, float* const* buffers,
                    size_t count);

// A few seconds of music: an arpeggio over a chord progression with a bass
// line, in stereo, peaking near -6 dBFS. The same every time.
Audio makeTestSignal(int sampleRate, double seconds);

// Writes an audio file whose format follows the extension of its path: .wav
// (32-bit float), .flac (24-bit), .aif/.aiff (24-bit). The samples go to a
// temporary file beside the target, which commit() renames into place; a
// writer destroyed without commit() removes it, so a failed render leaves
// nothing behind.
class AudioFileWriter
{
public:
    AudioFileWriter() = default;
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Checks only the extension: the format the path asks for, if any.
    static bool supportsPath(const std::string& path, std::string& error);

    bool open(const std::string& path, int channels, int sampleRate, std::string& error);
    // frames x channels interleaved samples.
    bool write(const float* interleaved, size_t frames, std::string& error);
    bool commit(std::string& error);
    // Whether the open file stores integer samples (FLAC, AIFF).
    bool holdsIntegers() const { return integers_; }

private:
    void discard();

    SNDFILE* file_ = nullptr;
    std::string path_;
    std::string temporaryPath_;
    bool integers_ = false;
};

} // namespace fxhost
