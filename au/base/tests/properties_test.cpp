// The property table and the selector dispatch, driven through the
// Component Manager as a host drives them.
#include "TestUnit.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

namespace
{

struct InfoCase
{
    AudioUnitPropertyID id;
    AudioUnitScope scope;
    AudioUnitElement element;
    OSStatus status;
    UInt32 size;
    bool writable;
};

const AudioUnitScope G = kAudioUnitScope_Global;
const AudioUnitScope I = kAudioUnitScope_Input;
const AudioUnitScope O = kAudioUnitScope_Output;

// Everything a refused set must leave alone.
struct Snapshot
{
    AudioStreamBasicDescription input{}, output{};
    UInt32 maxFrames = 0;
    AUPreset preset{};
    Float32 gain = 0.0f;
    UInt32 inputs = 0;

    static Snapshot Of(AudioUnit unit)
    {
        Snapshot s;
        UInt32 size = sizeof s.input;
        EXPECT_EQ(
            AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, I, 0, &s.input, &size),
            noErr);
        size = sizeof s.output;
        AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, &s.output, &size);
        size = sizeof s.maxFrames;
        AudioUnitGetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &s.maxFrames,
                             &size);
        size = sizeof s.preset;
        AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, G, 0, &s.preset, &size);
        AudioUnitGetParameter(unit, kGainParameter, G, 0, &s.gain);
        size = sizeof s.inputs;
        AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount, I, 0, &s.inputs, &size);
        return s;
    }
    bool operator==(const Snapshot& o) const
    {
        return std::memcmp(&input, &o.input, sizeof input) == 0 &&
               std::memcmp(&output, &o.output, sizeof output) == 0 && maxFrames == o.maxFrames &&
               preset.presetNumber == o.preset.presetNumber &&
               CFEqual(preset.presetName, o.preset.presetName) && gain == o.gain &&
               inputs == o.inputs;
    }
};

struct ListenerLog
{
    std::vector<std::pair<int, AudioUnitPropertyID>> calls;
};

void ListenerA(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
    auto* log = static_cast<ListenerLog*>(refCon);
    log->calls.push_back({1, id});
}

void ListenerB(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
    static_cast<ListenerLog*>(refCon)->calls.push_back({2, id});
}

CAStreamBasicDescription Canonical(UInt32 channels, Float64 rate)
{
    CAStreamBasicDescription format;
    format.mSampleRate = rate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    format.mFramesPerPacket = 1;
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 32;
    format.mBytesPerFrame = format.mBytesPerPacket = 4;
    return format;
}

} // namespace

class Properties : public UnitTest
{
};

TEST_F(Properties, InfoTableRowByRow)
{
    AudioUnit unit = Open();
    const InfoCase cases[] = {
        {kAudioUnitProperty_ClassInfo, G, 0, noErr, sizeof(CFPropertyListRef), true},
        {kAudioUnitProperty_ClassInfo, I, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_ClassInfo, G, 1, kAudioUnitErr_InvalidElement, 0, false},
        {kAudioUnitProperty_MakeConnection, I, 0, noErr, sizeof(AudioUnitConnection), true},
        {kAudioUnitProperty_MakeConnection, O, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_MakeConnection, I, 3, kAudioUnitErr_InvalidElement, 0, false},
        {kAudioUnitProperty_SampleRate, O, 0, noErr, 8, true},
        {kAudioUnitProperty_SampleRate, kAudioUnitScope_Group, 0, kAudioUnitErr_InvalidElement, 0,
         false},
        {kAudioUnitProperty_SampleRate, 9, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_ParameterList, G, 0, noErr, 4, false},
        {kAudioUnitProperty_ParameterList, I, 0, noErr, 0, false},
        {kAudioUnitProperty_ParameterList, 9, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_ParameterInfo, G, 0, noErr, sizeof(AudioUnitParameterInfo), false},
        {kAudioUnitProperty_FastDispatch, G, kAudioUnitRenderSelect, noErr, sizeof(void*), false},
        {kAudioUnitProperty_FastDispatch, I, kAudioUnitRenderSelect, kAudioUnitErr_InvalidScope, 0,
         false},
        {kAudioUnitProperty_StreamFormat, I, 0, noErr, 40, true},
        {kAudioUnitProperty_StreamFormat, I, 1, kAudioUnitErr_InvalidElement, 0, false},
        {kAudioUnitProperty_StreamFormat, G, 0, noErr, 40, true},
        {kAudioUnitProperty_ElementCount, I, 0, noErr, 4, false},
        {kAudioUnitProperty_ElementCount, 9, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_Latency, G, 0, noErr, 8, false},
        {kAudioUnitProperty_Latency, O, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_Latency, G, 2, kAudioUnitErr_InvalidElement, 0, false},
        {kAudioUnitProperty_SupportedNumChannels, G, 0, noErr, 4, false},
        {kAudioUnitProperty_MaximumFramesPerSlice, G, 0, noErr, 4, true},
        {kAudioUnitProperty_SetExternalBuffer, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_ParameterValueStrings, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_GetUIComponentList, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_AudioChannelLayout, O, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_TailTime, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_LastRenderError, G, 0, noErr, 4, false},
        {kAudioUnitProperty_SetRenderCallback, I, 0, noErr, sizeof(AURenderCallbackStruct), true},
        {kAudioUnitProperty_SetRenderCallback, O, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_FactoryPresets, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {kAudioUnitProperty_ContextName, G, 0, noErr, sizeof(CFStringRef), true},
        {kAudioUnitProperty_HostCallbacks, G, 0, noErr, sizeof(HostCallbackInfo), true},
        {kAudioUnitProperty_CurrentPreset, G, 0, noErr, sizeof(AUPreset), true},
        {kAudioUnitProperty_PresentPreset, O, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_ElementName, O, 0, noErr, sizeof(CFStringRef), true},
        {kAudioUnitProperty_ElementName, O, 2, kAudioUnitErr_InvalidElement, 0, false},
        {kAudioUnitProperty_ElementName, 5, 0, kAudioUnitErr_InvalidScope, 0, false},
        {kAudioUnitProperty_SupportedChannelLayoutTags, O, 0, kAudioUnitErr_InvalidProperty, 0,
         false},
        {kAudioUnitProperty_SupportedChannelLayoutTags, G, 0, kAudioUnitErr_InvalidElement, 0,
         false},
        {kAudioUnitProperty_IconLocation, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
        {4242, G, 0, kAudioUnitErr_InvalidProperty, 0, false},
    };
    for (const InfoCase& c : cases)
    {
        UInt32 size = 999;
        Boolean writable = 2;
        const OSStatus status =
            AudioUnitGetPropertyInfo(unit, c.id, c.scope, c.element, &size, &writable);
        EXPECT_EQ(status, c.status) << "property " << c.id << " scope " << c.scope;
        if (status == noErr)
        {
            EXPECT_EQ(size, c.size) << "property " << c.id;
            EXPECT_EQ(writable != 0, c.writable) << "property " << c.id;
        }
    }
    // Places the caller leaves out are not written.
    EXPECT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_Latency, G, 0, nullptr, nullptr),
              noErr);
}

TEST_F(Properties, WritabilityFollowsInitialisationAndTail)
{
    AudioUnit unit = Open({.supportsTail = true});
    UInt32 size = 0;
    Boolean writable = 0;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_TailTime, G, 0, &size, &writable),
              noErr);
    EXPECT_EQ(size, 8u);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    ASSERT_EQ(
        AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_StreamFormat, O, 0, &size, &writable),
        noErr);
    EXPECT_FALSE(writable);
}

TEST_F(Properties, GetIntoSmallerNullAndEmptyPlaces)
{
    AudioUnit unit = Open();
    // The first 8 bytes of the stream format are its sample rate.
    Float64 rate = 0.0;
    UInt32 size = sizeof rate;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, &rate, &size),
              noErr);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(size, sizeof rate);

    size = 0;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, nullptr, &size),
              noErr);
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, &rate, nullptr),
              paramErr);
    size = 0;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, &rate, &size),
              paramErr);

    AudioStreamBasicDescription format{};
    size = 100;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, &format, &size),
              noErr);
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);
    EXPECT_EQ(format.mFormatFlags, kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                                       kAudioFormatFlagIsNonInterleaved);

    size = sizeof format;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, O, 3, &format, &size),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(size, 0u);
    // The same when the refusal is thrown from deep inside.
    size = sizeof format;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, 9, 0, &format, &size),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(size, 0u);
}

TEST_F(Properties, SmallerPlaceStillCarriesTheCallersQuestion)
{
    AudioUnit unit = Open();
    // The caller hands over only the question and the answer, not the padding.
    TestDoubledQuery query{21, 0, 0};
    UInt32 size = offsetof(TestDoubledQuery, padding);
    ASSERT_EQ(
        AudioUnitGetProperty(unit, kTestProperty_Doubled, kAudioUnitScope_Global, 0, &query, &size),
        noErr);
    EXPECT_EQ(query.answer, 42);
    EXPECT_EQ(size, offsetof(TestDoubledQuery, padding));
}

TEST_F(Properties, RefusedSetsChangeNothing)
{
    AudioUnit unit = Open();
    const Snapshot before = Snapshot::Of(unit);

    const CAStreamBasicDescription good = Canonical(1, 48000.0);
    CAStreamBasicDescription int16 = good;
    int16.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked |
                         kAudioFormatFlagIsNonInterleaved;
    int16.mBitsPerChannel = 16;
    int16.mBytesPerFrame = int16.mBytesPerPacket = 2;
    const CAStreamBasicDescription nanRate = Canonical(1, std::nan(""));
    const CAStreamBasicDescription noChannels = Canonical(0, 48000.0);
    const Float64 negativeRate = -44100.0;
    const UInt32 zeroFrames = 0, frames = 512;
    CFStringRef name = CFSTR("Bus");
    const SInt32 number = 3;
    CFNumberRef notAString = CFNumberCreate(nullptr, kCFNumberSInt32Type, &number);
    CFStringRef nullString = nullptr;
    const AUPreset noName{-1, nullptr};
    const AUPreset factory{3, CFSTR("Three")};
    const AUPreset notAName{-1, reinterpret_cast<CFStringRef>(notAString)};
    const AURenderCallbackStruct callback{RampInput, nullptr};
    const AudioUnitConnection connection{nullptr, 0, 0};
    AudioChannelLayout layout{};
    layout.mNumberChannelDescriptions = 2;
    alignas(16) Byte external[64];
    const AudioUnitExternalBuffer externalBuffer{external, sizeof external};

    struct SetCase
    {
        const char* what;
        AudioUnitPropertyID id;
        AudioUnitScope scope;
        AudioUnitElement element;
        const void* data;
        UInt32 size;
        OSStatus status;
    };
    const SetCase cases[] = {
        {"class info size", kAudioUnitProperty_ClassInfo, G, 0, &notAString, 4,
         kAudioUnitErr_InvalidPropertyValue},
        {"class info scope", kAudioUnitProperty_ClassInfo, I, 0, &notAString, 8,
         kAudioUnitErr_InvalidScope},
        {"class info not a dictionary", kAudioUnitProperty_ClassInfo, G, 0, &notAString,
         sizeof(CFPropertyListRef), kAudioUnitErr_InvalidPropertyValue},
        {"format short", kAudioUnitProperty_StreamFormat, O, 0, &good, 20,
         kAudioUnitErr_InvalidPropertyValue},
        {"format not canonical", kAudioUnitProperty_StreamFormat, O, 0, &int16, 40,
         kAudioUnitErr_FormatNotSupported},
        {"format rate not a number", kAudioUnitProperty_StreamFormat, O, 0, &nanRate, 40,
         kAudioUnitErr_FormatNotSupported},
        {"format without channels", kAudioUnitProperty_StreamFormat, O, 0, &noChannels, 40,
         kAudioUnitErr_FormatNotSupported},
        {"format scope", kAudioUnitProperty_StreamFormat, 9, 0, &good, 40,
         kAudioUnitErr_InvalidScope},
        {"format element", kAudioUnitProperty_StreamFormat, I, 3, &good, 40,
         kAudioUnitErr_InvalidElement},
        {"rate size", kAudioUnitProperty_SampleRate, O, 0, &negativeRate, 4,
         kAudioUnitErr_InvalidPropertyValue},
        {"rate negative", kAudioUnitProperty_SampleRate, O, 0, &negativeRate, 8,
         kAudioUnitErr_FormatNotSupported},
        {"max frames size", kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &frames, 2,
         kAudioUnitErr_InvalidPropertyValue},
        {"max frames scope", kAudioUnitProperty_MaximumFramesPerSlice, I, 0, &frames, 4,
         kAudioUnitErr_InvalidScope},
        {"max frames zero", kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &zeroFrames, 4,
         kAudioUnitErr_InvalidPropertyValue},
        {"bus count not writable", kAudioUnitProperty_ElementCount, I, 0, &frames, 4,
         kAudioUnitErr_PropertyNotWritable},
        {"element name not a string", kAudioUnitProperty_ElementName, O, 0, &notAString,
         sizeof(CFStringRef), kAudioUnitErr_InvalidPropertyValue},
        {"element name size", kAudioUnitProperty_ElementName, O, 0, &name, 4,
         kAudioUnitErr_InvalidPropertyValue},
        {"context name none", kAudioUnitProperty_ContextName, G, 0, &nullString,
         sizeof(CFStringRef), kAudioUnitErr_InvalidPropertyValue},
        {"context name scope", kAudioUnitProperty_ContextName, O, 0, &name, sizeof(CFStringRef),
         kAudioUnitErr_InvalidScope},
        {"user preset without name", kAudioUnitProperty_CurrentPreset, G, 0, &noName,
         sizeof(AUPreset), kAudioUnitErr_InvalidPropertyValue},
        {"user preset name not a string", kAudioUnitProperty_PresentPreset, G, 0, &notAName,
         sizeof(AUPreset), kAudioUnitErr_InvalidPropertyValue},
        {"factory preset without presets", kAudioUnitProperty_PresentPreset, G, 0, &factory,
         sizeof(AUPreset), kAudioUnitErr_InvalidProperty},
        {"preset size", kAudioUnitProperty_CurrentPreset, G, 0, &factory, 8,
         kAudioUnitErr_InvalidPropertyValue},
        {"external buffer uninitialised", kAudioUnitProperty_SetExternalBuffer, O, 0,
         &externalBuffer, sizeof externalBuffer, kAudioUnitErr_Uninitialized},
        {"render callback size", kAudioUnitProperty_SetRenderCallback, I, 0, &callback, 4,
         kAudioUnitErr_InvalidPropertyValue},
        {"render callback scope", kAudioUnitProperty_SetRenderCallback, O, 0, &callback,
         sizeof callback, kAudioUnitErr_InvalidScope},
        {"connection size", kAudioUnitProperty_MakeConnection, I, 0, &connection, 8,
         kAudioUnitErr_InvalidPropertyValue},
        {"channel layout shorter than its descriptions", kAudioUnitProperty_AudioChannelLayout, O,
         0, &layout, 12, kAudioUnitErr_InvalidPropertyValue},
        {"read-only latency", kAudioUnitProperty_Latency, G, 0, &negativeRate, 8,
         kAudioUnitErr_InvalidProperty},
        {"data without size", kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &frames, 0, paramErr},
        // A wrong size is named before a wrong scope or element.
        {"class info size, other scope", kAudioUnitProperty_ClassInfo, I, 0, &notAString, 4,
         kAudioUnitErr_InvalidPropertyValue},
        {"connection size, other scope", kAudioUnitProperty_MakeConnection, O, 0, &connection, 8,
         kAudioUnitErr_InvalidPropertyValue},
        {"rate size, missing element", kAudioUnitProperty_SampleRate, I, 3, &negativeRate, 4,
         kAudioUnitErr_InvalidPropertyValue},
        {"format short, unknown scope", kAudioUnitProperty_StreamFormat, 9, 0, &good, 20,
         kAudioUnitErr_InvalidPropertyValue},
        {"max frames size, other scope", kAudioUnitProperty_MaximumFramesPerSlice, I, 0, &frames, 2,
         kAudioUnitErr_InvalidPropertyValue},
        {"render callback size, other scope", kAudioUnitProperty_SetRenderCallback, O, 0, &callback,
         4, kAudioUnitErr_InvalidPropertyValue},
        {"context name size, other scope", kAudioUnitProperty_ContextName, O, 0, &name, 4,
         kAudioUnitErr_InvalidPropertyValue},
        {"preset size, other scope", kAudioUnitProperty_PresentPreset, O, 0, &factory, 8,
         kAudioUnitErr_InvalidPropertyValue},
    };
    for (const SetCase& c : cases)
    {
        EXPECT_EQ(AudioUnitSetProperty(unit, c.id, c.scope, c.element, c.data, c.size), c.status)
            << c.what;
        EXPECT_TRUE(Snapshot::Of(unit) == before) << c.what;
    }
    UInt32 size = sizeof(CFStringRef);
    CFStringRef got = nullptr;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, O, 0, &got, &size),
              kAudioUnitErr_InvalidPropertyValue);
    size = sizeof(CFStringRef); // a failed get leaves 0 in the size place
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ContextName, G, 0, &got, &size),
              kAudioUnitErr_InvalidPropertyValue);
    CFRelease(notAString);
}

TEST_F(Properties, InitialisedUnitRefusesFormatAndFrameChanges)
{
    AudioUnit unit = Open();
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr); // a second initialise is harmless
    const Snapshot before = Snapshot::Of(unit);

    const UInt32 frames = 512;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &frames,
                                   sizeof frames),
              kAudioUnitErr_Initialized);
    const CAStreamBasicDescription mono = Canonical(1, 44100.0);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, &mono, 40),
              kAudioUnitErr_PropertyNotWritable);
    // Equal to the current format: nothing to change, so no refusal.
    const CAStreamBasicDescription same = Canonical(2, 44100.0);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, &same, 40), noErr);
    Byte misaligned[80];
    const AudioUnitExternalBuffer buffer{misaligned + 1, 64};
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetExternalBuffer, O, 0, &buffer,
                                   sizeof buffer),
              paramErr);
    EXPECT_TRUE(Snapshot::Of(unit) == before);

    ASSERT_EQ(AudioUnitUninitialize(unit), noErr);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &frames,
                                   sizeof frames),
              noErr);
    UInt32 got = 0, size = sizeof got;
    AudioUnitGetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, G, 0, &got, &size);
    EXPECT_EQ(got, 512u);
}

TEST_F(Properties, FormatChangesNotifyOnlyWhenSomethingChanged)
{
    AudioUnit unit = Open();
    ListenerLog log;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_StreamFormat, ListenerA, &log),
              noErr);

    const CAStreamBasicDescription same = Canonical(2, 44100.0);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, O, 0, &same, 40), noErr);
    EXPECT_TRUE(log.calls.empty());

    // 36 bytes are enough; the reserved word is ignored.
    const CAStreamBasicDescription mono = Canonical(1, 44100.0);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, I, 0, &mono, 36), noErr);
    const Float64 rate = 96000.0;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SampleRate, O, 0, &rate, 8), noErr);
    EXPECT_EQ(log.calls.size(), 2u);

    AudioStreamBasicDescription format{};
    UInt32 size = sizeof format;
    AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, I, 0, &format, &size);
    EXPECT_EQ(format.mChannelsPerFrame, 1u);
    Float64 outputRate = 0.0;
    size = sizeof outputRate;
    AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, G, 0, &outputRate, &size);
    EXPECT_EQ(outputRate, 96000.0);
}

TEST_F(Properties, ListenersInOrderAndRemovedByProcedure)
{
    AudioUnit unit = Open();
    ListenerLog log;
    ListenerLog other;
    const auto id = kAudioUnitProperty_ContextName;
    AudioUnitAddPropertyListener(unit, id, ListenerA, &log);
    AudioUnitAddPropertyListener(unit, id, ListenerB, &log);
    AudioUnitAddPropertyListener(unit, id, ListenerA, &other);
    AudioUnitAddPropertyListener(unit, kAudioUnitProperty_ElementName, ListenerB, &log);

    CFStringRef name = CFSTR("Track 1");
    ASSERT_EQ(AudioUnitSetProperty(unit, id, G, 0, &name, sizeof name), noErr);
    const std::vector<std::pair<int, AudioUnitPropertyID>> expected{{1, id}, {2, id}};
    EXPECT_EQ(log.calls, expected);
    EXPECT_EQ(other.calls.size(), 1u);

    // Removing by procedure drops both registrations of ListenerA.
    AudioUnitRemovePropertyListener(unit, id, ListenerA);
    log.calls.clear();
    other.calls.clear();
    ASSERT_EQ(AudioUnitSetProperty(unit, id, G, 0, &name, sizeof name), noErr);
    EXPECT_EQ(log.calls, (std::vector<std::pair<int, AudioUnitPropertyID>>{{2, id}}));
    EXPECT_TRUE(other.calls.empty());

    CFStringRef got = nullptr;
    UInt32 size = sizeof got;
    ASSERT_EQ(AudioUnitGetProperty(unit, id, G, 0, &got, &size), noErr);
    EXPECT_TRUE(CFEqual(got, name));
    CFRelease(got); // the caller owns the retained name
    EXPECT_EQ(AudioUnitSetProperty(unit, id, G, 0, nullptr, 0), noErr); // remove
    EXPECT_EQ(AudioUnitGetProperty(unit, id, G, 0, &got, &size),
              kAudioUnitErr_InvalidPropertyValue);
}

TEST_F(Properties, PresetsNamesAndHostCallbacks)
{
    AudioUnit unit = Open();
    ListenerLog log;
    AudioUnitAddPropertyListener(unit, kAudioUnitProperty_CurrentPreset, ListenerA, &log);

    AUPreset preset{};
    UInt32 size = sizeof preset;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, G, 0, &preset, &size),
              noErr);
    EXPECT_EQ(preset.presetNumber, -1);
    EXPECT_TRUE(CFEqual(preset.presetName, CFSTR("Untitled")));

    CFStringRef mine = CFStringCreateWithCString(nullptr, "Mine", kCFStringEncodingUTF8);
    const AUPreset user{-1, mine};
    ASSERT_EQ(
        AudioUnitSetProperty(unit, kAudioUnitProperty_CurrentPreset, G, 0, &user, sizeof user),
        noErr);
    EXPECT_EQ(log.calls.size(), 1u);
    CFRelease(mine); // the unit keeps its own reference
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_PresentPreset, G, 0, &preset, &size),
              noErr);
    EXPECT_TRUE(CFEqual(preset.presetName, CFSTR("Mine")));
    CFRelease(preset.presetName); // present preset names are retained for the caller

    CFStringRef busName = CFSTR("Side chain");
    ASSERT_EQ(
        AudioUnitSetProperty(unit, kAudioUnitProperty_ElementName, I, 0, &busName, sizeof busName),
        noErr);
    CFStringRef got = nullptr;
    size = sizeof got;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, I, 0, &got, &size), noErr);
    EXPECT_TRUE(CFEqual(got, busName));
    CFRelease(got);

    // Only whole pointer-wide words of a short host-callback record are taken.
    HostCallbackInfo callbacks{};
    std::memset(&callbacks, 0x5A, sizeof callbacks);
    const UInt32 shortSize = sizeof(void*) + sizeof(void*) / 2;
    ASSERT_EQ(
        AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, G, 0, &callbacks, shortSize),
        noErr);
    HostCallbackInfo stored{};
    size = sizeof stored;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_HostCallbacks, G, 0, &stored, &size),
              noErr);
    EXPECT_EQ(stored.hostUserData, callbacks.hostUserData);
    EXPECT_EQ(stored.beatAndTempoProc, nullptr);
}

TEST_F(Properties, FastDispatchEntriesReachTheUnit)
{
    AudioUnit unit = Open();
    AudioUnitSetParameterProc setProc = nullptr;
    AudioUnitGetParameterProc getProc = nullptr;
    UInt32 size = sizeof setProc;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FastDispatch, G,
                                   kAudioUnitSetParameterSelect, &setProc, &size),
              noErr);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FastDispatch, G,
                                   kAudioUnitGetParameterSelect, &getProc, &size),
              noErr);
    void* storage = GetComponentInstanceStorage(unit);
    EXPECT_EQ(setProc(storage, kGainParameter, G, 0, 0.25f, 0), noErr);
    Float32 value = 0.0f;
    EXPECT_EQ(getProc(storage, kGainParameter, G, 0, &value), noErr);
    EXPECT_EQ(value, 0.25f);
    // Thrown statuses come back as results, and pointers are checked.
    EXPECT_EQ(getProc(storage, 99, G, 0, &value), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(getProc(storage, kGainParameter, 9, 0, &value), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(getProc(storage, kGainParameter, G, 0, nullptr), paramErr);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_FastDispatch, G, 99, &getProc, &size),
              kAudioUnitErr_InvalidProperty);
}

TEST_F(Properties, CanDoVersionAndParameterSelectors)
{
    AudioUnit unit = Open();
    const std::pair<SInt16, int> cases[] = {
        {1, 1},  {5, 1},  {7, 1},  {8, 0},  {9, 1},  {11, 1}, {12, 0},
        {14, 1}, {17, 1}, {18, 0}, {-1, 1}, {-4, 1}, {-5, 0}, {0x0101, 0},
    };
    for (const auto& [selector, can] : cases)
        EXPECT_EQ(CallComponentCanDo(unit, selector), can) << selector;
    EXPECT_EQ(CallComponentVersion(unit), 1);
    ComponentParameters unknown = MakeComponentCall(12, {});
    EXPECT_EQ(CallComponentDispatch(unit, &unknown), badComponentSelector);

    Float32 value = 0.0f;
    EXPECT_EQ(AudioUnitGetParameter(unit, kOtherParameter, G, 0, &value),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitSetParameter(unit, kOtherParameter, G, 0, 0.5f, 0), noErr);
    EXPECT_EQ(AudioUnitGetParameter(unit, kOtherParameter, G, 0, &value), noErr);
    EXPECT_EQ(value, 0.5f);
    EXPECT_EQ(AudioUnitSetParameter(unit, kGainParameter, kAudioUnitScope_Group, 0, 0.5f, 0),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitSetParameter(unit, kGainParameter, O, 4, 0.5f, 0),
              kAudioUnitErr_InvalidElement);

    AudioUnitParameterID ids[4] = {};
    UInt32 size = sizeof ids;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, G, 0, ids, &size),
              noErr);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(ids[0], static_cast<AudioUnitParameterID>(kGainParameter));
    EXPECT_EQ(ids[1], static_cast<AudioUnitParameterID>(kOtherParameter));

    AudioUnitParameterInfo info{};
    size = sizeof info;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, G, kGainParameter, &info,
                                   &size),
              noErr);
    EXPECT_STREQ(info.name, "Gain");
    EXPECT_EQ(info.maxValue, 2.0f);
}

TEST_F(Properties, OlderRevisionHasFourScopesAndNoContextOrIcon)
{
    AudioUnit older = Open({.revision = AUBaseRevision::Older});
    AudioUnit current = Open();
    UInt32 size = 0;
    Boolean writable = 0;
    EXPECT_EQ(AudioUnitGetPropertyInfo(older, kAudioUnitProperty_ElementName, kAudioUnitScope_Part,
                                       0, &size, &writable),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitGetPropertyInfo(current, kAudioUnitProperty_ElementName,
                                       kAudioUnitScope_Part, 0, &size, &writable),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(
        AudioUnitGetPropertyInfo(older, kAudioUnitProperty_ContextName, G, 0, &size, &writable),
        kAudioUnitErr_InvalidProperty);
    CFStringRef name = CFSTR("Track");
    EXPECT_EQ(AudioUnitSetProperty(older, kAudioUnitProperty_ContextName, G, 0, &name, sizeof name),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(AudioUnitSetParameter(older, kGainParameter, kAudioUnitScope_Part, 0, 1.0f, 0),
              kAudioUnitErr_InvalidScope);
    // Everything else is the same unit.
    EXPECT_EQ(AudioUnitInitialize(older), noErr);
    HostBuffers in(2, 64, true);
    AudioUnitRenderActionFlags flags = 0;
    const AURenderCallbackStruct callback{RampInput, nullptr};
    AudioUnitUninitialize(older);
    ASSERT_EQ(AudioUnitSetProperty(older, kAudioUnitProperty_SetRenderCallback, I, 0, &callback,
                                   sizeof callback),
              noErr);
    ASSERT_EQ(AudioUnitInitialize(older), noErr);
    const AudioTimeStamp stamp = SampleTime(0);
    EXPECT_EQ(AudioUnitRender(older, &flags, &stamp, 0, 64, &in.List()), noErr);
    EXPECT_EQ(in.Channel(1)[5], 1005.0f);
}

namespace
{

struct RefusingUnit : TestUnit
{
    explicit RefusingUnit(ComponentInstance instance) : TestUnit(instance)
    {
        throw kAudioUnitErr_InvalidElement;
    }
};

} // namespace

TEST(ComponentEntry, FailedOpenLeavesNoInstance)
{
    const ComponentDescription description{kAudioUnitType_Effect, 0x72656675, 0x71546573, 0, 0};
    Component component = FxRegisterComponent(
        &description, ComponentEntryPoint<RefusingUnit>::Dispatch, "Test: Refusing", 1);
    ASSERT_NE(component, nullptr);
    AudioUnit unit = reinterpret_cast<AudioUnit>(1);
    EXPECT_EQ(OpenAComponent(component, &unit), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(unit, nullptr);
    EXPECT_EQ(CountComponentInstances(component), 0);
    EXPECT_EQ(UnregisterComponent(component), noErr);
}
