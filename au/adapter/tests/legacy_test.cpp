// The older adapter variant of the chorus bundle, as a host sees it: its
// shorter host list, its own saved-state keys with the values coming back
// from the base's data, no MIDI and no latency override, and preset names
// that are "Default" outside initialisation.
#include "AdapterHost.h"

#include "audioeffectx.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace adapter_host;

namespace
{

constexpr OSType kLegacySubtype = 0x6C656779; // 'legy'
constexpr OSType kManufacturer = 0x716F524C;  // 'qoRL'
constexpr VstInt32 kPrograms = 2;
constexpr VstInt32 kParams = 2;

// Two programs sharing two parameters, and an opaque chunk.
class LegacyProbe : public AudioEffectX
{
public:
    explicit LegacyProbe(audioMasterCallback instance) : AudioEffectX(instance, kPrograms, kParams)
    {
    }

    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override
    {
        for (int c = 0; c < 2; ++c)
            for (VstInt32 i = 0; i < frames; ++i)
                outputs[c][i] = inputs[c][i];
    }
    void setParameter(VstInt32 index, float value) override { values[index] = value; }
    float getParameter(VstInt32 index) override { return values[index]; }
    void getProgramName(char* name) override { std::strcpy(name, curProgram ? "Wide" : "Narrow"); }
    VstInt32 getChunk(void** data, bool) override
    {
        *data = chunk.data();
        return static_cast<VstInt32>(chunk.size());
    }
    VstInt32 setChunk(void* data, VstInt32 size, bool) override
    {
        const auto* bytes = static_cast<const char*>(data);
        chunk.assign(bytes, bytes + size);
        return 0;
    }

    float values[kParams] = {0.0f, 0.0f};
    std::string chunk = "none";
};

Component LegacyComponent()
{
    static const Component component = []
    {
        const ComponentDescription description{kAudioUnitType_Effect, kLegacySubtype, kManufacturer,
                                               0, 0};
        return FxRegisterComponent(&description, &ComponentEntryPoint<LegacyProbe>::Dispatch,
                                   "LegacyProbe", 1);
    }();
    return component;
}

LegacyProbe* EffectOf(AudioUnit unit)
{
    AudioEffectX* effect = nullptr;
    UInt32 size = sizeof effect;
    EXPECT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_EffectLink,
                                          kAudioUnitScope_Global, 0, &effect, &size));
    return dynamic_cast<LegacyProbe*>(effect);
}

TEST(LegacyAdapterTest, KnowsOnlyDigitalPerformerAndTheAppleHosts)
{
    const HostFlagsCase cases[] = {
        {"de.TCWorks.SparkXL", "1.0", false, false, false, false, false, false},
        {"com.apple.audio.aulab", "1", false, false, false, false, false, false},
        {"com.motu.DigitalPerformer", "4.1", false, false, false, false, true, true},
        {"com.apple.garageband", "1", false, true, false, false, false, false},
        {"com.apple.logic.pro", "7", false, true, false, false, false, false},
        {"de.emagic.Logic", "6.4", true, true, false, false, false, false},
    };
    for (const HostFlagsCase& c : cases)
    {
        SetHostIdentity(c.id, c.version);
        Unit unit(LegacyComponent());
        LegacyProbe* effect = EffectOf(unit.unit);
        ASSERT_NE(nullptr, effect);
        ExpectHostFlags(c, effect);
    }
    FxSetMainBundleInfo(nullptr, nullptr);
}

TEST(LegacyAdapterTest, StateCarriesTheChunkAndProgramAndTheValuesComeBackFromTheBaseData)
{
    CFPropertyListRef state = nullptr;
    {
        Unit unit(LegacyComponent());
        LegacyProbe* effect = EffectOf(unit.unit);
        ASSERT_NE(nullptr, effect);
        effect->chunk = "opaque";
        ASSERT_EQ(noErr, unit.setParameter(0, 0.25f));
        ASSERT_EQ(noErr, unit.setParameter(1, 0.75f));
        const AUPreset wide{1, CFSTR("Wide")};
        ASSERT_EQ(noErr, unit.set(kAudioUnitProperty_PresentPreset, wide));
        ASSERT_EQ(noErr, unit.get(kAudioUnitProperty_ClassInfo, state));
    }
    ASSERT_NE(nullptr, state);
    const auto dictionary = static_cast<CFDictionaryRef>(state);
    EXPECT_EQ(nullptr, CFDictionaryGetValue(dictionary, CFSTR("mChunkData")));
    EXPECT_EQ(nullptr, CFDictionaryGetValue(dictionary, CFSTR("mCompleteData")));
    EXPECT_EQ(nullptr, CFDictionaryGetValue(dictionary, CFSTR("mCurPreset")));
    const auto program =
        static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, CFSTR("apVSTcurPreset")));
    SInt32 saved = -1;
    ASSERT_NE(nullptr, program);
    ASSERT_TRUE(CFNumberGetValue(program, kCFNumberSInt32Type, &saved));
    EXPECT_EQ(1, saved);

    Unit fresh(LegacyComponent());
    LegacyProbe* effect = EffectOf(fresh.unit);
    ASSERT_NE(nullptr, effect);
    ASSERT_EQ(noErr, fresh.set(kAudioUnitProperty_ClassInfo, state));
    CFRelease(state);
    EXPECT_EQ("opaque", effect->chunk);
    EXPECT_EQ(1, effect->getProgram());
    EXPECT_FLOAT_EQ(0.25f, effect->values[0]);
    EXPECT_FLOAT_EQ(0.75f, effect->values[1]);
}

TEST(LegacyAdapterTest, HasNoMidiNoLatencyOverrideAndDefaultNamesOutsideInitialisation)
{
    InputSource source;
    source.signal = {std::vector<float>(64, 0.0f)};
    Unit unit(LegacyComponent());
    EXPECT_EQ(badComponentSelector, MusicDeviceMIDIEvent(unit.unit, 0xB0, 50, 64, 0));
    const Float64 latency = 0.5;
    EXPECT_EQ(kAudioUnitErr_InvalidProperty, unit.set(kAudioUnitProperty_Latency, latency));

    const std::vector<std::string> defaults{"Default", "Default"};
    EXPECT_EQ(defaults, PresetNames(unit.unit));
    ASSERT_EQ(noErr, unit.setFormats(2, 2));
    ASSERT_EQ(noErr, unit.connect(source));
    ASSERT_EQ(noErr, unit.initialize());
    EXPECT_EQ((std::vector<std::string>{"Narrow", "Wide"}), PresetNames(unit.unit));
    ASSERT_EQ(noErr, AudioUnitUninitialize(unit.unit));
    EXPECT_EQ(defaults, PresetNames(unit.unit));
}

} // namespace
