// fxhost hosting a VST 2 plug-in it was not written with: the delay
// compensator from Debian's lsp-plugins-vst package, a plain stereo effect
// that passes audio through unchanged at its default settings.
#include "fxhost_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

namespace
{

using namespace fxhost_test;

// The package is part of the project's setup: finding no plug-in is a fault.
std::string findPlugin()
{
    const CommandResult listing = runShell("dpkg -L lsp-plugins-vst");
    EXPECT_EQ(listing.status, 0) << listing.err;
    std::istringstream lines(listing.out);
    for (std::string line; std::getline(lines, line);)
        if (line.ends_with("/comp-delay-stereo.so"))
            return line;
    return "";
}

// Leaks inside the third-party library are not ours to report.
const std::string kEnvironment = "ASAN_OPTIONS=detect_leaks=0";

class ThirdPartyPlugin : public ::testing::Test
{
protected:
    void SetUp() override
    {
        plugin = findPlugin();
        ASSERT_FALSE(plugin.empty()) << "no comp-delay-stereo.so in lsp-plugins-vst";
        folder = makeTempFolder();
    }
    std::string path(const std::string& name) const { return folder + "/" + name; }

    std::string plugin;
    std::string folder;
};

TEST_F(ThirdPartyPlugin, InfoListsIt)
{
    const CommandResult run = runFxhost("info " + plugin, kEnvironment);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line :
         {"name:           Delay Compensator Stereo\n", "vendor:         LSP VST\n",
          "inputs:         2\n", "outputs:        2\n", "parameters:     11\n", "  0      bypass"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
}

TEST_F(ThirdPartyPlugin, RendersThroughIt)
{
    // Two different tones, one per channel: at its defaults the plug-in
    // passes them through unchanged and keeps the channels apart.
    AudioFile input;
    input.channels = 2;
    input.sampleRate = 44100;
    for (int i = 0; i < 20000; ++i)
    {
        input.samples.push_back(0.5f * static_cast<float>(std::sin(0.0627 * i)));
        input.samples.push_back(0.3f * static_cast<float>(std::sin(0.0941 * i)));
    }
    writeWav(path("in.wav"), input);

    CommandResult run = runFxhost("render " + plugin + " -i " + path("in.wav") + " -o " +
                                      path("out.wav") + " --block 300",
                                  kEnvironment);
    ASSERT_EQ(run.status, 0) << run.err;
    AudioFile output;
    ASSERT_TRUE(readAudio(path("out.wav"), output));
    ASSERT_EQ(output.channels, 2);
    ASSERT_EQ(output.frames(), input.frames());
    for (size_t i = 0; i < input.samples.size(); ++i)
        ASSERT_EQ(output.samples[i], input.samples[i]) << i;

    // Parameter 9 is the wet level: at 0 nothing comes out.
    run = runFxhost("render " + plugin + " -i " + path("in.wav") + " -o " + path("wet0.wav") +
                        " --set 9=0",
                    kEnvironment);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(readAudio(path("wet0.wav"), output));
    for (float s : output.samples)
        ASSERT_EQ(s, 0.0f);

    // The built-in test signal is stereo: the channels differ after the plug-in.
    run =
        runFxhost("render " + plugin + " -o " + path("signal.flac") + " --seconds 2", kEnvironment);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(readAudio(path("signal.flac"), output));
    ASSERT_EQ(output.frames(), 88200u);
    double difference = 0.0;
    double energy = 0.0;
    for (size_t i = 0; i < output.frames(); ++i)
    {
        difference += std::fabs(output.at(i, 0) - output.at(i, 1));
        energy += std::fabs(output.at(i, 0));
    }
    EXPECT_GT(energy / 88200.0, 0.01);
    EXPECT_GT(difference / 88200.0, 0.001);
}

} // namespace
