// The built bundles, loaded as a host loads them: registered from their
// Info.plist, opened, rendered and saved through the Component Manager. The
// bundles take the Component Manager and CoreFoundation from this process.
#include "AdapterHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

using namespace adapter_host;

namespace
{

constexpr OSType kManufacturer = 0x716F524C; // 'qoRL'

Component Find(OSType subtype)
{
    const ComponentDescription looking{kAudioUnitType_Effect, subtype, kManufacturer, 0, 0};
    return FindNextComponent(nullptr, &looking);
}

class Bundles : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const char* dir = std::getenv("FX_BUNDLE_DIR");
        ASSERT_NE(nullptr, dir);
        for (const char* name : {"Tirrow.component", "GrumboChorus.component"})
        {
            SInt32 count = 0;
            ASSERT_EQ(noErr, FxRegisterComponentsFromBundle((std::string(dir) + "/" + name).c_str(),
                                                            &count))
                << name;
            EXPECT_EQ(1, count) << name;
        }
    }
};

TEST_F(Bundles, ListTheirEffectComponents)
{
    struct Case
    {
        OSType subtype;
        const char* name;
        SInt32 version;
    };
    const Case cases[] = {{0x71546972, "Quorlin-Audio: Tirrow", 0x10003},
                          {0x71477263, "Quorlin: GrumboChorus", 0x10000}};
    for (const Case& c : cases)
    {
        Component component = Find(c.subtype);
        ASSERT_NE(nullptr, component) << c.name;
        EXPECT_STREQ(c.name, FxGetComponentName(component));
        EXPECT_EQ(c.version, FxGetComponentVersionNumber(component));
    }
}

TEST_F(Bundles, BothRenderSideBySideAndKeepTheirState)
{
    InputSource tirrowInput, chorusInput;
    std::vector<float> tone(8192);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
    tirrowInput.signal = {tone};
    chorusInput.signal = {tone};

    Unit tirrow(Find(0x71546972));
    Unit chorus(Find(0x71477263));
    ASSERT_EQ(noErr, tirrow.status);
    ASSERT_EQ(noErr, chorus.status);
    for (auto* unit : {&tirrow, &chorus})
    {
        ASSERT_EQ(noErr, unit->setFormats(2, 2, 48000.0));
        ASSERT_EQ(noErr, unit->connect(unit == &tirrow ? tirrowInput : chorusInput));
        ASSERT_EQ(noErr, unit->initialize());
    }
    const AUPreset bandPass{3, nullptr};
    ASSERT_EQ(noErr, tirrow.set(kAudioUnitProperty_PresentPreset, bandPass));
    ASSERT_EQ(noErr, MusicDeviceMIDIEvent(tirrow.unit, 0xB0, 52, 127, 0)); // drive to full

    Audio a(2, 1024), b(2, 1024);
    float energyA = 0.0f, energyB = 0.0f;
    for (int block = 0; block < 4; ++block)
    {
        ASSERT_EQ(noErr, tirrow.render(a, 1024));
        ASSERT_EQ(noErr, chorus.render(b, 1024));
        for (int c = 0; c < 2; ++c)
            for (UInt32 i = 0; i < 1024; ++i)
            {
                ASSERT_TRUE(std::isfinite(a.channels[c][i]) && std::isfinite(b.channels[c][i]));
                energyA += a.channels[c][i] * a.channels[c][i];
                energyB += b.channels[c][i] * b.channels[c][i];
            }
    }
    EXPECT_GT(energyA, 1.0f);
    EXPECT_GT(energyB, 1.0f);
    EXPECT_EQ(1.0f, tirrow.parameter(2));
    EXPECT_EQ("Band pass filter", PresetNames(tirrow.unit).at(3));

    CFPropertyListRef state = nullptr;
    ASSERT_EQ(noErr, tirrow.get(kAudioUnitProperty_ClassInfo, state));
    Unit again(Find(0x71546972));
    ASSERT_EQ(noErr, again.set(kAudioUnitProperty_ClassInfo, state));
    EXPECT_EQ(1.0f, again.parameter(2));
    EXPECT_EQ(1.0f, again.parameter(4));
    // A Tirrow state is refused by the chorus, which keeps its values.
    EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue, chorus.set(kAudioUnitProperty_ClassInfo, state));
    EXPECT_FLOAT_EQ(0.4f, chorus.parameter(0));
    CFRelease(state);
}

} // namespace
