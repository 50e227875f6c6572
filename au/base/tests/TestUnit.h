// A small effect unit on AUBase for the tests, and a host-side fixture that
// opens it through the Component Manager as a host would.
#pragma once

#include "AUBase.h"
#include "AUMIDIBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

enum
{
    kTestUnitSubType = 0x74657374,      // 'test'
    kTestUnitManufacturer = 0x71546573, // 'qTes'
    kGainParameter = 0,
    kOtherParameter = 7,
};

// What the next unit opened is like; set before opening.
struct TestUnitOptions
{
    AUBaseRevision revision = AUBaseRevision::Current;
    std::vector<AUChannelInfo> channels{{2, 2}};
    bool supportsTail = false;
    bool indexedGlobals = false;
    bool withGain = true;
};

struct SliceRecord
{
    UInt32 start;
    UInt32 frames;
    Float32 gainStart;
    Float32 gainEnd;
};

// A private property that reads its question from the caller's place and
// answers into the same place, as the value-to-text properties do.
enum : AudioUnitPropertyID
{
    kTestProperty_Doubled = 70000,
};

struct TestDoubledQuery
{
    SInt32 question;
    SInt32 answer;
    SInt64 padding;
};

class TestUnit : public AUBase
{
public:
    static TestUnitOptions sNextOptions;

    explicit TestUnit(ComponentInstance instance);

    bool StreamFormatWritable(AudioUnitScope, AudioUnitElement) override
    {
        return !IsInitialized();
    }
    UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override;
    bool SupportsTail() override { return mOptions.supportsTail; }
    Float64 GetTailTime() override { return 0.25; }
    OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                              AudioUnitParameterInfo& outInfo) override;
    OSStatus Render(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                    UInt32 frames) override;
    OSStatus ProcessScheduledSlice(void* userData, UInt32 sliceStart, UInt32 sliceFrames,
                                   UInt32 totalFrames) override;
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outDataSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;

    // Output = input x gain, per channel stream.
    int renderCount = 0;
    std::vector<SliceRecord> slices;

private:
    TestUnitOptions mOptions;
};

// The same unit with MIDI: every hook call is logged as text.
class MidiTestUnit : public TestUnit, public AUMIDIBase
{
public:
    explicit MidiTestUnit(ComponentInstance instance) : TestUnit(instance), AUMIDIBase(this) {}

    static OSStatus ComponentEntryDispatch(ComponentParameters* params, MidiTestUnit* This);

    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outDataSize, Boolean& outWritable) override;

    void HandleNoteOn(UInt8 channel, UInt8 note, UInt8 velocity, UInt32 startFrame) override;
    void HandleNoteOff(UInt8 channel, UInt8 note, UInt8 velocity, UInt32 startFrame) override;
    void HandleControlChange(UInt8 channel, UInt8 controller, UInt8 value,
                             UInt32 startFrame) override;
    void HandlePitchWheel(UInt8 channel, UInt8 low, UInt8 high, UInt32 startFrame) override;
    void HandleChannelPressure(UInt8 channel, UInt8 value, UInt32 startFrame) override;
    void HandleProgramChange(UInt8 channel, UInt8 program) override;
    void HandlePolyPressure(UInt8 channel, UInt8 note, UInt8 value, UInt32 startFrame) override;
    void HandleResetAllControllers(UInt8 channel) override;
    void HandleAllNotesOff(UInt8 channel) override;
    void HandleAllSoundOff(UInt8 channel) override;
    void HandleSysEx(const UInt8* data, UInt32 length) override;

    std::vector<std::string> log;

private:
    void Log(const char* format, ...);
};

// The object behind an open instance.
template <typename T = TestUnit> T* UnitObject(AudioUnit unit)
{
    return static_cast<T*>(ComponentBase::FromStorage(GetComponentInstanceStorage(unit)));
}

// Host side: registers the test components once and opens instances.
AudioUnit OpenTestUnit(const TestUnitOptions& options = {});
AudioUnit OpenMidiTestUnit();

// A host-owned stereo buffer list with its own sample memory (or null data
// addresses when withMemory is false).
struct HostBuffers
{
    HostBuffers(UInt32 channels, UInt32 frames, bool withMemory);
    AudioBufferList& List() { return *reinterpret_cast<AudioBufferList*>(listBytes.data()); }
    Float32* Channel(UInt32 i) { return samples[i].data(); }

    std::vector<std::byte> listBytes;
    std::vector<std::vector<Float32>> samples;
};

// Fills every buffer with channel-dependent ramps: sample n of channel c is
// c * 1000 + n.
OSStatus RampInput(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                   UInt32 bus, UInt32 frames, AudioBufferList* data);

AudioTimeStamp SampleTime(Float64 time);

// Closes the units it was given at the end of a test.
class UnitTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (AudioUnit unit : mOpened)
            CloseComponent(unit);
    }
    AudioUnit Open(const TestUnitOptions& options = {})
    {
        AudioUnit unit = OpenTestUnit(options);
        mOpened.push_back(unit);
        return unit;
    }
    AudioUnit OpenMidi()
    {
        AudioUnit unit = OpenMidiTestUnit();
        mOpened.push_back(unit);
        return unit;
    }
    std::vector<AudioUnit> mOpened;
};
