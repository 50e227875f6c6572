#include "AUMIDIBase.h"

namespace
{

enum
{
    kMidiNoteOff = 0x80,
    kMidiNoteOn = 0x90,
    kMidiPolyPressure = 0xA0,
    kMidiControlChange = 0xB0,
    kMidiProgramChange = 0xC0,
    kMidiChannelPressure = 0xD0,
    kMidiPitchWheel = 0xE0,
    kMidiAllSoundOff = 120,
    kMidiResetAllControllers = 121,
    kMidiAllNotesOff = 123,
};

} // namespace

OSStatus AUMIDIBase::ComponentEntryDispatch(ComponentParameters* params, AUMIDIBase* This)
{
    if (This == nullptr)
        return paramErr;
    switch (params->what)
    {
    case kMusicDeviceMIDIEventSelect:
    {
        const auto status = ComponentParameter<UInt32>(params, 0);
        return This->HandleMidiEvent(static_cast<UInt8>(status & 0xF0),
                                     static_cast<UInt8>(status & 0x0F),
                                     static_cast<UInt8>(ComponentParameter<UInt32>(params, 1)),
                                     static_cast<UInt8>(ComponentParameter<UInt32>(params, 2)),
                                     ComponentParameter<UInt32>(params, 3));
    }
    case kMusicDeviceSysExSelect:
        return This->SysEx(ComponentParameter<const UInt8*>(params, 0),
                           ComponentParameter<UInt32>(params, 1));
    default:
        return badComponentSelector;
    }
}

OSStatus AUMIDIBase::SysEx(const UInt8* data, UInt32 length)
{
    if (!mAUBaseInstance->IsInitialized())
        return kAudioUnitErr_Uninitialized;
    if (data == nullptr && length != 0)
        return paramErr;
    HandleSysEx(data, length);
    return noErr;
}

OSStatus AUMIDIBase::HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                     UInt32 startFrame)
{
    if (!mAUBaseInstance->IsInitialized())
        return kAudioUnitErr_Uninitialized;
    switch (status)
    {
    case kMidiNoteOff:
        HandleNoteOff(channel, data1, data2, startFrame);
        break;
    case kMidiNoteOn:
        if (data2 == 0)
            HandleNoteOff(channel, data1, 0, startFrame);
        else
            HandleNoteOn(channel, data1, data2, startFrame);
        break;
    default:
        HandleNonNoteEvent(status, channel, data1, data2, startFrame);
        break;
    }
    return noErr;
}

OSStatus AUMIDIBase::HandleNonNoteEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                        UInt32 startFrame)
{
    switch (status)
    {
    case kMidiPolyPressure:
        HandlePolyPressure(channel, data1, data2, startFrame);
        break;
    case kMidiControlChange:
        if (data1 == kMidiAllSoundOff)
            HandleAllSoundOff(channel);
        else if (data1 == kMidiResetAllControllers)
            HandleResetAllControllers(channel);
        else if (data1 == kMidiAllNotesOff)
            HandleAllNotesOff(channel);
        else
            HandleControlChange(channel, data1, data2, startFrame);
        break;
    case kMidiProgramChange:
        HandleProgramChange(channel, data1);
        break;
    case kMidiChannelPressure:
        HandleChannelPressure(channel, data1, startFrame);
        break;
    case kMidiPitchWheel:
        HandlePitchWheel(channel, data1, data2, startFrame);
        break;
    default:
        break;
    }
    return noErr;
}

OSStatus AUMIDIBase::DelegateGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                             AudioUnitElement element, UInt32& outDataSize,
                                             Boolean& outWritable)
{
    if (scope == kAudioUnitScope_Global && element == 0 &&
        id == kMusicDeviceProperty_MIDIXMLNames && GetXMLNames(nullptr) == noErr)
    {
        outDataSize = sizeof(CFURLRef);
        outWritable = false;
        return noErr;
    }
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidScope;
    if (element != 0)
        return kAudioUnitErr_InvalidElement;
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUMIDIBase::DelegateGetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element, void* outData)
{
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidScope;
    if (element != 0)
        return kAudioUnitErr_InvalidElement;
    if (id == kMusicDeviceProperty_MIDIXMLNames)
        return GetXMLNames(static_cast<CFURLRef*>(outData));
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUMIDIBase::DelegateSetProperty(AudioUnitPropertyID, AudioUnitScope scope,
                                         AudioUnitElement element, const void*, UInt32)
{
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidScope;
    if (element != 0)
        return kAudioUnitErr_InvalidElement;
    return kAudioUnitErr_InvalidProperty;
}
