// Tirrow as an Audio Unit: the component opened through its entry function
// and driven as a host drives it.
#include "AdapterHost.h"
#include "CTirrow.h"
#include "allocation_counter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

extern "C" ComponentResult CTirrowEntry(ComponentParameters* params, void* storage);

using namespace adapter_host;

namespace
{

Component TirrowComponent()
{
    static const Component component = []
    {
        const ComponentDescription description{kAudioUnitType_Effect, 0x71546972 /* 'qTir' */,
                                               0x716F524C /* 'qoRL' */, 0, 0};
        return FxRegisterComponent(&description, &CTirrowEntry, "Tirrow", 0x10003);
    }();
    return component;
}

CTirrow* EffectOf(AudioUnit unit)
{
    AudioEffectX* effect = nullptr;
    UInt32 size = sizeof effect;
    EXPECT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_EffectLink,
                                          kAudioUnitScope_Global, 0, &effect, &size));
    return dynamic_cast<CTirrow*>(effect);
}

std::vector<float> Noise(size_t frames, unsigned seed)
{
    std::vector<float> signal(frames);
    for (float& sample : signal)
    {
        seed = seed * 1664525u + 1013904223u;
        sample = static_cast<float>(seed >> 8) / static_cast<float>(1u << 24) - 0.5f;
    }
    return signal;
}

class TirrowUnit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unit = std::make_unique<Unit>(TirrowComponent());
        ASSERT_EQ(noErr, unit->status);
        ASSERT_EQ(noErr, unit->setFormats(2, 2));
        ASSERT_EQ(noErr, unit->connect(source));
        ASSERT_EQ(noErr, unit->initialize());
    }

    InputSource source;
    std::unique_ptr<Unit> unit;
};

TEST_F(TirrowUnit, FactoryPresetsAreTheProgramTable)
{
    const std::vector<std::string> names = {"Default",         "Low pass filter",
                                            "Hi pass filter",  "Band pass filter",
                                            "Notch filter",    "Peak filter",
                                            "Split (HP + LP)", "SuperRes (LP + PK)",
                                            "Driven",          "Full ahead warp speed",
                                            "Grimey!",         "Disasterpiece",
                                            "Edge of Madness", "Do you wish to fight me?",
                                            "Join us at...",   "www.quorlin.example"};
    EXPECT_EQ(names, PresetNames(unit->unit));

    struct Row
    {
        SInt32 program;
        float values[8];
    };
    const Row rows[] = {
        {2, {0.0f, 0.2f, 0.2f, 0, 0, 1, 0, 0}},
        {12, {0.8f, 1.0f, 0.9f, 1, 1, 1, 0, 1}},
        {15, {0.8f, 0.1f, 0.4f, 1, 1, 0, 0, 0}},
    };
    for (const Row& row : rows)
    {
        const AUPreset preset{row.program, nullptr};
        ASSERT_EQ(noErr, unit->set(kAudioUnitProperty_PresentPreset, preset));
        for (AudioUnitParameterID id = 0; id < 8; ++id)
            EXPECT_EQ(row.values[id], unit->parameter(id)) << row.program << " " << id;
    }
}

TEST_F(TirrowUnit, DisplayTextsReachTheHostWithTheirLabels)
{
    struct Case
    {
        AudioUnitParameterID id;
        float value;
        const char* text;
    };
    const Case cases[] = {
        {0, 0.0f, "00050 Hz"}, {1, 0.5f, "050 %"}, {3, 1.0f, " On  "},
        {4, 0.0f, "Off  "},    {7, 0.5f, " On  "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, DisplayText(unit->unit, c.id, &c.value)) << c.id;
    // The queries left the Default program as it was.
    EXPECT_EQ(1.0f, unit->parameter(0));
    EXPECT_EQ(0.0f, unit->parameter(4));
}

TEST(TirrowStreamFormat, CutoffRangeFollowsTheOutputSampleRate)
{
    // The cutoff runs from 50 Hz to three quarters of the output rate; 0.5 is
    // the geometric mean of the two ends.
    struct Case
    {
        Float64 rate;
        const char* text;
    };
    const Case cases[] = {{22050.0, "00909 Hz"}, {44100.0, "01285 Hz"}, {96000.0, "01897 Hz"}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.rate);
        InputSource source;
        Unit unit(TirrowComponent());
        ASSERT_EQ(noErr, unit.status);
        ASSERT_EQ(noErr, unit.setFormats(2, 2, c.rate));
        ASSERT_EQ(noErr, unit.connect(source));
        ASSERT_EQ(noErr, unit.initialize());
        ASSERT_EQ(noErr, unit.setParameter(CTirrow::kCutoff, 0.5f));
        EXPECT_EQ(c.text, DisplayText(unit.unit, CTirrow::kCutoff, nullptr));
    }
}

TEST_F(TirrowUnit, AllSwitchesOffRenderSilence)
{
    source.signal = {Noise(1024, 1), Noise(1024, 2)};
    for (AudioUnitParameterID id = 3; id < 8; ++id)
        ASSERT_EQ(noErr, unit->setParameter(id, 0.0f));
    Audio out(2, 512);
    for (int block = 0; block < 2; ++block)
    {
        ASSERT_EQ(noErr, unit->render(out, 512));
        for (const auto& channel : out.channels)
            for (float sample : channel)
                ASSERT_EQ(0.0f, sample);
    }
}

TEST_F(TirrowUnit, InPlaceProcessingGivesTheSameResultAsSeparateBuffers)
{
    source.signal = {Noise(2048, 3), Noise(2048, 4)};
    InputSource twin = source;
    Unit other(TirrowComponent());
    ASSERT_EQ(noErr, other.setFormats(2, 2));
    ASSERT_EQ(noErr, other.connect(twin));
    ASSERT_EQ(noErr, other.initialize());
    const UInt32 on = 1;
    ASSERT_EQ(noErr, other.set(kAudioUnitProperty_InPlaceProcessing, on));
    for (AudioUnit u : {unit->unit, other.unit})
    {
        const AUPreset peak{9, nullptr}; // every response on, drive at full
        ASSERT_EQ(noErr, AudioUnitSetProperty(u, kAudioUnitProperty_PresentPreset,
                                              kAudioUnitScope_Global, 0, &peak, sizeof peak));
    }
    Audio separate(2, 512), shared(2, 512);
    for (int block = 0; block < 4; ++block)
    {
        ASSERT_EQ(noErr, unit->render(separate, 512));
        ASSERT_EQ(noErr, other.render(shared, 512));
        EXPECT_EQ(separate.channels, shared.channels) << block;
    }
}

TEST_F(TirrowUnit, ControlChangesArriveWithTheNextBlock)
{
    source.signal = {std::vector<float>(4096, 0.0f)};
    Audio out(2, 64);
    struct Case
    {
        UInt32 status, controller, value;
        float lowPass;
        const char* display;
    };
    const float on = 64.0f / 127.0f;
    const Case cases[] = {
        {0xB0, 53, 63, 63.0f / 127.0f, "Off  "},
        {0xB5, 53, 64, on, " On  "},
        {0xB0, 49, 0, on, " On  "},
        {0xB0, 58, 0, on, " On  "},
        {0x90, 53, 0, on, " On  "},
        {0xBF, 53, 127, 1.0f, " On  "},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(noErr, MusicDeviceMIDIEvent(unit->unit, c.status, c.controller, c.value, 0));
        ASSERT_EQ(noErr, unit->render(out, 64));
        EXPECT_FLOAT_EQ(c.lowPass, unit->parameter(CTirrow::kLowPass))
            << std::hex << c.status << std::dec << " " << c.controller << " " << c.value;
        EXPECT_EQ(c.display, DisplayText(unit->unit, CTirrow::kLowPass, nullptr));
    }
    // The can-do selector does not list the MIDI selectors.
    EXPECT_EQ(0, CallComponentCanDo(unit->unit, kMusicDeviceMIDIEventSelect));
}

TEST_F(TirrowUnit, NonFiniteInputLeavesNothingStuck)
{
    std::vector<float> left = Noise(2048, 5);
    left[100] = std::nanf("");
    left[101] = INFINITY;
    source.signal = {left, Noise(2048, 6)};
    Audio out(2, 512);
    ASSERT_EQ(noErr, unit->render(out, 512)); // the bad samples are in this block
    for (int block = 0; block < 3; ++block)
    {
        ASSERT_EQ(noErr, unit->render(out, 512));
        for (const auto& channel : out.channels)
            for (float sample : channel)
                ASSERT_TRUE(std::isfinite(sample)) << block;
    }
}

TEST_F(TirrowUnit, RenderingAllocatesNothingOnceTheLargestBlockWasSeen)
{
    source.signal = {Noise(16384, 7)};
    Audio large(2, 4096), small(2, 256);
    ASSERT_EQ(noErr, unit->render(large, 4096));
    const allocation_counter::Watch watch;
    for (int block = 0; block < 8; ++block)
    {
        ASSERT_EQ(noErr, MusicDeviceMIDIEvent(unit->unit, 0xB0, 50, 10 * block, 0));
        ASSERT_EQ(noErr, unit->render(block % 2 == 0 ? small : large, block % 2 == 0 ? 256 : 4096));
    }
    EXPECT_EQ(0, watch.allocations());
}

TEST_F(TirrowUnit, SavedStateBringsBackEditedProgramsAndTheCurrentOne)
{
    const AUPreset notch{4, nullptr};
    ASSERT_EQ(noErr, unit->set(kAudioUnitProperty_PresentPreset, notch));
    ASSERT_EQ(noErr, unit->setParameter(CTirrow::kResonance, 0.66f));
    CFPropertyListRef state = nullptr;
    ASSERT_EQ(noErr, unit->get(kAudioUnitProperty_ClassInfo, state));
    auto dump = static_cast<CFDataRef>(
        CFDictionaryGetValue(static_cast<CFDictionaryRef>(state), CFSTR("mCompleteData")));
    ASSERT_NE(nullptr, dump);
    EXPECT_EQ((8 * 4 + 28) * 16, CFDataGetLength(dump));

    Unit fresh(TirrowComponent());
    ASSERT_EQ(noErr, fresh.set(kAudioUnitProperty_ClassInfo, state));
    CTirrow* effect = EffectOf(fresh.unit);
    EXPECT_EQ(4, effect->getProgram());
    EXPECT_EQ(0.66f, fresh.parameter(CTirrow::kResonance));
    EXPECT_EQ(1.0f, fresh.parameter(CTirrow::kNotch));
    EXPECT_STREQ("Notch filter", effect->programRecord(4)->name);
    EXPECT_EQ(0.66f, effect->programRecord(4)->values[CTirrow::kResonance]);
    CFRelease(state);
}

} // namespace
