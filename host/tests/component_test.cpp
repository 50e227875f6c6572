// fxhost on the Audio Unit bundles (Tirrow and GrumboChorus) and on LADSPA
// peers: what info shows, what render writes with presets, controller
// changes and saved state, and how bad input is refused.
#include "fxhost_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{

using namespace fxhost_test;

constexpr int kRate = 48000;

std::string bundle(const char* name)
{
    const char* dir = std::getenv("FX_BUNDLE_DIR");
    EXPECT_NE(dir, nullptr);
    return std::string(dir ? dir : "") + "/" + name;
}

// Stereo noise at about -12 dBFS, the same every time.
AudioFile noiseFile(size_t frames)
{
    AudioFile audio;
    audio.channels = 2;
    audio.sampleRate = kRate;
    unsigned seed = 12345;
    for (size_t i = 0; i < frames * 2; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        audio.samples.push_back(0.5f * (static_cast<float>(seed >> 8) / 16777216.0f - 0.5f));
    }
    return audio;
}

class FxhostComponent : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = makeTempFolder();
        writeWav(path("in.wav"), noiseFile(4000));
    }
    std::string path(const std::string& name) const { return folder + "/" + name; }

    // Renders in.wav through a bundle into name and reads the result.
    AudioFile render(const std::string& plugin, const std::string& name,
                     const std::string& options = "")
    {
        const CommandResult run = runFxhost("render " + plugin + " -i " + path("in.wav") + " -o " +
                                            path(name) + " " + options);
        EXPECT_EQ(run.status, 0) << options << "\n" << run.err;
        EXPECT_EQ(run.out, path(name) + ": 0.08 s, 2 channels, 48000 Hz\n");
        AudioFile audio;
        EXPECT_TRUE(readAudio(path(name), audio)) << name;
        EXPECT_EQ(audio.frames(), 4000u);
        return audio;
    }

    std::string folder;
    const std::string tirrow = bundle("Tirrow.component");
    const std::string chorus = bundle("GrumboChorus.component");
};

// The first frame at which two renders differ, or their length.
size_t firstDifference(const AudioFile& a, const AudioFile& b)
{
    const size_t frames = std::min(a.frames(), b.frames());
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < std::min(a.channels, b.channels); ++c)
            if (a.at(i, c) != b.at(i, c))
                return i;
    return frames;
}

bool allFinite(const AudioFile& a)
{
    for (float s : a.samples)
        if (!std::isfinite(s))
            return false;
    return true;
}

TEST_F(FxhostComponent, InfoShowsComponentChannelsPresetsAndParameters)
{
    struct Case
    {
        std::string bundle;
        std::string library;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {tirrow,
         tirrow + "/Contents/x86_64-linux/Tirrow.so",
         {"name:           Quorlin-Audio: Tirrow\n",
          "component:      type 'aufx', subtype 'qTir', manufacturer 'qoRL'\n",
          "version:        1.0.3 (0x00010003)\n",
          "channels:       1 in, 1 out; 1 in, 2 out; 2 in, 2 out\n", "latency:        0 s\n",
          "presets:        16\n",
          // Names as the initialised effect gives them, not "Default" each.
          "  3    \"Band pass filter\"\n", "  9    \"Full ahead warp speed\"\n",
          "parameters:     8\n", "  0   Cutoff freq  generic  0 to 1", "  7   Peak ", " Off"}},
        {chorus,
         chorus + "/Contents/x86_64-linux/GrumboChorus.so",
         {"name:           Quorlin: GrumboChorus\n",
          "component:      type 'aufx', subtype 'qGrc', manufacturer 'qoRL'\n",
          "presets:        0\n", "parameters:     3\n", "  2   Mixture  generic  0 to 1"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bundle);
        const CommandResult run = runFxhost("info " + c.bundle);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        for (const std::string& line : c.lines)
            EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
        // The library inside the bundle stands for the bundle.
        EXPECT_EQ(runFxhost("info " + c.library).out, run.out);
    }
}

TEST_F(FxhostComponent, RendersBothEffectsWithPresetsAndSettings)
{
    const AudioFile tirrowDefault = render(tirrow, "t0.wav");
    const AudioFile bandPass = render(tirrow, "t3.wav", "--program 3");
    const AudioFile chorusDefault = render(chorus, "c.wav");
    const AudioFile chorusDeep = render(chorus, "cd.wav", "--set 0=1 --block 64");
    for (const AudioFile* a : {&tirrowDefault, &bandPass, &chorusDefault, &chorusDeep})
    {
        EXPECT_TRUE(allFinite(*a));
        float peak = 0.0f;
        for (float s : a->samples)
            peak = std::max(peak, std::fabs(s));
        EXPECT_GT(peak, 0.01f);
    }
    EXPECT_LT(firstDifference(tirrowDefault, bandPass), 4000u);
    EXPECT_LT(firstDifference(chorusDefault, chorusDeep), 4000u);

    // The block size does not change what an effect renders.
    const AudioFile bandPassSmallBlocks = render(tirrow, "t3b.wav", "--program 3 --block 7");
    EXPECT_EQ(firstDifference(bandPass, bandPassSmallBlocks), 4000u);
}

TEST_F(FxhostComponent, ControllerChangeLandsOnItsSample)
{
    // Controller 52 sets the drive. Frame 600 lies inside the second block
    // of 512: the render must not change at the block's start.
    const AudioFile plain = render(tirrow, "plain.wav", "--program 3");
    for (const char* block : {"512", "4096", "100"})
    {
        SCOPED_TRACE(block);
        const AudioFile driven =
            render(tirrow, std::string("cc") + block + ".wav",
                   std::string("--program 3 --block ") + block + " --cc 52=127@0.0125");
        EXPECT_EQ(firstDifference(plain, driven), 600u);
    }
    // Changes given out of order reach the effect in time order.
    const AudioFile twice =
        render(tirrow, "twice.wav", "--program 3 --cc 52=0@0.05 --cc 52=127@0.0125");
    EXPECT_EQ(firstDifference(plain, twice), 600u);
}

TEST_F(FxhostComponent, SavedStateComesBackInAFreshInstance)
{
    const AudioFile original =
        render(tirrow, "a.wav",
               "--program 5 --set 1=0.8 --cc 52=100@0 --state-out " + path("tirrow.aupreset"));
    const std::string saved = slurp(path("tirrow.aupreset"));
    for (const char* key : {"<key>mCompleteData</key>", "<key>mCurPreset</key>", "<key>data</key>"})
        EXPECT_NE(saved.find(key), std::string::npos) << key << "\n" << saved;

    const AudioFile restored = render(tirrow, "b.wav", "--state-in " + path("tirrow.aupreset"));
    EXPECT_EQ(firstDifference(original, restored), 4000u);
    // A later --set wins over the restored state.
    const AudioFile changed =
        render(tirrow, "c.wav", "--state-in " + path("tirrow.aupreset") + " --set 1=0");
    EXPECT_LT(firstDifference(original, changed), 4000u);

    const AudioFile deep =
        render(chorus, "d.wav", "--set 0=1 --set 2=0.9 --state-out " + path("chorus.aupreset"));
    const AudioFile deepAgain = render(chorus, "e.wav", "--state-in " + path("chorus.aupreset"));
    EXPECT_EQ(firstDifference(deep, deepAgain), 4000u);
}

TEST_F(FxhostComponent, BadInputGivesOneLineAndLeavesNoFile)
{
    std::ofstream(path("broken.aupreset")) << "<plist><dict><key>version</key>";
    std::ofstream(path("array.aupreset"))
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>";
    ASSERT_EQ(runFxhost("render " + chorus + " -i " + path("in.wav") + " -o " + path("x.wav") +
                        " --state-out " + path("chorus.aupreset"))
                  .status,
              0);
    std::filesystem::remove(path("x.wav"));
    // A bundle whose Info.plist lists no components.
    const std::string empty = path("Empty.component");
    std::filesystem::create_directories(empty + "/Contents");
    std::ofstream(empty + "/Contents/Info.plist")
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
           "<string>Empty</string></dict></plist>";
    // A folder where the output should go: the audio cannot be moved into
    // place, and the state saved beside it must not replace the old one.
    std::filesystem::create_directories(path("taken.wav"));
    const std::string fixtures[] = {"Empty.component", "array.aupreset", "broken.aupreset",
                                    "chorus.aupreset", "in.wav",         "taken.wav"};

    const std::string out = path("out.wav");
    const std::string render = "render " + tirrow + " -i " + path("in.wav") + " -o " + out;
    struct Case
    {
        std::string args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {render + " --state-in " + path("broken.aupreset"), 1, "cannot read the saved state"},
        {render + " --state-in " + path("array.aupreset"), 1, "cannot read the saved state"},
        {render + " --state-in " + path("none.aupreset"), 1, "cannot read the saved state"},
        {render + " --state-in " + path("chorus.aupreset"), 1, "refused the saved state"},
        {render + " --state-out " + path("no/such/folder/s.aupreset"), 1, "cannot write"},
        {"render " + tirrow + " -o " + path("taken.wav") + " --state-out " +
             path("chorus.aupreset"),
         1, "cannot move the output into place"},
        {"render " + empty + " -o " + out, 1, "lists no usable components"},
        {"info " + empty, 1, "lists no usable components"},
        {render + " --cc 128=1@0", 2, "from 0 to 127"},
        {render + " --cc 52=128@0", 2, "from 0 to 127"},
        {render + " --cc 52=1@-1", 2, "not below 0"},
        {render + " --cc 52=1", 2, "CONTROLLER=VALUE@SECONDS"},
        {render + " --cc 52=1@9", 2, "after the end"},
        {"render " + chorus + " -o " + out + " --cc 52=1@0", 1, "takes no MIDI"},
        {render + " --program 16", 2, "out of range (the effect has 16 factory presets)"},
        {"render " + chorus + " -o " + out + " --program 0", 2, "out of range"},
        {render + " --set 8=0.5", 2, "out of range (the effect has 8 parameters)"},
        {render + " --set 0=2", 2, "Cutoff freq runs from 0 to 1"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.args);
        const CommandResult run = runFxhost(c.args);
        expectRefusal(run, c.status, c.message);
        auto entries = folderEntries(folder);
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(entries, std::vector<std::string>(std::begin(fixtures), std::end(fixtures)));
    }
}

TEST_F(FxhostComponent, BenchTimesComponentsAndLadspaPeers)
{
    struct Case
    {
        std::string args;
        std::string line;
    };
    const Case cases[] = {
        {"bench " + tirrow + " --program 9", "channels:            2 in, 2 out\n"},
        {"bench " + chorus + " --block 256", "blocks of 256 frames\n"},
        {"bench /usr/lib/ladspa/svf_1214.so --set 2=3 --set 3=1000",
         "instances:           2 (mono: one per channel)\n"},
        {"bench /usr/lib/ladspa/multivoice_chorus_1201.so --label multivoiceChorus",
         "(multivoiceChorus: "},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.args);
        const CommandResult run = runFxhost(c.args + " --seconds 0.5");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.line), std::string::npos) << run.out;
        const size_t at = run.out.find("ns per stereo frame: ");
        ASSERT_NE(at, std::string::npos) << run.out;
        EXPECT_GT(std::atof(run.out.c_str() + at + 21), 0.0) << run.out;
    }

    const Case refused[] = {
        {"bench /usr/lib/ladspa/svf_1214.so --label nonesuch", "no plug-in labelled 'nonesuch'"},
        {"bench /usr/lib/ladspa/svf_1214.so --set 2=9", "runs from 0 to 5"},
        {"bench /usr/lib/ladspa/svf_1214.so --set 0=1", "is not a control input"},
        {"bench " + tirrow + " --label svf", "--label is for LADSPA libraries"},
    };
    for (const Case& c : refused)
    {
        SCOPED_TRACE(c.args);
        const CommandResult run = runFxhost(c.args + " --seconds 0.5");
        EXPECT_NE(run.status, 0);
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_NE(run.err.find(c.line), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
}

} // namespace
