#include "fxhost_runner.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace fxhost_test
{

std::string slurp(const std::string& path)
{
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb"))
    {
        std::array<char, 4096> buffer{};
        size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
            text.append(buffer.data(), n);
        std::fclose(f);
    }
    return text;
}

void expectRefusal(const CommandResult& run, int status, const std::string& message)
{
    EXPECT_EQ(run.status, status);
    EXPECT_TRUE(run.out.empty()) << run.out;
    ASSERT_FALSE(run.err.empty());
    EXPECT_EQ(run.err.rfind("fxhost: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
}

CommandResult runShell(const std::string& command)
{
    static int counter = 0;
    // Test programs run side by side: the process id keeps their files apart.
    const std::string base = ::testing::TempDir() + "fxhost_run" + std::to_string(getpid()) + "_" +
                             std::to_string(++counter);
    const std::string redirected = command + " >" + base + ".out 2>" + base + ".err";
    const int raw = std::system(redirected.c_str());
    CommandResult run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    run.out = slurp(base + ".out");
    run.err = slurp(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return run;
}

std::string fxhostPath()
{
    const char* fxhost = std::getenv("FXHOST");
    EXPECT_NE(fxhost, nullptr);
    return fxhost ? fxhost : "false";
}

CommandResult runFxhost(const std::string& args, const std::string& environment)
{
    return runShell(environment + " " + fxhostPath() + " " + args);
}

bool readAudio(const std::string& path, AudioFile& audio)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return false;
    audio.format = info.format;
    audio.channels = info.channels;
    audio.sampleRate = info.samplerate;
    audio.samples.resize(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(file, audio.samples.data(), info.frames);
    sf_close(file);
    return got == info.frames;
}

void writeWav(const std::string& path, const AudioFile& audio)
{
    SF_INFO info{};
    info.channels = audio.channels;
    info.samplerate = audio.sampleRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, audio.samples.data(), static_cast<sf_count_t>(audio.frames()));
    sf_close(file);
}

std::string makeTempFolder()
{
    std::string pattern = ::testing::TempDir() + "fxhost_testXXXXXX";
    const char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    return pattern;
}

std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

} // namespace fxhost_test
