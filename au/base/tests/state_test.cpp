// Parameters, scheduled events with their slices, and the saved state.
#include "TestUnit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{

const AudioUnitScope G = kAudioUnitScope_Global;
const AudioUnitScope I = kAudioUnitScope_Input;
const AudioUnitScope O = kAudioUnitScope_Output;

AudioUnitParameterEvent Immediate(UInt32 offset, Float32 value,
                                  AudioUnitParameterID id = kGainParameter)
{
    AudioUnitParameterEvent event{};
    event.scope = G;
    event.parameter = id;
    event.eventType = kParameterEvent_Immediate;
    event.eventValues.immediate.bufferOffset = offset;
    event.eventValues.immediate.value = value;
    return event;
}

AudioUnitParameterEvent Ramp(SInt32 start, UInt32 duration, Float32 from, Float32 to)
{
    AudioUnitParameterEvent event{};
    event.scope = G;
    event.parameter = kGainParameter;
    event.eventType = kParameterEvent_Ramped;
    event.eventValues.ramp.startBufferOffset = start;
    event.eventValues.ramp.durationInFrames = duration;
    event.eventValues.ramp.startValue = from;
    event.eventValues.ramp.endValue = to;
    return event;
}

void UseRampInput(AudioUnit unit)
{
    const AURenderCallbackStruct callback{RampInput, nullptr};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, I, 0, &callback,
                                   sizeof callback),
              noErr);
}

OSStatus RenderFrames(AudioUnit unit, Float64 time, UInt32 frames)
{
    HostBuffers out(2, frames, true);
    AudioUnitRenderActionFlags flags = 0;
    const AudioTimeStamp stamp = SampleTime(time);
    return AudioUnitRender(unit, &flags, &stamp, 0, frames, &out.List());
}

CFDictionaryRef Save(AudioUnit unit)
{
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof state;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, G, 0, &state, &size), noErr);
    return static_cast<CFDictionaryRef>(state);
}

OSStatus Restore(AudioUnit unit, CFPropertyListRef state)
{
    return AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, G, 0, &state, sizeof state);
}

void PutBigEndian(std::vector<UInt8>& bytes, UInt32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<UInt8>(value >> shift));
}

void PutPair(std::vector<UInt8>& bytes, UInt32 id, Float32 value)
{
    UInt32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    PutBigEndian(bytes, id);
    PutBigEndian(bytes, bits);
}

CFMutableDictionaryRef CopyWith(CFDictionaryRef state, CFStringRef key, CFTypeRef value)
{
    CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(nullptr, 0, state);
    if (value == nullptr)
        CFDictionaryRemoveValue(copy, key);
    else
        CFDictionarySetValue(copy, key, value);
    return copy;
}

CFNumberRef Number(SInt32 value)
{
    return CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
}

CFDataRef Data(const std::vector<UInt8>& bytes)
{
    return CFDataCreate(nullptr, bytes.data(), static_cast<CFIndex>(bytes.size()));
}

Float32 Parameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope = G)
{
    Float32 value = -1.0f;
    AudioUnitGetParameter(unit, id, scope, 0, &value);
    return value;
}

std::string PresetName(AudioUnit unit)
{
    AUPreset preset{};
    UInt32 size = sizeof preset;
    AudioUnitGetProperty(unit, kAudioUnitProperty_CurrentPreset, G, 0, &preset, &size);
    char text[64] = {};
    CFStringGetCString(preset.presetName, text, sizeof text, kCFStringEncodingUTF8);
    return text;
}

} // namespace

class Scheduling : public UnitTest
{
protected:
    AudioUnit OpenInitialised()
    {
        AudioUnit unit = Open();
        UseRampInput(unit);
        EXPECT_EQ(AudioUnitInitialize(unit), noErr);
        return unit;
    }
};

TEST_F(Scheduling, ImmediateEventsCutTheCallIntoSlices)
{
    AudioUnit unit = OpenInitialised();
    const AudioUnitParameterEvent events[] = {Immediate(100, 0.75f), Immediate(0, 0.5f)};
    ASSERT_EQ(AudioUnitScheduleParameters(unit, events, 2), noErr);
    EXPECT_EQ(Parameter(unit, kGainParameter), 0.5f); // applied at once, in order

    ASSERT_EQ(RenderFrames(unit, 0, 256), noErr);
    const auto& slices = UnitObject(unit)->slices;
    ASSERT_EQ(slices.size(), 2u);
    EXPECT_EQ(slices[0].start, 0u);
    EXPECT_EQ(slices[0].frames, 100u);
    EXPECT_EQ(slices[0].gainStart, 0.5f);
    EXPECT_EQ(slices[1].start, 100u);
    EXPECT_EQ(slices[1].frames, 156u);
    EXPECT_EQ(slices[1].gainStart, 0.75f);
    EXPECT_EQ(slices[1].gainEnd, 0.75f);

    // Events belong to one call only.
    ASSERT_EQ(RenderFrames(unit, 256, 256), noErr);
    EXPECT_EQ(slices.size(), 2u);
}

TEST_F(Scheduling, RampsSplitAtTheirEndsAndStartMidway)
{
    AudioUnit unit = OpenInitialised();
    // A ramp that began 64 frames before this call and lasts 128 frames.
    const AudioUnitParameterEvent ramp = Ramp(-64, 128, 0.0f, 1.0f);
    ASSERT_EQ(AudioUnitScheduleParameters(unit, &ramp, 1), noErr);
    ASSERT_EQ(RenderFrames(unit, 0, 256), noErr);
    const auto& slices = UnitObject(unit)->slices;
    ASSERT_GE(slices.size(), 1u);
    EXPECT_EQ(slices[0].frames, 64u);
    EXPECT_FLOAT_EQ(slices[0].gainStart, 0.5f); // value 1 + 64 x delta
    EXPECT_FLOAT_EQ(slices[0].gainEnd, 1.0f);

    struct Boundary
    {
        UInt32 start, frames;
    };
    UnitObject(unit)->slices.clear();
    const AudioUnitParameterEvent mixed[] = {Ramp(32, 64, 0.0f, 1.0f), Immediate(200, 0.25f)};
    ASSERT_EQ(AudioUnitScheduleParameters(unit, mixed, 2), noErr);
    ASSERT_EQ(RenderFrames(unit, 256, 256), noErr);
    const Boundary expected[] = {{0, 32}, {32, 64}, {96, 104}, {200, 56}};
    ASSERT_EQ(slices.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i)
    {
        EXPECT_EQ(slices[i].start, expected[i].start) << i;
        EXPECT_EQ(slices[i].frames, expected[i].frames) << i;
    }
    EXPECT_FLOAT_EQ(slices[1].gainStart, 0.0f);
    EXPECT_FLOAT_EQ(slices[1].gainEnd, 1.0f);
    EXPECT_EQ(slices[3].gainStart, 0.25f);

    // A ramp that ended before this call leaves the value alone instead of
    // being extended past its end value.
    UnitObject(unit)->slices.clear();
    const AudioUnitParameterEvent ended = Ramp(-200, 100, 0.0f, 1.0f);
    ASSERT_EQ(AudioUnitScheduleParameters(unit, &ended, 1), noErr);
    ASSERT_EQ(RenderFrames(unit, 512, 256), noErr);
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(slices[0].gainStart, 0.25f);
    EXPECT_EQ(slices[0].gainEnd, 0.25f);
}

TEST_F(Scheduling, RefusedEventsAndIndexedParameters)
{
    AudioUnit unit = OpenInitialised();
    AudioUnitParameterEvent badScope = Immediate(0, 1.0f);
    badScope.scope = 9;
    EXPECT_EQ(AudioUnitScheduleParameters(unit, &badScope, 1), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitScheduleParameters(unit, nullptr, 1), paramErr);
    EXPECT_EQ(AudioUnitScheduleParameters(unit, nullptr, 0), noErr);

    AudioUnit indexed = Open({.indexedGlobals = true});
    EXPECT_EQ(AudioUnitSetParameter(indexed, 1, G, 0, 0.5f, 0), noErr);
    EXPECT_EQ(AudioUnitSetParameter(indexed, 2, G, 0, 0.5f, 0), kAudioUnitErr_InvalidParameter);
    UInt32 size = 0;
    Boolean writable = 0;
    AudioUnitGetPropertyInfo(indexed, kAudioUnitProperty_ParameterList, G, 0, &size, &writable);
    EXPECT_EQ(size, 8u);
}

class SavedState : public UnitTest
{
};

TEST_F(SavedState, RoundTripKeepsValuesNamesAndPreset)
{
    AudioUnit unit = Open();
    AudioUnitSetParameter(unit, kGainParameter, G, 0, 0.3f, 0);
    AudioUnitSetParameter(unit, kOtherParameter, I, 0, 0.6f, 0);
    CFStringRef mainOut = CFSTR("Main out");
    AudioUnitSetProperty(unit, kAudioUnitProperty_ElementName, O, 0, &mainOut, sizeof mainOut);
    const AUPreset warm{-1, CFSTR("Warm")};
    AudioUnitSetProperty(unit, kAudioUnitProperty_PresentPreset, G, 0, &warm, sizeof warm);

    CFDictionaryRef state = Save(unit);
    ASSERT_NE(state, nullptr);
    SInt32 number = -1;
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(state, CFSTR("version"))),
                     kCFNumberSInt32Type, &number);
    EXPECT_EQ(number, 0);
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(state, CFSTR("subtype"))),
                     kCFNumberSInt32Type, &number);
    EXPECT_EQ(number, kTestUnitSubType);
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(state, CFSTR("type"))),
                     kCFNumberSInt32Type, &number);
    EXPECT_EQ(static_cast<UInt32>(number), static_cast<UInt32>(kAudioUnitType_Effect));

    // Global element 0 with its one parameter, then input element 0.
    std::vector<UInt8> expected;
    PutBigEndian(expected, 0);
    PutBigEndian(expected, 0);
    PutBigEndian(expected, 1);
    PutPair(expected, kGainParameter, 0.3f);
    PutBigEndian(expected, 1);
    PutBigEndian(expected, 0);
    PutBigEndian(expected, 1);
    PutPair(expected, kOtherParameter, 0.6f);
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(state, CFSTR("data")));
    ASSERT_EQ(CFDataGetLength(data), static_cast<CFIndex>(expected.size()));
    EXPECT_EQ(std::memcmp(CFDataGetBytePtr(data), expected.data(), expected.size()), 0);
    auto names = static_cast<CFDictionaryRef>(CFDictionaryGetValue(state, CFSTR("element-name")));
    ASSERT_NE(names, nullptr);
    auto outputNames = static_cast<CFDictionaryRef>(CFDictionaryGetValue(names, CFSTR("2")));
    ASSERT_NE(outputNames, nullptr);
    EXPECT_TRUE(CFEqual(CFDictionaryGetValue(outputNames, CFSTR("0")), mainOut));
    EXPECT_EQ(CFDictionaryGetValue(state, CFSTR("part")), nullptr);

    AudioUnit fresh = Open();
    int presetNotices = 0;
    const auto count = [](void* refCon, AudioUnit, AudioUnitPropertyID, AudioUnitScope,
                          AudioUnitElement) { ++*static_cast<int*>(refCon); };
    AudioUnitAddPropertyListener(fresh, kAudioUnitProperty_CurrentPreset, count, &presetNotices);
    AudioUnitAddPropertyListener(fresh, kAudioUnitProperty_PresentPreset, count, &presetNotices);
    ASSERT_EQ(Restore(fresh, state), noErr);
    EXPECT_EQ(presetNotices, 2);
    EXPECT_EQ(Parameter(fresh, kGainParameter), 0.3f);
    EXPECT_EQ(Parameter(fresh, kOtherParameter, I), 0.6f);
    EXPECT_EQ(PresetName(fresh), "Warm");
    CFStringRef name = nullptr;
    UInt32 size = sizeof name;
    ASSERT_EQ(AudioUnitGetProperty(fresh, kAudioUnitProperty_ElementName, O, 0, &name, &size),
              noErr);
    EXPECT_TRUE(CFEqual(name, mainOut));
    CFRelease(name);

    // Without "name" the preset becomes "Untitled".
    CFMutableDictionaryRef unnamed = CopyWith(state, CFSTR("name"), nullptr);
    ASSERT_EQ(Restore(fresh, unnamed), noErr);
    EXPECT_EQ(PresetName(fresh), "Untitled");
    CFRelease(unnamed);
    CFRelease(state);
}

TEST_F(SavedState, UnitWithoutParametersSavesEmptyData)
{
    AudioUnit unit = Open({.withGain = false});
    CFDictionaryRef state = Save(unit);
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(state, CFSTR("data")));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(CFDataGetLength(data), 0);
    EXPECT_EQ(CFDictionaryGetValue(state, CFSTR("element-name")), nullptr);
    CFRelease(state);
}

TEST_F(SavedState, TravelsThroughAnAupresetFile)
{
    char folder[] = "/tmp/aupresetXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/Warm.aupreset";

    AudioUnit unit = Open();
    AudioUnitSetParameter(unit, kGainParameter, G, 0, 1.75f, 0);
    CFDictionaryRef state = Save(unit);
    CFErrorRef error = nullptr;
    ASSERT_TRUE(
        FxPropertyListWriteFile(state, path.c_str(), kCFPropertyListXMLFormat_v1_0, &error));
    CFRelease(state);

    AudioUnit fresh = Open();
    CFDictionaryRef read = FxPropertyListReadDictionaryFile(path.c_str(), &error);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(Restore(fresh, read), noErr);
    EXPECT_EQ(Parameter(fresh, kGainParameter), 1.75f);
    CFRelease(read);

    // A damaged file is refused by the reader, and a host that passes the
    // missing result on gets a refusal; the unit keeps its values.
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text.substr(0, text.size() / 2);
    CFDictionaryRef damaged = FxPropertyListReadDictionaryFile(path.c_str(), &error);
    EXPECT_EQ(damaged, nullptr);
    ASSERT_NE(error, nullptr);
    CFRelease(error);
    EXPECT_EQ(Restore(fresh, damaged), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(Parameter(fresh, kGainParameter), 1.75f);
    std::remove(path.c_str());
    rmdir(folder);
}

TEST_F(SavedState, RefusedRestoresChangeNothing)
{
    AudioUnit source = Open();
    AudioUnitSetParameter(source, kGainParameter, G, 0, 0.125f, 0);
    CFDictionaryRef state = Save(source);

    AudioUnit unit = Open();
    AudioUnitSetParameter(unit, kOtherParameter, I, 0, 0.9f, 0);
    const AUPreset kept{-1, CFSTR("Kept")};
    AudioUnitSetProperty(unit, kAudioUnitProperty_CurrentPreset, G, 0, &kept, sizeof kept);

    std::vector<UInt8> badScope;
    PutBigEndian(badScope, 0);
    PutBigEndian(badScope, 0);
    PutBigEndian(badScope, 1);
    PutPair(badScope, kGainParameter, 0.5f);
    PutBigEndian(badScope, 7);
    PutBigEndian(badScope, 0);
    PutBigEndian(badScope, 0);

    CFNumberRef one = Number(1);
    CFNumberRef zero = Number(0);
    CFNumberRef otherCode = Number(0x6F746872);
    CFDataRef badScopeData = Data(badScope);
    const void* badKey[] = {CFSTR("x")};
    const void* name[] = {CFSTR("In")};
    const void* numberValue[] = {one};
    const void* secondGlobal[] = {CFSTR("1")};
    CFDictionaryRef badKeyNames = CFDictionaryCreate(
        nullptr, badKey, name, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionaryRef numberNames =
        CFDictionaryCreate(nullptr, secondGlobal, numberValue, 1, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    CFDictionaryRef globalOne =
        CFDictionaryCreate(nullptr, secondGlobal, name, 1, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    const auto scopeNames = [](CFStringRef scope, CFDictionaryRef inner)
    {
        const void* keys[] = {scope};
        const void* values[] = {inner};
        return CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                  &kCFTypeDictionaryValueCallBacks);
    };
    CFDictionaryRef namesBadKey = scopeNames(CFSTR("1"), badKeyNames);
    CFDictionaryRef namesNotString = scopeNames(CFSTR("1"), numberNames);
    CFDictionaryRef namesSecondGlobal = scopeNames(CFSTR("0"), globalOne);

    struct Case
    {
        const char* what;
        CFStringRef key;
        CFTypeRef value; // null removes the key
        OSStatus status;
    };
    const Case cases[] = {
        {"version 1", CFSTR("version"), one, kAudioUnitErr_InvalidPropertyValue},
        {"version missing", CFSTR("version"), nullptr, kAudioUnitErr_InvalidPropertyValue},
        {"version a string", CFSTR("version"), CFSTR("0"), kAudioUnitErr_InvalidPropertyValue},
        {"part present", CFSTR("part"), zero, kAudioUnitErr_InvalidPropertyValue},
        {"other subtype", CFSTR("subtype"), otherCode, kAudioUnitErr_InvalidPropertyValue},
        {"other manufacturer", CFSTR("manufacturer"), otherCode,
         kAudioUnitErr_InvalidPropertyValue},
        {"manufacturer missing", CFSTR("manufacturer"), nullptr,
         kAudioUnitErr_InvalidPropertyValue},
        {"data a string", CFSTR("data"), CFSTR("data"), kAudioUnitErr_InvalidPropertyValue},
        {"name a number", CFSTR("name"), one, kAudioUnitErr_InvalidPropertyValue},
        {"render quality a string", CFSTR("render-quality"), CFSTR("high"),
         kAudioUnitErr_InvalidPropertyValue},
        {"element names not a dictionary", CFSTR("element-name"), one,
         kAudioUnitErr_InvalidPropertyValue},
        {"element number not decimal", CFSTR("element-name"), namesBadKey,
         kAudioUnitErr_InvalidPropertyValue},
        {"element name not a string", CFSTR("element-name"), namesNotString,
         kAudioUnitErr_InvalidPropertyValue},
        {"second global element", CFSTR("element-name"), namesSecondGlobal,
         kAudioUnitErr_InvalidPropertyValue},
        {"scope 7 after a good record", CFSTR("data"), badScopeData, kAudioUnitErr_InvalidScope},
    };
    for (const Case& c : cases)
    {
        CFMutableDictionaryRef changed = CopyWith(state, c.key, c.value);
        EXPECT_EQ(Restore(unit, changed), c.status) << c.what;
        CFRelease(changed);
        EXPECT_EQ(Parameter(unit, kGainParameter), 1.0f) << c.what;
        EXPECT_EQ(Parameter(unit, kOtherParameter, I), 0.9f) << c.what;
        EXPECT_EQ(PresetName(unit), "Kept") << c.what;
        UInt32 inputs = 0, size = sizeof inputs;
        AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount, I, 0, &inputs, &size);
        EXPECT_EQ(inputs, 1u) << c.what;
    }
    EXPECT_EQ(Restore(unit, CFSTR("not a dictionary")), kAudioUnitErr_InvalidPropertyValue);

    // An indexed element refuses an ID outside its range before anything is set.
    AudioUnit indexed = Open({.indexedGlobals = true});
    std::vector<UInt8> outOfRange;
    PutBigEndian(outOfRange, 0);
    PutBigEndian(outOfRange, 0);
    PutBigEndian(outOfRange, 2);
    PutPair(outOfRange, 0, 0.5f);
    PutPair(outOfRange, 5, 0.5f);
    CFDataRef outOfRangeData = Data(outOfRange);
    CFMutableDictionaryRef changed = CopyWith(state, CFSTR("data"), outOfRangeData);
    EXPECT_EQ(Restore(indexed, changed), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(Parameter(indexed, kGainParameter), 1.0f);

    for (CFTypeRef object : std::initializer_list<CFTypeRef>{
             changed, outOfRangeData, one, zero, otherCode, badScopeData, badKeyNames, numberNames,
             globalOne, namesBadKey, namesNotString, namesSecondGlobal, state})
        CFRelease(object);
}

TEST_F(SavedState, TruncatedDataAppliesOnlyWholeRecords)
{
    std::vector<UInt8> full;
    PutBigEndian(full, 0);
    PutBigEndian(full, 0);
    PutBigEndian(full, 3);
    PutPair(full, 0, 0.1f);
    PutPair(full, 1, 0.2f);
    PutPair(full, 2, 0.3f);
    PutBigEndian(full, 1); // a second record, for input element 0
    PutBigEndian(full, 0);
    PutBigEndian(full, 1);
    PutPair(full, 4, 0.4f);
    std::vector<UInt8> overCount(full.begin(), full.begin() + 20);
    overCount[11] = 0xFF; // claims 255 pairs, holds one
    overCount[10] = 0xFF;

    struct Case
    {
        const char* what;
        std::vector<UInt8> bytes;
        std::vector<std::pair<AudioUnitParameterID, Float32>> globals; // expected, -1 = absent
        Float32 input4;
    };
    const auto cut = [&](size_t n) { return std::vector<UInt8>(full.begin(), full.begin() + n); };
    const Case cases[] = {
        {"whole", full, {{0, 0.1f}, {1, 0.2f}, {2, 0.3f}}, 0.4f},
        {"last pair cut", cut(full.size() - 3), {{0, 0.1f}, {1, 0.2f}, {2, 0.3f}}, -1.0f},
        {"second header cut", cut(36 + 10), {{0, 0.1f}, {1, 0.2f}, {2, 0.3f}}, -1.0f},
        {"inside the third pair", cut(12 + 8 * 2 + 5), {{0, 0.1f}, {1, 0.2f}, {2, -1.0f}}, -1.0f},
        {"header only", cut(12), {{0, -1.0f}}, -1.0f},
        {"half a header", cut(7), {{0, -1.0f}}, -1.0f},
        {"count larger than the bytes", overCount, {{0, 0.1f}, {1, -1.0f}}, -1.0f},
    };
    for (const Case& c : cases)
    {
        AudioUnit source = Open({.withGain = false});
        CFDictionaryRef state = Save(source);
        AudioUnit unit = Open({.withGain = false});
        CFDataRef data = Data(c.bytes);
        CFMutableDictionaryRef changed = CopyWith(state, CFSTR("data"), data);
        EXPECT_EQ(Restore(unit, changed), noErr) << c.what;
        for (const auto& [id, value] : c.globals)
            EXPECT_EQ(Parameter(unit, id), value) << c.what << " id " << id;
        EXPECT_EQ(Parameter(unit, 4, I), c.input4) << c.what;
        CFRelease(changed);
        CFRelease(data);
        CFRelease(state);
    }
}

TEST_F(SavedState, ElementNamesBeyondTheCountGrowTheScope)
{
    AudioUnit unit = Open();
    CFDictionaryRef state = Save(unit);
    const void* numbers[] = {CFSTR("3")};
    const void* texts[] = {CFSTR("Aux")};
    CFDictionaryRef inner =
        CFDictionaryCreate(nullptr, numbers, texts, 1, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    const void* scopes[] = {CFSTR("1")};
    const void* inners[] = {inner};
    CFDictionaryRef names =
        CFDictionaryCreate(nullptr, scopes, inners, 1, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    CFMutableDictionaryRef changed = CopyWith(state, CFSTR("element-name"), names);

    std::vector<AudioUnitScope> countChanges;
    AudioUnitAddPropertyListener(
        unit, kAudioUnitProperty_ElementCount,
        [](void* refCon, AudioUnit, AudioUnitPropertyID, AudioUnitScope scope, AudioUnitElement)
        { static_cast<std::vector<AudioUnitScope>*>(refCon)->push_back(scope); },
        &countChanges);
    ASSERT_EQ(Restore(unit, changed), noErr);
    EXPECT_EQ(countChanges, std::vector<AudioUnitScope>{I});
    UInt32 inputs = 0, size = sizeof inputs;
    AudioUnitGetProperty(unit, kAudioUnitProperty_ElementCount, I, 0, &inputs, &size);
    EXPECT_EQ(inputs, 4u);
    CFStringRef got = nullptr;
    size = sizeof got;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ElementName, I, 3, &got, &size), noErr);
    EXPECT_TRUE(CFEqual(got, CFSTR("Aux")));
    CFRelease(got);
    for (CFTypeRef object : std::initializer_list<CFTypeRef>{changed, names, inner, state})
        CFRelease(object);
}
