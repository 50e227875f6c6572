// The adapter as a host sees it: a probe effect written against AudioEffectX
// is opened through the Component Manager and driven with the host calls.
#include "AdapterHost.h"

#include "audioeffectx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace adapter_host;

namespace
{

constexpr OSType kProbeSubtype = 0x70726F62; // 'prob'
constexpr OSType kOtherSubtype = 0x6F746872; // 'othr'
constexpr OSType kManufacturer = 0x716F524C; // 'qoRL'

struct ProbeOptions
{
    VstInt32 inputs = 2;
    VstInt32 outputs = 2;
    bool mono = false;
    VstInt32 programs = 4;
    VstInt32 params = 3;
    bool throwInConstructor = false;
};

struct Block
{
    VstInt32 frames;
    float* in[2];
    float* out[2];
};

// Output = input x 0.5 per channel; records what the adapter hands over.
class Probe : public AudioEffectX
{
public:
    static ProbeOptions next;
    static constexpr VstInt32 kIndexedParam = 1;
    static constexpr VstInt32 kIndexedSteps = 4;

    explicit Probe(audioMasterCallback instance)
        : AudioEffectX(instance, next.programs, next.params), options(next)
    {
        if (options.throwInConstructor)
            throw kAudioUnitErr_InvalidElement;
        setNumInputs(options.inputs);
        setNumOutputs(options.outputs);
        canMono(options.mono);
        names.resize(static_cast<size_t>(options.programs));
        values.assign(static_cast<size_t>(options.programs),
                      std::vector<float>(static_cast<size_t>(options.params), 0.0f));
        for (VstInt32 p = 0; p < options.programs; ++p)
            names[p] = "Program " + std::to_string(p);
        blocks.reserve(64);
    }

    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override
    {
        if (blocks.size() < blocks.capacity())
            blocks.push_back({frames, {inputs[0], inputs[1]}, {outputs[0], outputs[1]}});
        for (int c = 0; c < 2; ++c)
        {
            // Read both channels before writing, as a host may share buffers.
            for (VstInt32 i = 0; i < frames; ++i)
                outputs[c][i] = inputs[c][i] * 0.5f;
        }
    }
    VstInt32 processEvents(VstEvents* events) override
    {
        eventCalls.push_back(events->numEvents);
        for (VstInt32 i = 0; i < events->numEvents; ++i)
            midi.push_back(*reinterpret_cast<VstMidiEvent*>(vstEventAt(events, i)));
        return 1;
    }
    void setParameter(VstInt32 index, float value) override
    {
        if (index >= 0 && index < options.params)
            values[curProgram][index] = value;
        log.push_back("set " + std::to_string(index));
    }
    float getParameter(VstInt32 index) override
    {
        return index >= 0 && index < options.params ? values[curProgram][index] : 0.0f;
    }
    VstInt32 getIndexNumber(VstInt32 index) override
    {
        return index == kIndexedParam ? kIndexedSteps : 0;
    }
    float getDefaultValue(VstInt32) override { return 0.25f; }
    void getParameterName(VstInt32 index, char* text) override
    {
        std::sprintf(text, "Param%d", index);
    }
    void getParameterLabel(VstInt32, char* text) override { std::strcpy(text, "dB"); }
    void getParameterDisplay(VstInt32 index, char* text) override
    {
        std::sprintf(text, "%.3f", static_cast<double>(getParameter(index)));
    }
    void setProgram(VstInt32 program) override
    {
        if (program >= 0 && program < options.programs)
            curProgram = program;
    }
    void getProgramName(char* name) override { std::strcpy(name, names[curProgram].c_str()); }
    void setProgramName(char* name) override { names[curProgram] = name; }
    void suspend() override { log.push_back("suspend"); }
    void resume() override { log.push_back("resume"); }
    void setBlockSize(VstInt32 size) override
    {
        AudioEffectX::setBlockSize(size);
        log.push_back("setBlockSize " + std::to_string(size));
    }

    ProbeOptions options;
    std::vector<std::string> names;
    std::vector<std::vector<float>> values;
    std::vector<Block> blocks;
    std::vector<VstInt32> eventCalls;
    std::vector<VstMidiEvent> midi;
    std::vector<std::string> log;
};

ProbeOptions Probe::next;

Component RegisterProbe(OSType subtype)
{
    const ComponentDescription description{kAudioUnitType_Effect, subtype, kManufacturer, 0, 0};
    return FxRegisterComponent(&description, &ComponentEntryPoint<Probe>::Dispatch, "Probe", 1);
}

Component ProbeComponent()
{
    static const Component component = RegisterProbe(kProbeSubtype);
    return component;
}

Component OtherComponent()
{
    static const Component component = RegisterProbe(kOtherSubtype);
    return component;
}

Probe* EffectOf(AudioUnit unit)
{
    AudioEffectX* effect = nullptr;
    UInt32 size = sizeof effect;
    EXPECT_EQ(noErr, AudioUnitGetProperty(unit, kAudioUnitProperty_EffectLink,
                                          kAudioUnitScope_Global, 0, &effect, &size));
    return dynamic_cast<Probe*>(effect);
}

class AdapterTest : public ::testing::Test
{
protected:
    void SetUp() override { Probe::next = ProbeOptions{}; }

    // An initialised stereo probe fed by source.
    std::unique_ptr<Unit> OpenReady(UInt32 in = 2, UInt32 out = 2)
    {
        auto unit = std::make_unique<Unit>(ProbeComponent());
        EXPECT_EQ(noErr, unit->status);
        EXPECT_EQ(noErr, unit->setFormats(in, out));
        EXPECT_EQ(noErr, unit->connect(source));
        EXPECT_EQ(noErr, unit->initialize());
        return unit;
    }

    InputSource source;
};

// ---- Construction, channel configurations, identity ------------------------

TEST_F(AdapterTest, ChannelConfigurationsFollowTheEffectsCountsAndMonoCapability)
{
    struct Case
    {
        VstInt32 inputs, outputs;
        bool mono;
        std::vector<std::pair<int, int>> offered;
    };
    const Case cases[] = {
        {1, 1, false, {{1, 1}}},
        {1, 2, false, {{1, 2}}},
        {1, 2, true, {{1, 1}, {1, 2}}},
        {2, 2, false, {{2, 2}}},
        {2, 2, true, {{1, 1}, {1, 2}, {2, 2}}},
        {3, 2, true, {}},
    };
    for (const Case& c : cases)
    {
        Probe::next = {c.inputs, c.outputs, c.mono};
        Unit unit(ProbeComponent());
        ASSERT_EQ(noErr, unit.status);
        AUChannelInfo info[4] = {};
        UInt32 size = sizeof info;
        const OSStatus result =
            AudioUnitGetProperty(unit.unit, kAudioUnitProperty_SupportedNumChannels,
                                 kAudioUnitScope_Global, 0, info, &size);
        std::vector<std::pair<int, int>> got;
        if (result == noErr)
            for (UInt32 i = 0; i < size / sizeof(AUChannelInfo); ++i)
                got.emplace_back(info[i].inChannels, info[i].outChannels);
        EXPECT_EQ(c.offered, got) << c.inputs << "x" << c.outputs << " mono " << c.mono;
    }
}

TEST_F(AdapterTest, InitialisationAcceptsExactlyTheOfferedPairs)
{
    struct Case
    {
        bool mono;
        UInt32 in, out;
        OSStatus expected;
    };
    const Case cases[] = {
        {false, 2, 2, noErr},
        {false, 1, 2, kAudioUnitErr_FormatNotSupported},
        {false, 1, 1, kAudioUnitErr_FormatNotSupported},
        {true, 1, 1, noErr},
        {true, 1, 2, noErr},
        {true, 2, 2, noErr},
        {true, 2, 1, kAudioUnitErr_FormatNotSupported},
    };
    for (const Case& c : cases)
    {
        Probe::next = {2, 2, c.mono};
        Unit unit(ProbeComponent());
        ASSERT_EQ(noErr, unit.setFormats(c.in, c.out));
        EXPECT_EQ(c.expected, unit.initialize()) << c.in << "->" << c.out << " mono " << c.mono;
    }
}

TEST_F(AdapterTest, FailedOpenReturnsTheStatusAndLeavesNoInstance)
{
    Probe::next.throwInConstructor = true;
    AudioUnit unit = nullptr;
    EXPECT_EQ(kAudioUnitErr_InvalidElement, OpenAComponent(ProbeComponent(), &unit));
    EXPECT_EQ(nullptr, unit);
    EXPECT_EQ(0, CountComponentInstances(ProbeComponent()));
}

TEST_F(AdapterTest, AnswersItsOwnPropertiesAndDefaults)
{
    Unit unit(ProbeComponent());
    Probe* effect = EffectOf(unit.unit);
    ASSERT_NE(nullptr, effect);

    UInt32 instruments = 99;
    EXPECT_EQ(noErr, unit.get(kMusicDeviceProperty_InstrumentCount, instruments));
    EXPECT_EQ(0u, instruments);

    Float64 tail = 0.0;
    EXPECT_EQ(noErr, unit.get(kAudioUnitProperty_TailTime, tail));
    EXPECT_DOUBLE_EQ(1.0 / 44100.0, tail);

    ComponentDescription view{};
    EXPECT_EQ(noErr, unit.get(kAudioUnitProperty_GetUIComponentList, view));
    EXPECT_EQ(0x61757677u, view.componentType);    // 'auvw'
    EXPECT_EQ(0x71715446u, view.componentSubType); // 'qqTF'
    EXPECT_EQ(kManufacturer, view.componentManufacturer);

    UInt32 bypass = 1;
    UInt32 size = 0;
    Boolean writable = true;
    EXPECT_EQ(noErr, AudioUnitGetPropertyInfo(unit.unit, kAudioUnitProperty_BypassEffect,
                                              kAudioUnitScope_Global, 0, &size, &writable));
    EXPECT_FALSE(writable);
    EXPECT_EQ(noErr, unit.set(kAudioUnitProperty_BypassEffect, bypass));
    bypass = 0;
    EXPECT_EQ(noErr, unit.get(kAudioUnitProperty_BypassEffect, bypass));
    EXPECT_EQ(1u, bypass);

    const Float64 latency = 0.5;
    EXPECT_EQ(noErr, unit.set(kAudioUnitProperty_Latency, latency));
    Float64 reported = -1.0;
    EXPECT_EQ(noErr, unit.get(kAudioUnitProperty_Latency, reported));
    EXPECT_EQ(0.0, reported);

    EXPECT_EQ(
        kAudioUnitErr_InvalidProperty,
        AudioUnitGetPropertyInfo(unit.unit, 54321, kAudioUnitScope_Global, 0, &size, &writable));

    // The unit's own file selector answers as the host can-do promises.
    const std::pair<const char*, VstInt32> canDos[] = {
        {"openFileSelector", 1}, {"sizeWindow", 1}, {"closeFileSelector", 0}, {"sizeWindowX", 0}};
    for (const auto& [text, answer] : canDos)
        EXPECT_EQ(answer, effect->canHostDo(const_cast<char*>(text))) << text;
    EXPECT_TRUE(effect->openFileSelector(nullptr));
    EXPECT_TRUE(effect->openFileSelector(nullptr));
    EXPECT_FALSE(effect->closeFileSelector(nullptr));
    EXPECT_FALSE(effect->closeFileSelector(nullptr));
}

// ---- Parameters -------------------------------------------------------------

TEST_F(AdapterTest, IndexedParameterIsScaledBothWays)
{
    Unit unit(ProbeComponent());
    Probe* effect = EffectOf(unit.unit);
    ASSERT_EQ(noErr, unit.setParameter(Probe::kIndexedParam, 3.0f));
    EXPECT_FLOAT_EQ(1.0f, effect->getParameter(Probe::kIndexedParam));
    EXPECT_EQ(3.0f, unit.parameter(Probe::kIndexedParam));

    effect->setParameter(Probe::kIndexedParam, 0.4f); // nearest step of 0..3 is 1
    EXPECT_EQ(1.0f, unit.parameter(Probe::kIndexedParam));

    ASSERT_EQ(noErr, unit.setParameter(0, 0.75f));
    EXPECT_FLOAT_EQ(0.75f, unit.parameter(0));
}

TEST_F(AdapterTest, ParameterInfoDescribesContinuousIndexedAndGenericParameters)
{
    Unit unit(ProbeComponent());
    AudioUnitParameterInfo info{};
    UInt32 size = sizeof info;
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterInfo,
                                          kAudioUnitScope_Global, 0, &info, &size));
    EXPECT_STREQ("Param0", info.name);
    EXPECT_EQ("Param0", Text(info.cfNameString));
    EXPECT_EQ(kAudioUnitParameterUnit_Generic, info.unit);
    EXPECT_EQ(0.0f, info.minValue);
    EXPECT_EQ(1.0f, info.maxValue);
    EXPECT_EQ(0.25f, info.defaultValue);
    EXPECT_EQ(0xD0000000u | kAudioUnitParameterFlag_HasCFNameString |
                  kAudioUnitParameterFlag_ValuesHaveStrings,
              info.flags);

    info = {};
    ASSERT_EQ(noErr,
              AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterInfo,
                                   kAudioUnitScope_Global, Probe::kIndexedParam, &info, &size));
    EXPECT_EQ(kAudioUnitParameterUnit_Indexed, info.unit);
    EXPECT_EQ(3.0f, info.maxValue);
    EXPECT_EQ(1.0f, info.defaultValue); // floor(0.25 x 3 + 0.5)

    // An ID at the parameter count: "Generic", answered without an error.
    info = {};
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterInfo,
                                          kAudioUnitScope_Global, 3, &info, &size));
    EXPECT_EQ("Generic", Text(info.cfNameString));
    EXPECT_EQ(kAudioUnitParameterUnit_Generic, info.unit);
    EXPECT_EQ(1.0f, info.maxValue);

    // Initialised units drop the global-meta flag.
    ASSERT_EQ(noErr, unit.initialize());
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterInfo,
                                          kAudioUnitScope_Global, 0, &info, &size));
    EXPECT_EQ(0u, info.flags & kAudioUnitParameterFlag_IsGlobalMeta);

    UInt32 count = 0;
    ASSERT_EQ(noErr, AudioUnitGetPropertyInfo(unit.unit, kAudioUnitProperty_ParameterList,
                                              kAudioUnitScope_Global, 0, &count, nullptr));
    EXPECT_EQ(3 * sizeof(AudioUnitParameterID), count);
}

TEST_F(AdapterTest, ParameterStringFromValueLeavesTheParameterAsItWas)
{
    Unit unit(ProbeComponent());
    ASSERT_EQ(noErr, unit.setParameter(0, 0.5f));
    EXPECT_EQ("0.500 dB", DisplayText(unit.unit, 0, nullptr));
    const float asked = 0.125f;
    EXPECT_EQ("0.125 dB", DisplayText(unit.unit, 0, &asked));
    const float negative = -1.0f;
    EXPECT_EQ("-1.000 dB", DisplayText(unit.unit, 0, &negative));
    EXPECT_EQ(0.5f, unit.parameter(0));
    const float step = 2.0f; // of the indexed parameter's 0..3
    EXPECT_EQ("0.667 dB", DisplayText(unit.unit, Probe::kIndexedParam, &step));
    EXPECT_EQ("<error " + std::to_string(kAudioUnitErr_InvalidParameter) + ">",
              DisplayText(unit.unit, 3, nullptr));
}

TEST_F(AdapterTest, ParameterStringFromValueRefusesAPartialRecord)
{
    Unit unit(ProbeComponent());
    const float asked = 0.125f;
    // 12 bytes is the record's size in a 32-bit host; 16 holds the question
    // but not the place for the answer.
    for (UInt32 partial : {12u, 16u})
    {
        SCOPED_TRACE(partial);
        AudioUnitParameterStringFromValue request{};
        request.inParamID = 0;
        request.inValue = &asked;
        UInt32 size = partial;
        EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue,
                  AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterStringFromValue,
                                       kAudioUnitScope_Global, 0, &request, &size));
        EXPECT_EQ(0u, size);
        EXPECT_EQ(nullptr, request.outString);
    }
}

// ---- Rendering ----------------------------------------------------------------

TEST_F(AdapterTest, ScheduledEventSlicesTheBlockAndRestoresTheBufferAddresses)
{
    source.signal = {std::vector<float>(512, 1.0f), std::vector<float>(512, 2.0f)};
    auto unit = OpenReady();
    Probe* effect = EffectOf(unit->unit);

    AudioUnitParameterEvent event{};
    event.scope = kAudioUnitScope_Global;
    event.parameter = 0;
    event.eventType = kParameterEvent_Immediate;
    event.eventValues.immediate.bufferOffset = 256;
    event.eventValues.immediate.value = 0.75f;
    ASSERT_EQ(noErr, AudioUnitScheduleParameters(unit->unit, &event, 1));
    EXPECT_EQ(0.75f, effect->getParameter(0)); // immediate values arrive when scheduled

    Audio out(2, 512);
    ASSERT_EQ(noErr, unit->render(out, 512));
    ASSERT_EQ(2u, effect->blocks.size());
    const Block& first = effect->blocks[0];
    const Block& second = effect->blocks[1];
    EXPECT_EQ(256, first.frames);
    EXPECT_EQ(256, second.frames);
    for (int c = 0; c < 2; ++c)
    {
        EXPECT_EQ(reinterpret_cast<char*>(first.in[c]) + 1024,
                  reinterpret_cast<char*>(second.in[c]));
        EXPECT_EQ(reinterpret_cast<char*>(first.out[c]) + 1024,
                  reinterpret_cast<char*>(second.out[c]));
    }
    AudioBufferList& inputList = effect->GetInput(0)->GetBufferList();
    EXPECT_EQ(first.in[0], inputList.mBuffers[0].mData);
    EXPECT_EQ(first.in[1], inputList.mBuffers[1].mData);
    EXPECT_EQ(0.5f, out.channels[0][511]);
    EXPECT_EQ(1.0f, out.channels[1][0]);
}

TEST_F(AdapterTest, InputReportingSilenceSkipsTheEffect)
{
    source.signal = {std::vector<float>(64, 1.0f)};
    source.reportSilence = true;
    auto unit = OpenReady();
    Audio out(2, 64);
    ASSERT_EQ(noErr, unit->render(out, 64));
    EXPECT_TRUE(EffectOf(unit->unit)->blocks.empty());
    EXPECT_EQ(1, source.calls);
}

TEST_F(AdapterTest, BypassCopiesTheMonoInputToBothOutputs)
{
    Probe::next.mono = true;
    std::vector<float> ramp(128);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<float>(i) * 0.01f;
    source.signal = {ramp};
    auto unit = OpenReady(1, 2);
    const UInt32 on = 1;
    ASSERT_EQ(noErr, unit->set(kAudioUnitProperty_BypassEffect, on));
    Audio out(2, 128);
    ASSERT_EQ(noErr, unit->render(out, 128));
    EXPECT_EQ(ramp, out.channels[0]);
    EXPECT_EQ(ramp, out.channels[1]);
    EXPECT_TRUE(EffectOf(unit->unit)->blocks.empty());
}

TEST_F(AdapterTest, MonoStreamFeedsBothChannelsOfTheStereoEffect)
{
    Probe::next.mono = true;
    source.signal = {std::vector<float>(32, 0.8f)};
    auto unit = OpenReady(1, 1);
    Audio out(1, 32);
    ASSERT_EQ(noErr, unit->render(out, 32));
    const Block& block = EffectOf(unit->unit)->blocks.at(0);
    EXPECT_EQ(block.in[0], block.in[1]);
    EXPECT_EQ(block.out[0], block.out[1]);
    EXPECT_FLOAT_EQ(0.4f, out.channels[0][31]);
}

TEST_F(AdapterTest, InPlaceProcessingHandsTheSameBuffersForInputAndOutput)
{
    source.signal = {std::vector<float>(64, 1.0f), std::vector<float>(64, -1.0f)};
    auto unit = OpenReady();
    const UInt32 on = 1;
    ASSERT_EQ(noErr, unit->set(kAudioUnitProperty_InPlaceProcessing, on));
    Audio out(2, 64);
    ASSERT_EQ(noErr, unit->render(out, 64));
    const Block& block = EffectOf(unit->unit)->blocks.at(0);
    EXPECT_EQ(block.in[0], block.out[0]);
    EXPECT_EQ(block.in[1], block.out[1]);
    EXPECT_EQ(0.5f, out.channels[0][63]);
    EXPECT_EQ(-0.5f, out.channels[1][63]);
}

TEST_F(AdapterTest, LongerBlockGrowsTheBlockSizeBeforeProcessing)
{
    source.signal = {std::vector<float>(8192, 0.0f)};
    auto unit = OpenReady();
    Probe* effect = EffectOf(unit->unit);
    Audio small(2, 512), large(2, 4096);
    ASSERT_EQ(noErr, unit->render(small, 512));
    ASSERT_EQ(noErr, unit->render(small, 512));
    effect->log.clear();
    ASSERT_EQ(noErr, unit->render(large, 4096));
    EXPECT_EQ((std::vector<std::string>{"suspend", "setBlockSize 4096", "resume"}), effect->log);
    EXPECT_EQ(4096, effect->blocks.back().frames);
    effect->log.clear();
    ASSERT_EQ(noErr, unit->render(small, 512)); // never shrinks
    EXPECT_TRUE(effect->log.empty());
    EXPECT_EQ(4096, effect->getBlockSize());
}

TEST_F(AdapterTest, MidiQueueHolds1024EventsAndReportsTheNext)
{
    source.signal = {std::vector<float>(64, 0.0f)};
    auto unit = OpenReady();
    Probe* effect = EffectOf(unit->unit);
    testing::internal::CaptureStdout();
    for (UInt32 i = 0; i < 1025; ++i)
        ASSERT_EQ(noErr, MusicDeviceMIDIEvent(unit->unit, 0xB3, i % 128, (i / 128) % 128, i % 64));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ("AU plugin midi buffer overflow!\n", printed);

    Audio out(2, 64);
    ASSERT_EQ(noErr, unit->render(out, 64));
    ASSERT_EQ((std::vector<VstInt32>{1024}), effect->eventCalls);
    for (UInt32 i = 0; i < 1024; ++i)
    {
        const VstMidiEvent& event = effect->midi[i];
        ASSERT_EQ(kVstMidiType, event.type);
        EXPECT_EQ(24, event.byteSize);
        EXPECT_EQ(static_cast<char>(0xB3), event.midiData[0]);
        EXPECT_EQ(static_cast<char>(i % 128), event.midiData[1]);
        EXPECT_EQ(static_cast<char>((i / 128) % 128), event.midiData[2]);
        EXPECT_EQ(static_cast<VstInt32>(i % 64), event.deltaFrames);
    }

    // Every block delivers, also with nothing queued.
    ASSERT_EQ(noErr, unit->render(out, 64));
    EXPECT_EQ((std::vector<VstInt32>{1024, 0}), effect->eventCalls);
}

TEST_F(AdapterTest, TimeInfoComesFromTheHostCallbacksAndTheRenderTime)
{
    source.signal = {std::vector<float>(256, 0.0f)};
    auto unit = OpenReady();
    Audio out(2, 128);
    unit->sampleTime = 4410.0;
    ASSERT_EQ(noErr, unit->render(out, 128));
    const VstTimeInfo* info = EffectOf(unit->unit)->getTimeInfo(0);
    EXPECT_EQ(0.0, info->tempo);
    EXPECT_EQ(4410.0, info->samplePos);

    HostCallbackInfo callbacks{};
    callbacks.beatAndTempoProc = [](void*, Float64* beat, Float64* tempo) -> OSStatus
    {
        *beat = 12.5;
        *tempo = 96.0;
        return noErr;
    };
    ASSERT_EQ(noErr, unit->set(kAudioUnitProperty_HostCallbacks, callbacks));
    ASSERT_EQ(noErr, unit->render(out, 128));
    info = EffectOf(unit->unit)->getTimeInfo(0);
    EXPECT_EQ(96.0, info->tempo);
    EXPECT_EQ(12.5, info->ppqPos);
    EXPECT_EQ(kVstTempoValid | kVstPpqPosValid, info->flags);
    EXPECT_EQ(4538.0, info->samplePos);
}

// ---- The view's side: gestures, automation, unlinking ---------------------------

// Stands where a view's editor would: listens to the unit as a view does.
class ViewLink : public AudioEffectEditorLink
{
public:
    explicit ViewLink(AudioUnit unit)
    {
        AUListenerCreate(&ViewLink::ParameterChanged, this, nullptr, nullptr, 0.0f, &listener);
        const AudioUnitParameter parameter{unit, 0, kAudioUnitScope_Global, 0};
        AUListenerAddParameter(listener, this, &parameter);
    }
    ~ViewLink() { AUListenerDispose(listener); }

    void effectGone() override { gone = true; }
    bool sizeWindow(VstInt32 width, VstInt32 height) override
    {
        size = {width, height};
        return true;
    }
    AUParameterListenerRef parameterListener() override { return listener; }
    void notifyHostGesture(const AudioUnitParameter& parameter, UInt32 event) override
    {
        hostGestures.push_back(static_cast<int>(parameter.mParameterID * 10 + event));
    }

    static void ParameterChanged(void* self, void*, const AudioUnitParameter*,
                                 AudioUnitParameterValue value)
    {
        static_cast<ViewLink*>(self)->heard.push_back(value);
    }

    AUParameterListenerRef listener = nullptr;
    bool gone = false;
    std::pair<VstInt32, VstInt32> size{0, 0};
    std::vector<int> hostGestures;
    std::vector<float> heard;
};

struct GestureLog
{
    std::vector<std::pair<AudioUnitEventType, AudioUnitParameterID>> events;
    static void Heard(void* self, void*, const AudioUnitEvent* event, UInt64,
                      AudioUnitParameterValue)
    {
        static_cast<GestureLog*>(self)->events.emplace_back(
            event->mEventType, event->mArgument.mParameter.mParameterID);
    }
};

TEST_F(AdapterTest, AutomationAndGesturesGoThroughTheListenerService)
{
    auto unit = std::make_unique<Unit>(ProbeComponent());
    Probe* effect = EffectOf(unit->unit);

    // Without a view: the value still reaches the effect; gestures answer false.
    effect->setParameterAutomated(0, 0.2f);
    EXPECT_EQ(0.2f, effect->getParameter(0));
    EXPECT_FALSE(effect->beginEdit(0));
    EXPECT_FALSE(effect->sizeWindow(100, 50));

    ViewLink view(unit->unit);
    effect->setEditor(&view);

    // A second listener stands for the host's automation.
    std::vector<float> host;
    AUParameterListenerRef hostListener = nullptr;
    ASSERT_EQ(noErr, AUListenerCreate(
                         [](void* out, void*, const AudioUnitParameter*, AudioUnitParameterValue v)
                         { static_cast<std::vector<float>*>(out)->push_back(v); },
                         &host, nullptr, nullptr, 0.0f, &hostListener));
    const AudioUnitParameter parameter{unit->unit, 0, kAudioUnitScope_Global, 0};
    ASSERT_EQ(noErr, AUListenerAddParameter(hostListener, nullptr, &parameter));

    GestureLog gestures;
    AUEventListenerRef eventListener = nullptr;
    ASSERT_EQ(noErr, AUEventListenerCreate(&GestureLog::Heard, &gestures, nullptr, nullptr, 0.0f,
                                           0.0f, &eventListener));
    for (AudioUnitEventType type :
         {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_EndParameterChangeGesture})
    {
        AudioUnitEvent event{};
        event.mEventType = type;
        event.mArgument.mParameter = parameter;
        ASSERT_EQ(noErr, AUEventListenerAddEventType(eventListener, nullptr, &event));
    }

    effect->beginEdit(0);
    effect->setParameterAutomated(0, 0.7f);
    effect->endEdit(0);
    EXPECT_FALSE(effect->beginEdit(3)); // beyond the parameters: nothing

    EXPECT_EQ(0.7f, effect->getParameter(0));
    EXPECT_EQ(std::vector<float>{0.7f}, host);
    // The effect is the sender, so the view's own registration hears it too.
    EXPECT_EQ(std::vector<float>{0.7f}, view.heard);
    EXPECT_EQ((std::vector<int>{0, 1}), view.hostGestures);
    EXPECT_EQ((std::vector<std::pair<AudioUnitEventType, AudioUnitParameterID>>{
                  {kAudioUnitEvent_BeginParameterChangeGesture, 0},
                  {kAudioUnitEvent_EndParameterChangeGesture, 0}}),
              gestures.events);

    // The indexed parameter travels as its step number.
    host.clear();
    const AudioUnitParameter indexed{unit->unit, Probe::kIndexedParam, kAudioUnitScope_Global, 0};
    ASSERT_EQ(noErr, AUListenerAddParameter(hostListener, nullptr, &indexed));
    effect->setParameterAutomated(Probe::kIndexedParam, 1.0f);
    EXPECT_EQ(std::vector<float>{3.0f}, host);
    EXPECT_EQ(1.0f, effect->getParameter(Probe::kIndexedParam));

    EXPECT_TRUE(effect->sizeWindow(300, 200));
    EXPECT_EQ(std::make_pair(300, 200), view.size);

    AUListenerDispose(eventListener);
    AUListenerDispose(hostListener);
    unit.reset();
    EXPECT_TRUE(view.gone);
}

TEST_F(AdapterTest, ResetRestartsTheEffect)
{
    auto unit = OpenReady();
    Probe* effect = EffectOf(unit->unit);
    effect->log.clear();
    ASSERT_EQ(noErr, AudioUnitReset(unit->unit, kAudioUnitScope_Global, 0));
    EXPECT_EQ((std::vector<std::string>{"suspend", "resume"}), effect->log);
}

// ---- State and presets --------------------------------------------------------

TEST_F(AdapterTest, CompleteDumpRoundTripsIntoAFreshInstance)
{
    Unit first(ProbeComponent());
    Probe* a = EffectOf(first.unit);
    a->setProgram(2);
    a->setParameter(0, 0.3f);
    a->setParameter(2, 0.9f);
    char name[] = "A name longer than twenty-eight bytes";
    a->setProgramName(name);

    CFPropertyListRef state = nullptr;
    ASSERT_EQ(noErr, first.get(kAudioUnitProperty_ClassInfo, state));
    auto dictionary = static_cast<CFDictionaryRef>(state);
    auto dump = static_cast<CFDataRef>(CFDictionaryGetValue(dictionary, CFSTR("mCompleteData")));
    ASSERT_NE(nullptr, dump);
    EXPECT_EQ((3 * 4 + 28) * 4, CFDataGetLength(dump));
    // Program 2's first value, big-endian, after its 28 name bytes.
    const UInt8* record = CFDataGetBytePtr(dump) + 2 * (3 * 4 + 28);
    const float expected = 0.3f;
    UInt32 bits = 0;
    std::memcpy(&bits, &expected, 4);
    EXPECT_EQ(bits >> 24, record[28]);
    EXPECT_EQ(0, record[27]);
    EXPECT_EQ(nullptr, CFDictionaryGetValue(dictionary, CFSTR("mChunkData")));

    Unit second(ProbeComponent());
    Probe* b = EffectOf(second.unit);
    ASSERT_EQ(noErr, second.set(kAudioUnitProperty_ClassInfo, state));
    EXPECT_EQ(2, b->getProgram());
    EXPECT_EQ(0.3f, b->getParameter(0));
    EXPECT_EQ(0.9f, b->getParameter(2));
    EXPECT_EQ("A name longer than twenty-e", b->names[2]);
    EXPECT_EQ("Program 1", b->names[1]);

    AUPreset current{};
    ASSERT_EQ(noErr, second.get(kAudioUnitProperty_PresentPreset, current));
    EXPECT_EQ(-1, current.presetNumber);
    CFRelease(current.presetName);
    CFRelease(state);
}

TEST_F(AdapterTest, DumpOfTheWrongLengthIsReportedAndIgnored)
{
    Unit unit(ProbeComponent());
    Probe* effect = EffectOf(unit.unit);
    CFPropertyListRef state = nullptr;
    ASSERT_EQ(noErr, unit.get(kAudioUnitProperty_ClassInfo, state));
    CFMutableDictionaryRef edited =
        CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(state));
    CFMutableDataRef shortDump = CFDataCreateMutableCopy(
        nullptr, 0, static_cast<CFDataRef>(CFDictionaryGetValue(edited, CFSTR("mCompleteData"))));
    std::memset(CFDataGetMutableBytePtr(shortDump), 'x', 20);
    CFDataSetLength(shortDump, CFDataGetLength(shortDump) - 1);
    CFDictionarySetValue(edited, CFSTR("mCompleteData"), shortDump);

    testing::internal::CaptureStderr();
    const OSStatus result = unit.set(kAudioUnitProperty_ClassInfo, edited);
    EXPECT_EQ("Fatal error, preset Size wrong!\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(noErr, result);
    EXPECT_EQ("Program 0", effect->names[0]);
    CFRelease(shortDump);
    CFRelease(edited);
    CFRelease(state);
}

TEST_F(AdapterTest, RefusedStateChangesNothing)
{
    Unit other(OtherComponent());
    Probe* source = EffectOf(other.unit);
    source->setProgram(3);
    source->setParameter(0, 0.6f);
    CFPropertyListRef state = nullptr;
    ASSERT_EQ(noErr, other.get(kAudioUnitProperty_ClassInfo, state));

    Unit unit(ProbeComponent());
    Probe* effect = EffectOf(unit.unit);
    effect->log.clear();
    EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue, unit.set(kAudioUnitProperty_ClassInfo, state));
    EXPECT_EQ(0, effect->getProgram());
    EXPECT_TRUE(effect->log.empty());
    EXPECT_EQ(0.0f, effect->values[3][0]);
    CFRelease(state);
}

TEST_F(AdapterTest, FactoryPresetsAreNamedDefaultUntilInitialised)
{
    auto unit = std::make_unique<Unit>(ProbeComponent());
    EXPECT_EQ(std::vector<std::string>(4, "Default"), PresetNames(unit->unit));
    ASSERT_EQ(noErr, unit->initialize());
    EXPECT_EQ((std::vector<std::string>{"Program 0", "Program 1", "Program 2", "Program 3"}),
              PresetNames(unit->unit));

    // A renamed program reaches the list with updateDisplay, and the host is told.
    Probe* effect = EffectOf(unit->unit);
    int notified = 0;
    auto listener = [](void* count, AudioUnit, AudioUnitPropertyID, AudioUnitScope,
                       AudioUnitElement) { ++*static_cast<int*>(count); };
    ASSERT_EQ(noErr, AudioUnitAddPropertyListener(unit->unit, kAudioUnitProperty_FactoryPresets,
                                                  listener, &notified));
    effect->setProgram(1);
    char renamed[] = "Renamed";
    effect->setProgramName(renamed);
    EXPECT_TRUE(effect->updateDisplay());
    EXPECT_EQ(1, notified);
    EXPECT_EQ("Renamed", PresetNames(unit->unit)[1]);
}

TEST_F(AdapterTest, PresentPresetSelectsAProgramOrIsRefused)
{
    Unit unit(ProbeComponent());
    ASSERT_EQ(noErr, unit.initialize());
    Probe* effect = EffectOf(unit.unit);
    AUPreset request{3, CFSTR("ignored")};
    ASSERT_EQ(noErr, unit.set(kAudioUnitProperty_PresentPreset, request));
    EXPECT_EQ(3, effect->getProgram());
    AUPreset current{};
    ASSERT_EQ(noErr, unit.get(kAudioUnitProperty_PresentPreset, current));
    EXPECT_EQ(3, current.presetNumber);
    EXPECT_EQ("Program 3", Text(current.presetName));
    CFRelease(current.presetName);

    request.presetNumber = 99;
    EXPECT_EQ(kAudioUnitErr_InvalidPropertyValue,
              unit.set(kAudioUnitProperty_PresentPreset, request));
    EXPECT_EQ(3, effect->getProgram());
}

// ---- Host detection and string conversions ------------------------------------

TEST_F(AdapterTest, HostFlagsFollowTheHostsIdentifierAndVersion)
{
    const HostFlagsCase cases[] = {
        {"de.TCWorks.SparkXL", "1.0", false, false, false, true, false, false},
        {"com.ableton.live", "5", false, false, false, false, false, false},
        {"com.motu.DigitalPerformer", "4.12", false, false, false, false, true, true},
        {"com.motu.DigitalPerformer", "5.0", false, false, false, false, true, false},
        {"com.apple.garageband", "1", false, true, false, false, false, false},
        {"com.apple.logic.pro", "7", false, true, false, false, false, false},
        {"de.emagic.Logic", "6.4", true, true, false, false, false, false},
        {"de.emagic.Logic", "5.5", false, true, false, false, false, false},
        {"com.apple.audio.aulab", "1", false, false, true, false, false, false},
        {"org.example.host", "1", false, false, false, false, false, false},
    };
    for (const HostFlagsCase& c : cases)
    {
        SetHostIdentity(c.id, c.version);
        Unit unit(ProbeComponent());
        ExpectHostFlags(c, EffectOf(unit.unit));
        EXPECT_STREQ(c.id, AudioEffectX::bundleSTR);
    }

    // Digital Performer 4.1 describes continuous parameters as MIDI controllers.
    FxSetMainBundleInfo(CFSTR("com.motu.DigitalPerformer"), CFSTR("4.1"));
    Unit unit(ProbeComponent());
    AudioUnitParameterInfo info{};
    UInt32 size = sizeof info;
    ASSERT_EQ(noErr, AudioUnitGetProperty(unit.unit, kAudioUnitProperty_ParameterInfo,
                                          kAudioUnitScope_Global, 0, &info, &size));
    EXPECT_EQ(kAudioUnitParameterUnit_MIDIController, info.unit);
    FxSetMainBundleInfo(nullptr, nullptr);
}

TEST_F(AdapterTest, StringConversions)
{
    Unit unit(ProbeComponent());
    Probe* effect = EffectOf(unit.unit);
    char text[32];
    struct Case
    {
        float value;
        const char* expected;
    };
    const Case floats[] = {
        {1.5f, "1.500000"},        {-2.25f, "-2.25000"},      {0.0f, "0.000000"},
        {12345678.0f, "12345678"}, {1234567.0f, "1234567."},  {100000000.0f, "Huge!"},
        {-10000000.0f, "Huge!"},   {-9999999.0f, "-9999999"}, {NAN, "NaN"},
    };
    for (const Case& c : floats)
    {
        effect->float2string(c.value, text);
        EXPECT_STREQ(c.expected, text) << c.value;
    }
    effect->long2string(100000000, text);
    EXPECT_STREQ("Huge!", text);
    effect->long2string(42, text);
    EXPECT_STREQ("     42", text);
    effect->long2string(-9999999, text);
    EXPECT_STREQ("-9999999", text);
    effect->long2string(-10000000, text);
    EXPECT_STREQ("Huge!", text);
    effect->dB2string(0.0f, text);
    EXPECT_STREQ("-\xB0", text);
    effect->dB2string(1.0f, text);
    EXPECT_STREQ("0.000000", text);
    effect->Hz2string(441.0f, text);
    EXPECT_STREQ("100.0000", text);
    effect->ms2string(44100.0f, text);
    EXPECT_STREQ("1000.000", text);
}

} // namespace
