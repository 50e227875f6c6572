// The Component Manager as a host uses it: registry, call blocks, bundles
// registered from their Info.plist, and the listener service.
#include <AudioToolbox/AudioUnitUtilities.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

constexpr OSType Code(const char (&text)[5])
{
    return (OSType(UInt8(text[0])) << 24) | (OSType(UInt8(text[1])) << 16) |
           (OSType(UInt8(text[2])) << 8) | OSType(UInt8(text[3]));
}

enum
{
    kReportOwnSubtypeSelect = 0x0200,
    kCountPropertyListenersSelect = 0x0201,
};

// Records every call it receives; answers open and close itself.
struct RecordedCall
{
    SInt16 what;
    std::vector<intptr_t> args; // in call order
};
std::vector<RecordedCall> sRecorded;

ComponentResult RecordingEntry(ComponentParameters* params, void*)
{
    if (params->what == kComponentOpenSelect || params->what == kComponentCloseSelect)
        return noErr;
    RecordedCall call{params->what, {}};
    for (size_t i = 0; i < ComponentParameterCount(params); ++i)
        call.args.push_back(ComponentParameterWord(params, i));
    sRecorded.push_back(call);
    return 1000 + params->what;
}

ComponentResult RefusingEntry(ComponentParameters* params, void*)
{
    return params->what == kComponentOpenSelect ? kAudioUnitErr_FormatNotSupported : noErr;
}

intptr_t W(const void* pointer)
{
    return reinterpret_cast<intptr_t>(pointer);
}

const char* kComponentTemplate = R"(
    <dict>
      <key>type</key><string>%TYPE%</string>
      <key>subtype</key><string>%SUBTYPE%</string>
      <key>manufacturer</key><string>%MANUFACTURER%</string>
      <key>entry</key><string>%ENTRY%</string>
      <key>name</key><string>Test: %SUBTYPE%</string>
      <key>version</key><integer>65539</integer>
    </dict>)";

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
        text.replace(at, from.size(), to);
    return text;
}

std::string ComponentXML(const std::string& subtype, const std::string& manufacturer,
                         const std::string& type = "aufx",
                         const std::string& entry = "FxTestBundleEntry")
{
    std::string xml = Replace(kComponentTemplate, "%TYPE%", type);
    xml = Replace(xml, "%SUBTYPE%", subtype);
    xml = Replace(xml, "%MANUFACTURER%", manufacturer);
    return Replace(xml, "%ENTRY%", entry);
}

std::string InfoPlist(const std::string& components)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>CFBundleIdentifier</key><string>com.example.testbundle</string>
  <key>CFBundleExecutable</key><string>TestBundle</string>
  <key>Components</key>)" +
           components + R"(
</dict>
</plist>
)";
}

// A bundle folder in a temporary place, removed at the end of the test.
class TemporaryBundles
{
public:
    TemporaryBundles()
    {
        char pattern[] = "/tmp/componentsXXXXXX";
        mRoot = mkdtemp(pattern);
    }
    ~TemporaryBundles() { fs::remove_all(mRoot); }

    // infoPlist empty: no Info.plist; withExecutable false: no .so.
    std::string Make(const std::string& name, const std::string& infoPlist, bool withExecutable)
    {
        const fs::path contents = mRoot / (name + ".component") / "Contents";
        fs::create_directories(contents / "x86_64-linux");
        if (!infoPlist.empty())
            std::ofstream(contents / "Info.plist") << infoPlist;
        if (withExecutable)
            fs::copy_file(FX_TEST_BUNDLE_SO, contents / "x86_64-linux" / "TestBundle.so");
        return (mRoot / (name + ".component")).string();
    }

private:
    fs::path mRoot;
};

// The good test bundle, registered once for the whole process.
Component BundleComponent(const char (&subtype)[5])
{
    static TemporaryBundles* folders = new TemporaryBundles;
    static const std::string path =
        folders->Make("TestBundle",
                      InfoPlist("<array>" + ComponentXML("tsb1", "qTes") +
                                ComponentXML("tsb2", "qTes") + "</array>"),
                      true);
    SInt32 count = 0;
    EXPECT_EQ(FxRegisterComponentsFromBundle(path.c_str(), &count), noErr);
    EXPECT_EQ(count, 2);
    const ComponentDescription looking{0, Code(subtype), Code("qTes"), 0, 0};
    return FindNextComponent(nullptr, &looking);
}

} // namespace

TEST(CallBlock, ParametersTravelLastFirstAndFloatsKeepTheirBits)
{
    const intptr_t pointer = W(&sRecorded);
    ComponentParameters call =
        MakeComponentCall(7, {11, -2, pointer, ComponentParameterFromFloat32(-0.375f)});
    EXPECT_EQ(call.paramSize, 4 * sizeof(intptr_t));
    EXPECT_EQ(call.params[0], ComponentParameterFromFloat32(-0.375f)); // the last parameter
    EXPECT_EQ(call.params[3], 11);
    EXPECT_EQ(ComponentParameter<UInt32>(&call, 0), 11u);
    EXPECT_EQ(ComponentParameter<SInt32>(&call, 1), -2);
    EXPECT_EQ(ComponentParameter<void*>(&call, 2), &sRecorded);
    EXPECT_EQ(ComponentParameter<Float32>(&call, 3), -0.375f);
    EXPECT_EQ(ComponentParameterWord(&call, 4), 0); // beyond the call's parameters
}

TEST(Registry, FindOpenInfoAndUnregister)
{
    const ComponentDescription first{Code("aufx"), Code("rec1"), Code("qReg"), 0, 0};
    const ComponentDescription second{Code("aumf"), Code("rec2"), Code("qReg"), 0, 0};
    Component a = FxRegisterComponent(&first, RecordingEntry, "Reg: one", 3);
    Component b = FxRegisterComponent(&second, RecordingEntry, "Reg: two", 4);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FxRegisterComponent(&first, nullptr, "no entry", 0), nullptr);

    const ComponentDescription byMaker{0, 0, Code("qReg"), 0, 0};
    EXPECT_EQ(CountComponents(&byMaker), 2);
    EXPECT_EQ(FindNextComponent(nullptr, &byMaker), a);
    EXPECT_EQ(FindNextComponent(a, &byMaker), b);
    EXPECT_EQ(FindNextComponent(b, &byMaker), nullptr);
    const ComponentDescription byType{Code("aumf"), 0, Code("qReg"), 0, 0};
    EXPECT_EQ(FindNextComponent(nullptr, &byType), b);
    EXPECT_STREQ(FxGetComponentName(b), "Reg: two");
    EXPECT_EQ(FxGetComponentVersionNumber(b), 4);

    ComponentInstance instance = nullptr;
    ASSERT_EQ(OpenAComponent(a, &instance), noErr);
    ComponentDescription description{};
    // An instance stands in for its component.
    ASSERT_EQ(GetComponentInfo(reinterpret_cast<Component>(instance), &description), noErr);
    EXPECT_EQ(description.componentSubType, Code("rec1"));
    EXPECT_EQ(FxGetComponentOfInstance(instance), a);
    EXPECT_EQ(CountComponentInstances(a), 1);
    EXPECT_EQ(UnregisterComponent(a), invalidComponentID); // still open
    int storage = 0;
    SetComponentInstanceStorage(instance, &storage);
    EXPECT_EQ(GetComponentInstanceStorage(instance), &storage);
    EXPECT_EQ(CloseComponent(instance), noErr);
    EXPECT_EQ(CloseComponent(instance), paramErr); // no longer an instance
    EXPECT_EQ(UnregisterComponent(a), noErr);
    EXPECT_EQ(UnregisterComponent(b), noErr);
    EXPECT_EQ(CountComponents(&byMaker), 0);
    EXPECT_EQ(GetComponentInfo(a, &description), invalidComponentID);

    const ComponentDescription refusing{Code("aufx"), Code("nope"), Code("qReg"), 0, 0};
    Component c = FxRegisterComponent(&refusing, RefusingEntry, "Reg: refusing", 1);
    EXPECT_EQ(OpenAComponent(c, &instance), kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(instance, nullptr);
    EXPECT_EQ(CountComponentInstances(c), 0);
    EXPECT_EQ(OpenComponent(nullptr), nullptr);
    UnregisterComponent(c);
    ComponentParameters call = MakeComponentCall(1, {});
    EXPECT_EQ(CallComponentDispatch(nullptr, &call), badComponentInstance);
}

TEST(HostCalls, EachCallReachesItsSelectorWithItsArguments)
{
    const ComponentDescription description{Code("aufx"), Code("rec3"), Code("qHst"), 0, 0};
    Component component = FxRegisterComponent(&description, RecordingEntry, "Host calls", 1);
    AudioUnit unit = OpenComponent(component);
    ASSERT_NE(unit, nullptr);

    UInt32 size = 4;
    Boolean writable = 0;
    Float32 value = 0;
    const AudioTimeStamp stamp{};
    AudioUnitRenderActionFlags flags = 0;
    AudioBufferList list{};
    const AudioUnitParameterEvent events[2] = {};
    const UInt8 sysex[3] = {0xF0, 1, 0xF7};
    const AudioUnitPropertyListenerProc listener = [](void*, AudioUnit, AudioUnitPropertyID,
                                                      AudioUnitScope, AudioUnitElement) {};
    const AURenderCallback notify = [](void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                       UInt32, UInt32, AudioBufferList*) -> OSStatus
    { return noErr; };
    const intptr_t listenerWord = reinterpret_cast<intptr_t>(listener);
    const intptr_t notifyWord = reinterpret_cast<intptr_t>(notify);
    const void* refCon = &size;

    struct Case
    {
        OSStatus result;
        SInt16 what;
        std::vector<intptr_t> args;
    };
    sRecorded.clear();
    const Case cases[] = {
        {AudioUnitInitialize(unit), 1, {}},
        {AudioUnitUninitialize(unit), 2, {}},
        {AudioUnitGetPropertyInfo(unit, 8, 1, 2, &size, &writable),
         3,
         {8, 1, 2, W(&size), W(&writable)}},
        {AudioUnitGetProperty(unit, 8, 2, 3, &value, &size), 4, {8, 2, 3, W(&value), W(&size)}},
        {AudioUnitSetProperty(unit, 14, 0, 0, &size, 4), 5, {14, 0, 0, W(&size), 4}},
        {AudioUnitReset(unit, 0, 0), 9, {0, 0}},
        {AudioUnitAddPropertyListener(unit, 22, listener, &size),
         10,
         {22, listenerWord, W(refCon)}},
        {AudioUnitRemovePropertyListener(unit, 22, listener), 11, {22, listenerWord}},
        {AudioUnitRender(unit, &flags, &stamp, 1, 512, &list),
         14,
         {W(&flags), W(&stamp), 1, 512, W(&list)}},
        {AudioUnitAddRenderNotify(unit, notify, &size), 15, {notifyWord, W(refCon)}},
        {AudioUnitRemoveRenderNotify(unit, notify, &size), 16, {notifyWord, W(refCon)}},
        {AudioUnitScheduleParameters(unit, events, 2), 17, {W(events), 2}},
        {AudioUnitGetParameter(unit, 5, 0, 1, &value), 6, {5, 0, 1, W(&value)}},
        {AudioUnitSetParameter(unit, 5, 0, 1, 0.5f, 64),
         7,
         {5, 0, 1, ComponentParameterFromFloat32(0.5f), 64}},
        {MusicDeviceMIDIEvent(unit, 0xB0, 50, 127, 9), 0x0101, {0xB0, 50, 127, 9}},
        {MusicDeviceSysEx(unit, sysex, 3), 0x0102, {W(sysex), 3}},
    };
    // Opening asked the unit for its fast-dispatch entries (three property
    // reads); they were refused, so every call went through the entry.
    ASSERT_EQ(sRecorded.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        EXPECT_EQ(cases[i].result, 1000 + cases[i].what) << i;
        EXPECT_EQ(sRecorded[i].what, cases[i].what) << i;
        EXPECT_EQ(sRecorded[i].args, cases[i].args) << i;
    }
    CloseComponent(unit);
    UnregisterComponent(component);
}

TEST(Bundles, ComponentsComeFromTheInfoPlist)
{
    Component one = BundleComponent("tsb1");
    Component two = BundleComponent("tsb2"); // registering again adds nothing
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    const ComponentDescription byMaker{0, 0, Code("qTes"), 0, 0};
    EXPECT_EQ(CountComponents(&byMaker), 2);
    EXPECT_STREQ(FxGetComponentName(two), "Test: tsb2");
    EXPECT_EQ(FxGetComponentVersionNumber(one), 65539);

    AudioUnit unit = OpenComponent(two);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(CallComponentVersion(unit), 0x00020001);
    // The bundle's own copy of this layer answers from the host's registry.
    ComponentParameters ask = MakeComponentCall(kReportOwnSubtypeSelect, {});
    EXPECT_EQ(static_cast<OSType>(CallComponentDispatch(unit, &ask)), Code("tsb2"));
    EXPECT_EQ(CloseComponent(unit), noErr);
}

TEST(Bundles, MalformedBundlesRegisterNothing)
{
    TemporaryBundles folders;
    const std::string good = ComponentXML("bad1", "qBad");
    struct Case
    {
        const char* what;
        std::string infoPlist;
        bool withExecutable;
        OSStatus status;
    };
    const Case cases[] = {
        {"no Info.plist", "", true, invalidComponentID},
        {"list not an array", InfoPlist("<string>aufx</string>"), true, invalidComponentID},
        {"empty list", InfoPlist("<array/>"), true, invalidComponentID},
        {"three-letter type",
         InfoPlist("<array>" + good + ComponentXML("bad2", "qBad", "auf") + "</array>"), true,
         invalidComponentID},
        {"entry not exported",
         InfoPlist("<array>" + good + ComponentXML("bad3", "qBad", "aufx", "NoSuchEntry") +
                   "</array>"),
         true, invalidComponentID},
        {"name missing",
         InfoPlist("<array>" + Replace(good, "<key>name</key>", "<key>x</key>") + "</array>"), true,
         invalidComponentID},
        {"not a property list", "<plist><dict><key>Components", true, invalidComponentID},
        {"no executable", InfoPlist("<array>" + good + "</array>"), false, fnfErr},
    };
    int n = 0;
    for (const Case& c : cases)
    {
        const std::string path =
            folders.Make("Bad" + std::to_string(n++), c.infoPlist, c.withExecutable);
        SInt32 count = -1;
        EXPECT_EQ(FxRegisterComponentsFromBundle(path.c_str(), &count), c.status) << c.what;
        EXPECT_EQ(count, 0) << c.what;
    }
    SInt32 count = -1;
    EXPECT_EQ(FxRegisterComponentsFromBundle("/nonexistent/Nothing.component", &count), fnfErr);
    EXPECT_EQ(FxRegisterComponentsFromBundle(nullptr, &count), paramErr);
    const ComponentDescription byMaker{0, 0, Code("qBad"), 0, 0};
    EXPECT_EQ(CountComponents(&byMaker), 0);
}

namespace
{

struct Heard
{
    void* object;
    AudioUnitEventType type;
    AudioUnitParameterID parameter;
    Float32 value;
    bool operator==(const Heard&) const = default;
};

void HearParameter(void* userData, void* object, const AudioUnitParameter* parameter,
                   AudioUnitParameterValue value)
{
    static_cast<std::vector<Heard>*>(userData)->push_back(
        {object, kAudioUnitEvent_ParameterValueChange, parameter->mParameterID, value});
}

void HearEvent(void* userData, void* object, const AudioUnitEvent* event, UInt64,
               AudioUnitParameterValue value)
{
    const AudioUnitParameterID id = event->mEventType == kAudioUnitEvent_PropertyChange
                                        ? event->mArgument.mProperty.mPropertyID
                                        : event->mArgument.mParameter.mParameterID;
    static_cast<std::vector<Heard>*>(userData)->push_back({object, event->mEventType, id, value});
}

} // namespace

TEST(Listeners, ParameterSetReachesEveryListenerButTheSender)
{
    AudioUnit unit = OpenComponent(BundleComponent("tsb1"));
    ASSERT_NE(unit, nullptr);
    std::vector<Heard> heard;
    AUParameterListenerRef view = nullptr;
    ASSERT_EQ(AUListenerCreate(HearParameter, &heard, nullptr, nullptr, 0.1f, &view), noErr);
    int knob = 0, slider = 0;
    const AudioUnitParameter gain{unit, 3, kAudioUnitScope_Global, 0};
    const AudioUnitParameter other{unit, 4, kAudioUnitScope_Global, 0};
    AUListenerAddParameter(view, &knob, &gain);
    AUListenerAddParameter(view, &slider, &gain);
    AUListenerAddParameter(view, &slider, &other);

    ASSERT_EQ(AUParameterSet(view, &knob, &gain, 0.25f, 0), noErr);
    EXPECT_EQ(heard, (std::vector<Heard>{{&slider, 0, 3, 0.25f}}));
    Float32 value = 0;
    AudioUnitGetParameter(unit, 3, kAudioUnitScope_Global, 0, &value);
    EXPECT_EQ(value, 0.25f);

    heard.clear();
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &gain, 0.5f, 0), noErr);
    EXPECT_EQ(heard.size(), 2u);

    heard.clear();
    AUListenerRemoveParameter(view, &slider, &gain);
    ASSERT_EQ(AUParameterListenerNotify(nullptr, nullptr, &gain), noErr);
    EXPECT_EQ(heard, (std::vector<Heard>{{&knob, 0, 3, 0.5f}}));

    // A parameter the unit refuses is not announced.
    heard.clear();
    const AudioUnitParameter unknown{unit, 9, kAudioUnitScope_Global, 0};
    AUListenerAddParameter(view, &knob, &unknown);
    EXPECT_EQ(AUParameterListenerNotify(nullptr, nullptr, &unknown),
              kAudioUnitErr_InvalidParameter);
    EXPECT_TRUE(heard.empty());

    ASSERT_EQ(AUListenerDispose(view), noErr);
    EXPECT_EQ(AUListenerDispose(view), paramErr);
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &gain, 0.75f, 0), noErr);
    EXPECT_TRUE(heard.empty());
    CloseComponent(unit);
}

TEST(Listeners, GesturesAndPropertyChangesReachEventListeners)
{
    AudioUnit unit = OpenComponent(BundleComponent("tsb1"));
    ASSERT_NE(unit, nullptr);
    AudioUnitSetParameter(unit, 3, kAudioUnitScope_Global, 0, 0.8f, 0);
    std::vector<Heard> heard;
    AUEventListenerRef host = nullptr;
    ASSERT_EQ(AUEventListenerCreate(HearEvent, &heard, nullptr, nullptr, 0.1f, 0.0f, &host), noErr);

    AudioUnitEvent begin{};
    begin.mEventType = kAudioUnitEvent_BeginParameterChangeGesture;
    begin.mArgument.mParameter = {unit, 3, kAudioUnitScope_Global, 0};
    AudioUnitEvent end = begin;
    end.mEventType = kAudioUnitEvent_EndParameterChangeGesture;
    AudioUnitEvent latency{};
    latency.mEventType = kAudioUnitEvent_PropertyChange;
    latency.mArgument.mProperty = {unit, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0};
    int* const object = nullptr;
    ASSERT_EQ(AUEventListenerAddEventType(host, object, &begin), noErr);
    ASSERT_EQ(AUEventListenerAddEventType(host, object, &end), noErr);
    ASSERT_EQ(AUEventListenerAddEventType(host, object, &latency), noErr);
    ComponentParameters countListeners = MakeComponentCall(kCountPropertyListenersSelect, {});
    EXPECT_EQ(CallComponentDispatch(unit, &countListeners), 1);

    ASSERT_EQ(AUEventListenerNotify(nullptr, nullptr, &begin), noErr);
    ASSERT_EQ(AUEventListenerNotify(nullptr, nullptr, &end), noErr);
    const UInt32 frames = 64;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0,
                                   &frames, sizeof frames),
              noErr);
    // Another property, or another element, is not heard.
    AudioUnitSetProperty(unit, kAudioUnitProperty_TailTime, kAudioUnitScope_Global, 0, &frames,
                         sizeof frames);
    AudioUnitSetProperty(unit, kAudioUnitProperty_Latency, kAudioUnitScope_Global, 1, &frames,
                         sizeof frames);
    const std::vector<Heard> expected{
        {nullptr, kAudioUnitEvent_BeginParameterChangeGesture, 3, 0.8f},
        {nullptr, kAudioUnitEvent_EndParameterChangeGesture, 3, 0.8f},
        {nullptr, kAudioUnitEvent_PropertyChange, kAudioUnitProperty_Latency, 0.0f},
    };
    EXPECT_EQ(heard, expected);

    // The sender does not hear its own event.
    heard.clear();
    ASSERT_EQ(AUEventListenerNotify(host, object, &begin), noErr);
    EXPECT_TRUE(heard.empty());

    ASSERT_EQ(AUListenerDispose(host), noErr);
    EXPECT_EQ(CallComponentDispatch(unit, &countListeners), 0);
    CloseComponent(unit);
}
