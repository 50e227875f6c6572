// The Audio Unit calls a host makes, each packed into a call block and sent
// through the unit's entry, or straight to the unit's fast-dispatch entries
// when it offers them.
#include "ComponentRegistry.h"

namespace
{

intptr_t Word(const void* pointer)
{
    return reinterpret_cast<intptr_t>(pointer);
}

intptr_t Word(UInt32 value)
{
    return static_cast<intptr_t>(value);
}

OSStatus Call(AudioUnit unit, SInt16 selector, std::initializer_list<intptr_t> args)
{
    ComponentParameters call = MakeComponentCall(selector, args);
    return CallComponentDispatch(unit, &call);
}

template <typename Proc> Proc FastEntry(AudioUnit unit, UInt32 selector)
{
    Proc proc = nullptr;
    UInt32 size = sizeof proc;
    const OSStatus result = AudioUnitGetProperty(unit, kAudioUnitProperty_FastDispatch,
                                                 kAudioUnitScope_Global, selector, &proc, &size);
    return result == noErr && size == sizeof proc ? proc : nullptr;
}

} // namespace

void FxCacheFastDispatch(ComponentInstanceRecord* instance)
{
    instance->fastGetParameter =
        FastEntry<AudioUnitGetParameterProc>(instance, kAudioUnitGetParameterSelect);
    instance->fastSetParameter =
        FastEntry<AudioUnitSetParameterProc>(instance, kAudioUnitSetParameterSelect);
    instance->fastRender = FastEntry<AudioUnitRenderProc>(instance, kAudioUnitRenderSelect);
}

extern "C" OSStatus AudioUnitInitialize(AudioUnit unit)
{
    return Call(unit, kAudioUnitInitializeSelect, {});
}

extern "C" OSStatus AudioUnitUninitialize(AudioUnit unit)
{
    return Call(unit, kAudioUnitUninitializeSelect, {});
}

extern "C" OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID inID,
                                             AudioUnitScope inScope, AudioUnitElement inElement,
                                             UInt32* outDataSize, Boolean* outWritable)
{
    return Call(unit, kAudioUnitGetPropertyInfoSelect,
                {Word(inID), Word(inScope), Word(inElement), Word(outDataSize), Word(outWritable)});
}

extern "C" OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID inID,
                                         AudioUnitScope inScope, AudioUnitElement inElement,
                                         void* outData, UInt32* ioDataSize)
{
    return Call(unit, kAudioUnitGetPropertySelect,
                {Word(inID), Word(inScope), Word(inElement), Word(outData), Word(ioDataSize)});
}

extern "C" OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID inID,
                                         AudioUnitScope inScope, AudioUnitElement inElement,
                                         const void* inData, UInt32 inDataSize)
{
    return Call(unit, kAudioUnitSetPropertySelect,
                {Word(inID), Word(inScope), Word(inElement), Word(inData), Word(inDataSize)});
}

extern "C" OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID inID,
                                          AudioUnitScope inScope, AudioUnitElement inElement,
                                          AudioUnitParameterValue* outValue)
{
    if (unit != nullptr && unit->fastGetParameter != nullptr)
        return unit->fastGetParameter(unit->storage, inID, inScope, inElement, outValue);
    return Call(unit, kAudioUnitGetParameterSelect,
                {Word(inID), Word(inScope), Word(inElement), Word(outValue)});
}

extern "C" OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID inID,
                                          AudioUnitScope inScope, AudioUnitElement inElement,
                                          AudioUnitParameterValue inValue,
                                          UInt32 inBufferOffsetInFrames)
{
    if (unit != nullptr && unit->fastSetParameter != nullptr)
        return unit->fastSetParameter(unit->storage, inID, inScope, inElement, inValue,
                                      inBufferOffsetInFrames);
    return Call(unit, kAudioUnitSetParameterSelect,
                {Word(inID), Word(inScope), Word(inElement), ComponentParameterFromFloat32(inValue),
                 Word(inBufferOffsetInFrames)});
}

extern "C" OSStatus AudioUnitScheduleParameters(AudioUnit unit,
                                                const AudioUnitParameterEvent* inEvents,
                                                UInt32 inNumEvents)
{
    return Call(unit, kAudioUnitScheduleParametersSelect, {Word(inEvents), Word(inNumEvents)});
}

extern "C" OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                                    const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                                    UInt32 inNumberFrames, AudioBufferList* ioData)
{
    if (unit != nullptr && unit->fastRender != nullptr)
        return unit->fastRender(unit->storage, ioActionFlags, inTimeStamp, inOutputBusNumber,
                                inNumberFrames, ioData);
    return Call(unit, kAudioUnitRenderSelect,
                {Word(ioActionFlags), Word(inTimeStamp), Word(inOutputBusNumber),
                 Word(inNumberFrames), Word(ioData)});
}

extern "C" OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope inScope,
                                   AudioUnitElement inElement)
{
    return Call(unit, kAudioUnitResetSelect, {Word(inScope), Word(inElement)});
}

extern "C" OSStatus AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID inID,
                                                 AudioUnitPropertyListenerProc inProc,
                                                 void* inRefCon)
{
    return Call(unit, kAudioUnitAddPropertyListenerSelect,
                {Word(inID), Word(reinterpret_cast<const void*>(inProc)), Word(inRefCon)});
}

extern "C" OSStatus AudioUnitRemovePropertyListener(AudioUnit unit, AudioUnitPropertyID inID,
                                                    AudioUnitPropertyListenerProc inProc)
{
    return Call(unit, kAudioUnitRemovePropertyListenerSelect,
                {Word(inID), Word(reinterpret_cast<const void*>(inProc))});
}

extern "C" OSStatus AudioUnitAddRenderNotify(AudioUnit unit, AURenderCallback inProc,
                                             void* inRefCon)
{
    return Call(unit, kAudioUnitAddRenderNotifySelect,
                {Word(reinterpret_cast<const void*>(inProc)), Word(inRefCon)});
}

extern "C" OSStatus AudioUnitRemoveRenderNotify(AudioUnit unit, AURenderCallback inProc,
                                                void* inRefCon)
{
    return Call(unit, kAudioUnitRemoveRenderNotifySelect,
                {Word(reinterpret_cast<const void*>(inProc)), Word(inRefCon)});
}

extern "C" OSStatus MusicDeviceMIDIEvent(MusicDeviceComponent unit, UInt32 inStatus, UInt32 inData1,
                                         UInt32 inData2, UInt32 inOffsetSampleFrame)
{
    return Call(unit, kMusicDeviceMIDIEventSelect,
                {Word(inStatus), Word(inData1), Word(inData2), Word(inOffsetSampleFrame)});
}

extern "C" OSStatus MusicDeviceSysEx(MusicDeviceComponent unit, const UInt8* inData,
                                     UInt32 inLength)
{
    return Call(unit, kMusicDeviceSysExSelect, {Word(inData), Word(inLength)});
}
