// Runs fxhost as a user does and collects what it printed, and reads and
// writes the audio files the tests hand it.
#pragma once

#include <string>
#include <vector>

namespace fxhost_test
{

struct CommandResult
{
    int status = -1; // exit status; 128 + signal number when a signal ended it
    std::string out;
    std::string err;
};

// A shell command line, its output collected.
CommandResult runShell(const std::string& command);
// The fxhost under test (environment variable FXHOST).
std::string fxhostPath();
// FXHOST with the given arguments (shell words), under extra environment
// assignments ("A=b C=d").
CommandResult runFxhost(const std::string& args, const std::string& environment = "");

std::string slurp(const std::string& path);

// fxhost refused as it should: the status, nothing on stdout, and one line on
// stderr that starts with "fxhost: " and holds message.
void expectRefusal(const CommandResult& run, int status, const std::string& message);

struct AudioFile
{
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    std::vector<float> samples; // interleaved
    size_t frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
    float at(size_t frame, int channel) const
    {
        return samples[frame * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
    }
};

bool readAudio(const std::string& path, AudioFile& audio);
void writeWav(const std::string& path, const AudioFile& audio);

// A fresh empty folder for one test.
std::string makeTempFolder();
// The names in a folder, hidden ones included.
std::vector<std::string> folderEntries(const std::string& folder);

} // namespace fxhost_test
