#include "TestUnit.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

TestUnitOptions TestUnit::sNextOptions;

TestUnit::TestUnit(ComponentInstance instance)
    : AUBase(instance, 1, 1, 0, 0, sNextOptions.revision), mOptions(sNextOptions)
{
    if (mOptions.indexedGlobals)
        Globals()->UseIndexedParameters(2);
    if (mOptions.withGain)
        Globals()->SetParameter(kGainParameter, 1.0f);
}

UInt32 TestUnit::SupportedNumChannels(const AUChannelInfo** outInfo)
{
    if (outInfo != nullptr)
        *outInfo = mOptions.channels.data();
    return static_cast<UInt32>(mOptions.channels.size());
}

OSStatus TestUnit::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                   AudioUnitElement element, UInt32& outDataSize,
                                   Boolean& outWritable)
{
    if (id != kTestProperty_Doubled)
        return AUBase::GetPropertyInfo(id, scope, element, outDataSize, outWritable);
    outDataSize = sizeof(TestDoubledQuery);
    outWritable = false;
    return noErr;
}

OSStatus TestUnit::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                               AudioUnitElement element, void* outData)
{
    if (id != kTestProperty_Doubled)
        return AUBase::GetProperty(id, scope, element, outData);
    auto* query = static_cast<TestDoubledQuery*>(outData);
    query->answer = query->question * 2;
    return noErr;
}

OSStatus TestUnit::GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                    AudioUnitParameterInfo& outInfo)
{
    if (scope != kAudioUnitScope_Global || id != kGainParameter)
        return kAudioUnitErr_InvalidParameter;
    std::snprintf(outInfo.name, sizeof outInfo.name, "Gain");
    outInfo.minValue = 0.0f;
    outInfo.maxValue = 2.0f;
    outInfo.defaultValue = 1.0f;
    outInfo.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;
    return noErr;
}

OSStatus TestUnit::Render(AudioUnitRenderActionFlags& ioActionFlags,
                          const AudioTimeStamp& timeStamp, UInt32 frames)
{
    ++renderCount;
    AUInputElement* input = GetInput(0);
    const OSStatus result = input->PullInput(ioActionFlags, timeStamp, 0, frames);
    if (result != noErr)
        return result;
    if (HasScheduledParameterEvents())
    {
        const OSStatus sliced = ProcessForScheduledParams(GetParamEventList(), frames, this);
        if (sliced != noErr)
            return sliced;
    }
    const Float32 gain = Globals()->GetParameter(kGainParameter);
    const AudioBufferList& in = input->GetBufferList();
    AudioBufferList& out = GetOutput(0)->GetBufferList();
    for (UInt32 b = 0; b < out.mNumberBuffers && b < in.mNumberBuffers; ++b)
    {
        const auto* from = static_cast<const Float32*>(in.mBuffers[b].mData);
        auto* to = static_cast<Float32*>(out.mBuffers[b].mData);
        for (UInt32 i = 0; i < frames; ++i)
            to[i] = from[i] * gain;
    }
    return noErr;
}

OSStatus TestUnit::ProcessScheduledSlice(void*, UInt32 sliceStart, UInt32 sliceFrames, UInt32)
{
    Float32 start = 0.0f, end = 0.0f, delta = 0.0f;
    Globals()->GetRampSliceStartEnd(kGainParameter, start, end, delta);
    slices.push_back({sliceStart, sliceFrames, start, end});
    return noErr;
}

OSStatus MidiTestUnit::ComponentEntryDispatch(ComponentParameters* params, MidiTestUnit* This)
{
    if (params->what == kMusicDeviceMIDIEventSelect || params->what == kMusicDeviceSysExSelect)
        return AUMIDIBase::ComponentEntryDispatch(params, This);
    return AUBase::ComponentEntryDispatch(params, This);
}

OSStatus MidiTestUnit::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                       AudioUnitElement element, UInt32& outDataSize,
                                       Boolean& outWritable)
{
    return DelegateGetPropertyInfo(id, scope, element, outDataSize, outWritable);
}

void MidiTestUnit::Log(const char* format, ...)
{
    char text[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    log.emplace_back(text);
}

void MidiTestUnit::HandleNoteOn(UInt8 c, UInt8 n, UInt8 v, UInt32 f)
{
    Log("on %u %u %u @%u", c, n, v, f);
}
void MidiTestUnit::HandleNoteOff(UInt8 c, UInt8 n, UInt8 v, UInt32 f)
{
    Log("off %u %u %u @%u", c, n, v, f);
}
void MidiTestUnit::HandleControlChange(UInt8 c, UInt8 n, UInt8 v, UInt32 f)
{
    Log("cc %u %u %u @%u", c, n, v, f);
}
void MidiTestUnit::HandlePitchWheel(UInt8 c, UInt8 low, UInt8 high, UInt32 f)
{
    Log("pitch %u %u %u @%u", c, low, high, f);
}
void MidiTestUnit::HandleChannelPressure(UInt8 c, UInt8 v, UInt32 f)
{
    Log("pressure %u %u @%u", c, v, f);
}
void MidiTestUnit::HandleProgramChange(UInt8 c, UInt8 p)
{
    Log("program %u %u", c, p);
}
void MidiTestUnit::HandlePolyPressure(UInt8 c, UInt8 n, UInt8 v, UInt32 f)
{
    Log("poly %u %u %u @%u", c, n, v, f);
}
void MidiTestUnit::HandleResetAllControllers(UInt8 c)
{
    Log("reset %u", c);
}
void MidiTestUnit::HandleAllNotesOff(UInt8 c)
{
    Log("notesoff %u", c);
}
void MidiTestUnit::HandleAllSoundOff(UInt8 c)
{
    Log("soundoff %u", c);
}
void MidiTestUnit::HandleSysEx(const UInt8* data, UInt32 length)
{
    Log("sysex %u %02x", length, length > 0 ? data[0] : 0);
}

namespace
{

Component RegisterOnce(OSType subType, ComponentRoutineUPP entry, const char* name)
{
    const ComponentDescription description{kAudioUnitType_Effect, subType, kTestUnitManufacturer, 0,
                                           0};
    Component found = FindNextComponent(nullptr, &description);
    return found != nullptr ? found : FxRegisterComponent(&description, entry, name, 0x00010000);
}

} // namespace

AudioUnit OpenTestUnit(const TestUnitOptions& options)
{
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
    TestUnit::sNextOptions = options;
    Component component =
        RegisterOnce(kTestUnitSubType, ComponentEntryPoint<TestUnit>::Dispatch, "Test: Gain");
    AudioUnit unit = nullptr;
    EXPECT_EQ(OpenAComponent(component, &unit), noErr);
    return unit;
}

AudioUnit OpenMidiTestUnit()
{
    TestUnit::sNextOptions = {};
    Component component =
        RegisterOnce(0x6D696469, ComponentEntryPoint<MidiTestUnit>::Dispatch, "Test: MIDI");
    AudioUnit unit = nullptr;
    EXPECT_EQ(OpenAComponent(component, &unit), noErr);
    return unit;
}

HostBuffers::HostBuffers(UInt32 channels, UInt32 frames, bool withMemory)
    : listBytes(FxAudioBufferListSize(channels)), samples(channels)
{
    AudioBufferList& list = List();
    list.mNumberBuffers = channels;
    for (UInt32 c = 0; c < channels; ++c)
    {
        samples[c].assign(frames, -7.0f);
        list.mBuffers[c].mNumberChannels = 1;
        list.mBuffers[c].mDataByteSize = frames * sizeof(Float32);
        list.mBuffers[c].mData = withMemory ? samples[c].data() : nullptr;
    }
}

OSStatus RampInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                   AudioBufferList* data)
{
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
    {
        auto* samples = static_cast<Float32*>(data->mBuffers[c].mData);
        for (UInt32 i = 0; i < frames; ++i)
            samples[i] = static_cast<Float32>(c * 1000 + i);
    }
    return noErr;
}

AudioTimeStamp SampleTime(Float64 time)
{
    AudioTimeStamp stamp{};
    stamp.mSampleTime = time;
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    return stamp;
}
