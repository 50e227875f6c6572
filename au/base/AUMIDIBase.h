// MIDI for Audio Units: decodes the MusicDevice selectors, routes channel
// messages to one hook per message kind, and answers the MIDI properties the
// unit does not answer itself. A unit that takes MIDI derives from AUBase
// and this class and sends the two MIDI selectors here.
#pragma once

#include "AUBase.h"

class AUMIDIBase
{
public:
    explicit AUMIDIBase(AUBase* base) : mAUBaseInstance(base) {}
    virtual ~AUMIDIBase() = default;
    AUMIDIBase(const AUMIDIBase&) = delete;
    AUMIDIBase& operator=(const AUMIDIBase&) = delete;

    // Selectors 0x0101 (MIDI event) and 0x0102 (system exclusive).
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, AUMIDIBase* This);

    virtual OSStatus DelegateGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                             AudioUnitElement element, UInt32& outDataSize,
                                             Boolean& outWritable);
    virtual OSStatus DelegateGetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element, void* outData);
    virtual OSStatus DelegateSetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element, const void* inData,
                                         UInt32 inDataSize);
    // status is the message kind (upper nibble), channel the lower nibble.
    virtual OSStatus HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                     UInt32 startFrame);
    virtual OSStatus HandleNonNoteEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                        UInt32 startFrame);
    // outNameDocument null asks only whether names exist.
    virtual OSStatus GetXMLNames(CFURLRef* /*outNameDocument*/)
    {
        return kAudioUnitErr_InvalidProperty;
    }
    virtual void HandleNoteOn(UInt8 /*channel*/, UInt8 /*note*/, UInt8 /*velocity*/,
                              UInt32 /*startFrame*/)
    {
    }
    virtual void HandleNoteOff(UInt8 /*channel*/, UInt8 /*note*/, UInt8 /*velocity*/,
                               UInt32 /*startFrame*/)
    {
    }
    virtual void HandleControlChange(UInt8 /*channel*/, UInt8 /*controller*/, UInt8 /*value*/,
                                     UInt32 /*startFrame*/)
    {
    }
    virtual void HandlePitchWheel(UInt8 /*channel*/, UInt8 /*pitchLow*/, UInt8 /*pitchHigh*/,
                                  UInt32 /*startFrame*/)
    {
    }
    virtual void HandleChannelPressure(UInt8 /*channel*/, UInt8 /*value*/, UInt32 /*startFrame*/) {}
    virtual void HandleProgramChange(UInt8 /*channel*/, UInt8 /*program*/) {}
    virtual void HandlePolyPressure(UInt8 /*channel*/, UInt8 /*note*/, UInt8 /*value*/,
                                    UInt32 /*startFrame*/)
    {
    }
    virtual void HandleResetAllControllers(UInt8 /*channel*/) {}
    virtual void HandleAllNotesOff(UInt8 /*channel*/) {}
    virtual void HandleAllSoundOff(UInt8 /*channel*/) {}
    virtual void HandleSysEx(const UInt8* /*data*/, UInt32 /*length*/) {}

    OSStatus SysEx(const UInt8* data, UInt32 length);

protected:
    AUBase* GetAUBase() const { return mAUBaseInstance; }

private:
    AUBase* mAUBaseInstance;
};
