// GrumboChorus as an Audio Unit (the older adapter variant): the component
// opened through its entry function and driven as a host drives it.
#include "AdapterHost.h"
#include "allocation_counter.h"
#include "grumbochorus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

extern "C" ComponentResult grumbochorusEntry(ComponentParameters* params, void* storage);

using namespace adapter_host;

namespace
{

Component ChorusComponent()
{
    static const Component component = []
    {
        const ComponentDescription description{kAudioUnitType_Effect, 0x71477263 /* 'qGrc' */,
                                               0x716F524C /* 'qoRL' */, 0, 0};
        return FxRegisterComponent(&description, &grumbochorusEntry, "GrumboChorus", 0x10000);
    }();
    return component;
}

grumbochorus* EffectOf(AudioUnit unit)
{
    AudioEffectX* effect = nullptr;
    UInt32 size = sizeof effect;
    EXPECT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_EffectLink,
                                          kAudioUnitScope_Global, 0, &effect, &size));
    return dynamic_cast<grumbochorus*>(effect);
}

class ChorusUnit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        unit = std::make_unique<Unit>(ChorusComponent());
        ASSERT_EQ(noErr, unit->status);
        ASSERT_EQ(noErr, unit->setFormats(2, 2));
        ASSERT_EQ(noErr, unit->connect(source));
        ASSERT_EQ(noErr, unit->initialize());
    }

    void RenderFrames(UInt32 frames)
    {
        Audio out(2, 512);
        for (UInt32 done = 0; done < frames; done += 512)
            ASSERT_EQ(noErr, unit->render(out, 512));
    }

    InputSource source;
    std::unique_ptr<Unit> unit;
};

TEST_F(ChorusUnit, MixtureSettlesTheDryAndWetGains)
{
    source.signal = {std::vector<float>(1 << 16, 0.0f)};
    grumbochorus* effect = EffectOf(unit->unit);
    struct Case
    {
        float mixture, dry, wet;
    };
    const Case cases[] = {
        {0.0f, 1.0f, 0.0f}, {0.5f, 0.70710678f, 0.39283710f}, {1.0f, 0.0f, 5.0f / 9.0f}};
    for (const Case& c : cases)
    {
        ASSERT_EQ(noErr, unit->setParameter(grumbochorus::kMixture, c.mixture));
        RenderFrames(1024);
        EXPECT_NEAR(c.dry, effect->currentDryGain(), 1e-5) << c.mixture;
        EXPECT_NEAR(c.wet, effect->currentWetGain(), 1e-5) << c.mixture;
    }
}

TEST_F(ChorusUnit, DepthZeroEchoesTheInputThirtyMillisecondsLater)
{
    ASSERT_EQ(noErr, unit->setParameter(grumbochorus::kDepth, 0.0f));
    ASSERT_EQ(noErr, unit->setParameter(grumbochorus::kMixture, 1.0f));
    // Silence while the base delay glides to 30 ms, then one click.
    const size_t settle = 40 * 512;
    std::vector<float> signal(settle + 4096, 0.0f);
    signal[settle] = 1.0f;
    source.signal = {signal};
    RenderFrames(settle);

    Audio out(2, 4096);
    ASSERT_EQ(noErr, unit->render(out, 4096));
    const size_t echo = 1323; // 30 ms at 44.1 kHz
    for (const auto& channel : out.channels)
    {
        for (size_t i = 0; i + 1 < echo; ++i)
            ASSERT_LT(std::fabs(channel[i]), 1e-6f) << i;
        float loudest = 0.0f;
        for (size_t i = echo - 1; i < echo + 64; ++i)
            loudest = std::max(loudest, std::fabs(channel[i]));
        EXPECT_GT(loudest, 0.01f);
    }
}

TEST_F(ChorusUnit, HostValuesAreClampedAndDisplayed)
{
    struct Case
    {
        AudioUnitParameterID id;
        float set, stored;
        const char* text;
    };
    const Case cases[] = {
        {grumbochorus::kDepth, 0.4f, 0.4f, "5.80 "},
        {grumbochorus::kSpeed, 2.0f, 1.0f, "13.00 "},
        {grumbochorus::kMixture, -1.0f, 0.0f, "-6.00 "},
        {grumbochorus::kMixture, 0.5f, 0.5f, "+0.00 "},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(noErr, unit->setParameter(c.id, c.set));
        EXPECT_EQ(c.stored, unit->parameter(c.id)) << c.id << " " << c.set;
        EXPECT_EQ(c.text, DisplayText(unit->unit, c.id, nullptr)) << c.id << " " << c.set;
    }
}

TEST_F(ChorusUnit, OlderVariantHasNoMidiNoLatencyOverrideAndItsOwnView)
{
    EXPECT_EQ(badComponentSelector, MusicDeviceMIDIEvent(unit->unit, 0xB0, 50, 1, 0));
    const Float64 latency = 0.1;
    EXPECT_EQ(kAudioUnitErr_InvalidProperty, unit->set(kAudioUnitProperty_Latency, latency));
    ComponentDescription view{};
    ASSERT_EQ(noErr, unit->get(kAudioUnitProperty_GetUIComponentList, view));
    EXPECT_EQ(0x71764743u, view.componentSubType); // 'qvGC'
    CFArrayRef presets = nullptr;
    EXPECT_EQ(kAudioUnitErr_InvalidProperty, unit->get(kAudioUnitProperty_FactoryPresets, presets));
}

TEST_F(ChorusUnit, SavedStateCarriesTheValuesThroughTheBaseData)
{
    ASSERT_EQ(noErr, unit->setParameter(grumbochorus::kDepth, 0.9f));
    ASSERT_EQ(noErr, unit->setParameter(grumbochorus::kSpeed, 0.1f));
    CFPropertyListRef state = nullptr;
    ASSERT_EQ(noErr, unit->get(kAudioUnitProperty_ClassInfo, state));
    auto dictionary = static_cast<CFDictionaryRef>(state);
    EXPECT_NE(nullptr, CFDictionaryGetValue(dictionary, CFSTR("apVSTcurPreset")));
    EXPECT_EQ(nullptr, CFDictionaryGetValue(dictionary, CFSTR("mCompleteData")));
    EXPECT_EQ(nullptr, CFDictionaryGetValue(dictionary, CFSTR("mCurPreset")));

    Unit fresh(ChorusComponent());
    ASSERT_EQ(noErr, fresh.set(kAudioUnitProperty_ClassInfo, state));
    EXPECT_EQ(0.9f, fresh.parameter(grumbochorus::kDepth));
    EXPECT_EQ(0.1f, fresh.parameter(grumbochorus::kSpeed));
    EXPECT_EQ(0.5f, fresh.parameter(grumbochorus::kMixture));
    CFRelease(state);
}

TEST_F(ChorusUnit, NonFiniteInputLeavesNothingStuck)
{
    std::vector<float> left(4096, 0.25f);
    left[10] = std::nanf("");
    left[11] = -INFINITY;
    source.signal = {left, std::vector<float>(4096, -0.25f)};
    Audio out(2, 512);
    ASSERT_EQ(noErr, unit->render(out, 512));
    for (int block = 0; block < 3; ++block)
    {
        ASSERT_EQ(noErr, unit->render(out, 512));
        for (const auto& channel : out.channels)
            for (float sample : channel)
                ASSERT_TRUE(std::isfinite(sample)) << block;
    }
}

TEST_F(ChorusUnit, RenderingAllocatesNothingWhileTheRateStands)
{
    source.signal = {std::vector<float>(8192, 0.1f)};
    Audio out(2, 512);
    ASSERT_EQ(noErr, unit->render(out, 512));
    const allocation_counter::Watch watch;
    for (int block = 0; block < 8; ++block)
    {
        ASSERT_EQ(noErr, unit->setParameter(grumbochorus::kSpeed, 0.1f * block));
        ASSERT_EQ(noErr, unit->render(out, 512));
    }
    EXPECT_EQ(0, watch.allocations());
}

} // namespace
