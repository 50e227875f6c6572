// fxhost info and render on the framework's test plug-in: what they show,
// what they write, and how they refuse bad input.
#include "fxhost_runner.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

namespace
{

using namespace fxhost_test;

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    EXPECT_NE(value, nullptr) << name;
    return value ? value : "";
}

// A mono or stereo file with distinct, exactly representable samples.
AudioFile rampFile(int channels, size_t frames, int rate)
{
    AudioFile audio;
    audio.channels = channels;
    audio.sampleRate = rate;
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            audio.samples.push_back(
                static_cast<float>((static_cast<int>(i % 200) - 100) * (c == 0 ? 1 : -3)) / 512.0f);
    return audio;
}

class FxhostRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = makeTempFolder();
        bundle = env("FX_TEST_PLUGIN_BUNDLE");
    }
    std::string path(const std::string& name) const { return folder + "/" + name; }

    std::string folder;
    std::string bundle;
};

TEST_F(FxhostRender, InfoShowsWhatTheHostLearns)
{
    const CommandResult run = runFxhost("info " + bundle);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty());
    for (const char* line :
         {"unique id:      'NoEf' (0x4e6f4566)\n", "inputs:         1\n", "outputs:        2\n",
          "flags:          0x0010 (replacing)\n", "category:       0 (unknown)\n",
          "programs:       3\n", "parameters:     5\n",
          // Index, (empty) name and label, and each parameter's display text.
          "  0                   0.000000\n", "  2                   -oo\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;

    // The bundle folder and the library inside it are the same plug-in.
    const std::string library = bundle + "/Contents/x86_64-linux/FxTestEffect.so";
    const CommandResult direct = runFxhost("info " + library);
    EXPECT_EQ(direct.status, 0);
    EXPECT_EQ(direct.out, run.out);
}

TEST_F(FxhostRender, SettingsApplyAndEveryFrameIsProcessedInAnyBlockSize)
{
    // The test plug-in has one input feeding both outputs at gain 2 x p0:
    // a mono file passes as it is, a stereo one as the mix of its channels.
    for (int channels : {1, 2})
    {
        const AudioFile input = rampFile(channels, 1000, 22050);
        writeWav(path("in.wav"), input);
        for (int block : {1, 7, 512, 4096})
        {
            SCOPED_TRACE(testing::Message() << channels << " channels, block " << block);
            const CommandResult run =
                runFxhost("render " + bundle + " -i " + path("in.wav") + " -o " + path("out.wav") +
                          " --set 0=0.25 --block " + std::to_string(block));
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_TRUE(run.err.empty()) << run.err;
            EXPECT_EQ(run.out, path("out.wav") + ": 0.05 s, 2 channels, 22050 Hz\n");

            AudioFile output;
            ASSERT_TRUE(readAudio(path("out.wav"), output));
            EXPECT_EQ(output.sampleRate, 22050);
            ASSERT_EQ(output.channels, 2);
            ASSERT_EQ(output.frames(), 1000u);
            for (size_t i = 0; i < output.frames(); ++i)
            {
                float mix = 0.0f;
                for (int c = 0; c < channels; ++c)
                    mix += input.at(i, c);
                mix *= 1.0f / static_cast<float>(channels);
                ASSERT_EQ(output.at(i, 0), 0.5f * mix) << i;
                ASSERT_EQ(output.at(i, 1), 0.5f * mix) << i;
            }
        }
    }
}

TEST_F(FxhostRender, TestSignalTakesRateAndLength)
{
    const CommandResult run =
        runFxhost("render " + bundle + " -o " + path("t.wav") + " --rate 48000 --seconds 1.5");
    ASSERT_EQ(run.status, 0) << run.err;
    AudioFile output;
    ASSERT_TRUE(readAudio(path("t.wav"), output));
    EXPECT_EQ(output.sampleRate, 48000);
    EXPECT_EQ(output.frames(), 72000u);
    float peak = 0.0f;
    for (float s : output.samples)
        peak = std::max(peak, std::fabs(s));
    EXPECT_GT(peak, 0.2f);
    EXPECT_LT(peak, 1.0f);
}

TEST_F(FxhostRender, HostAnswersWhatThePluginAsks)
{
    writeWav(path("in.wav"), rampFile(1, 64, 48000));
    const CommandResult run = runFxhost("render " + bundle + " -i " + path("in.wav") + " -o " +
                                            path("out.wav") + " --block 16",
                                        "FX_TEST_EFFECT_REPORT_HOST=1");
    ASSERT_EQ(run.status, 0) << run.err;
    AudioFile output;
    ASSERT_TRUE(readAudio(path("out.wav"), output));
    ASSERT_EQ(output.frames(), 64u);
    // Sample position, rate, block size, version, input 0 connected, input 1
    // (the plug-in has one) not, output 1 connected, tempo.
    const float expected[8] = {0, 48000, 16, 2400, 1, 0, 1, 120};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(output.at(static_cast<size_t>(i), 0), expected[i]) << i;
    for (size_t block = 1; block < 4; ++block)
        EXPECT_EQ(output.at(16 * block, 0), 16.0f * block);
}

TEST_F(FxhostRender, SamplesThatAreNotNumbersBecomeZeroInIntegerFormats)
{
    writeWav(path("in.wav"), rampFile(1, 64, 44100));
    for (const char* name : {"out.wav", "out.flac"})
    {
        SCOPED_TRACE(name);
        const bool integers = std::string(name).ends_with(".flac");
        const CommandResult run = runFxhost("render " + bundle + " -i " + path("in.wav") + " -o " +
                                                path(name) + " --block 16",
                                            "FX_TEST_EFFECT_NAN=1");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, integers ? "fxhost: warning: the plug-in produced 4 samples that are "
                                      "not numbers; written as 0\n"
                                    : "");
        AudioFile output;
        ASSERT_TRUE(readAudio(path(name), output));
        for (size_t block = 0; block < 4; ++block)
        {
            const float sample = output.at(16 * block, 1);
            EXPECT_TRUE(integers ? sample == 0.0f : std::isnan(sample)) << block;
            EXPECT_FALSE(std::isnan(output.at(16 * block, 0)));
        }
    }
}

TEST_F(FxhostRender, OutputFormatFollowsTheExtension)
{
    writeWav(path("in.wav"), rampFile(2, 500, 44100));
    AudioFile reference;
    ASSERT_EQ(
        runFxhost("render " + bundle + " -i " + path("in.wav") + " -o " + path("ref.wav")).status,
        0);
    ASSERT_TRUE(readAudio(path("ref.wav"), reference));
    EXPECT_EQ(reference.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);

    const struct
    {
        const char* name;
        int format;
    } cases[] = {{"o.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
                 {"o.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
                 {"o.AIF", SF_FORMAT_AIFF | SF_FORMAT_PCM_24}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const CommandResult run =
            runFxhost("render " + bundle + " -i " + path("in.wav") + " -o " + path(c.name));
        ASSERT_EQ(run.status, 0) << run.err;
        AudioFile output;
        ASSERT_TRUE(readAudio(path(c.name), output));
        EXPECT_EQ(output.format, c.format);
        ASSERT_EQ(output.samples.size(), reference.samples.size());
        for (size_t i = 0; i < output.samples.size(); ++i)
            ASSERT_NEAR(output.samples[i], reference.samples[i], 1.0 / (1 << 23)) << i;
    }
}

TEST_F(FxhostRender, BadInputGivesOneLineAndLeavesNoFile)
{
    const std::string out = path("out.wav");
    const std::string notAudio = path("notes.txt");
    std::ofstream(notAudio) << "not audio\n";
    const std::string notPlugin = env("FX_NOT_A_PLUGIN");
    struct Case
    {
        std::string args;
        std::string environment;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"render " + notAudio + " -o " + out, "", 1, "cannot load"},
        {"render " + path("missing.so") + " -o " + out, "", 1, "does not exist"},
        {"render " + folder + " -o " + out, "", 1, "no plug-in bundle"},
        {"info " + notPlugin, "", 1, "has no VSTPluginMain"},
        {"render " + env("FX_HOLLOW_PLUGIN") + " -o " + out + " --set 0=1", "", 1,
         "without its processing or parameter functions"},
        {"render " + bundle + " -o " + out, "FX_TEST_EFFECT_REFUSE=1", 1, "created no effect"},
        {"render " + bundle + " -i " + notAudio + " -o " + out, "", 1, "cannot read audio file"},
        {"render " + bundle + " -i " + path("none.wav") + " -o " + out, "", 1,
         "cannot read audio file"},
        {"render " + bundle + " -o " + out + " --set 5=0.5", "", 2, "out of range"},
        {"render " + bundle + " -o " + out + " --set 0=1.5", "", 2, "from 0 to 1"},
        {"render " + bundle + " -o " + out + " --set zero", "", 2, "INDEX=VALUE"},
        {"render " + bundle + " -o " + out + " --program 3", "", 2, "out of range"},
        {"render " + bundle + " -o " + out + " --block 0", "", 2, "--block"},
        {"render " + bundle + " -o " + out + " --seconds", "", 2, "needs a value"},
        {"render " + bundle + " -o " + path("out.mp3"), "", 2, ".wav, .flac, .aif or .aiff"},
        {"render " + bundle, "", 2, "-o OUT is required"},
        {"render " + bundle + " -o " + out + " --frobnicate 1", "", 2, "unknown option"},
        {"render " + bundle + " -o " + out + " --frobnicate", "", 2, "unknown option"},
        {"render " + bundle + " -o " + out + " --cc 50=1@0", "", 2, "for Audio Unit bundles"},
        {"render " + bundle + " -o " + out + " --state-in s.aupreset", "", 2,
         "for Audio Unit bundles"},
        {"info", "", 2, "info takes one argument"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.args);
        const CommandResult run = runFxhost(c.args, c.environment);
        expectRefusal(run, c.status, c.message);
        EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"notes.txt"});
    }
}

TEST_F(FxhostRender, CrashingPluginLeavesTheOldOutputAlone)
{
    const std::string out = path("out.wav");
    std::ofstream(out) << "keep";
    const CommandResult run =
        runFxhost("render " + bundle + " -o " + out, "FX_TEST_EFFECT_CRASH=1");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(slurp(out), "keep");
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"out.wav"});
}

TEST_F(FxhostRender, LongRenderShowsProgressOnATerminal)
{
    // About 1800 blocks of 2 ms each: long enough for the progress line.
    const std::string command = "FX_TEST_EFFECT_SLOW=1 " + fxhostPath() + " render " + bundle +
                                " -o " + path("slow.wav") + " --block 100";
    // script gives fxhost a terminal and copies what it shows to stdout.
    const CommandResult run = runShell("script -qfec '" + command + "' /dev/null");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("fxhost: rendering"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("%"), std::string::npos) << run.out;
    AudioFile output;
    ASSERT_TRUE(readAudio(path("slow.wav"), output));
    EXPECT_EQ(output.frames(), 4u * 44100u);
}

} // namespace
