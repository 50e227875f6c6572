// AudioEffectX as an Audio Unit: the effect programming interface of the
// VST build, implemented a second time on the Audio Unit base, so that an
// effect written against it becomes an Audio Unit effect component without a
// change. Parameters become Audio Unit parameters (indexed ones with their
// steps), programs become factory presets, processReplacing renders the
// unit's output and MIDI arrives through processEvents.
//
// Two variants are compiled from these sources. The default one takes MIDI
// (the unit is also a MIDI base); FX_AU_ADAPTER_LEGACY=1 builds the variant
// of the chorus bundle: no MIDI, its own saved-state keys, a shorter host
// list and no latency property. Each variant is its own library target that
// sets the definition for everything compiled against it.
#pragma once

// An effect is constructed with its host connection; in this build that is
// the component instance, so the name the effects use for it means that here.
#define audioMasterCallback FxVstHostCallbackUnused
#include "aeffectx.h"
#undef audioMasterCallback

#include "AUBase.h"

#include <AudioToolbox/AudioUnitUtilities.h>
#include <AudioUnit/AudioUnit.h>

#ifndef FX_AU_ADAPTER_LEGACY
#define FX_AU_ADAPTER_LEGACY 0
#endif
#define FX_AU_ADAPTER_MIDI (!FX_AU_ADAPTER_LEGACY)

#if FX_AU_ADAPTER_MIDI
#include "AUMIDIBase.h"
#endif

// Lets effect sources that are shared with the VST build tell the two apart
// where the Audio Unit build has more to do.
#define FX_AU_ADAPTER 1

using audioMasterCallback = ComponentInstance;

// What the adapter needs of the view that edits it. The view's editor class
// implements this and links itself with AudioEffectX::setEditor while it is
// open.
class AudioEffectEditorLink
{
public:
    // The effect is being destroyed: the editor must not call it again.
    virtual void effectGone() = 0;
    // Resizes the editor; the answer is the effect's sizeWindow answer.
    virtual bool sizeWindow(VstInt32 width, VstInt32 height) = 0;
    // The listener through which the view sets parameters (may be null).
    virtual AUParameterListenerRef parameterListener() = 0;
    // Tells the host's view event listener, when one is registered, that a
    // gesture begins (event 0) or ends (event 1).
    virtual void notifyHostGesture(const AudioUnitParameter& parameter, UInt32 event) = 0;
    // A parameter changed inside the effect.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    // The editor should redraw at its next idle.
    virtual void postUpdate() {}

protected:
    ~AudioEffectEditorLink() = default;
};

struct VstFileSelect;
struct AudioEffectFileSelector;

// The private property through which a view in the same process reaches the
// effect object: its value is the object's address.
enum
{
    kAudioUnitProperty_EffectLink = 64000,
};

class AudioEffectX : public AUBase
#if FX_AU_ADAPTER_MIDI
    ,
                     public AUMIDIBase
#endif
{
public:
    static constexpr int kMaxPrograms = 128;
    static constexpr VstInt32 kMaxMidiEvents = 1024;
    static constexpr VstInt32 kDefaultBlockSize = 1024;

    AudioEffectX(audioMasterCallback instance, VstInt32 numPrograms, VstInt32 numParams);
    ~AudioEffectX() override;

    // The component entry's dispatcher: the MIDI selectors go to the MIDI base
    // (in the variant that has one), everything else to AUBase.
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, AudioEffectX* This);

    // ---- Audio Unit side ----------------------------------------------------
    SInt32 Version() override { return 0x00010003; }
    OSStatus Initialize() override;
    void Cleanup() override;
    OSStatus Reset(AudioUnitScope scope, AudioUnitElement element) override;
    bool StreamFormatWritable(AudioUnitScope scope, AudioUnitElement element) override;
    OSStatus ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                const CAStreamBasicDescription& previous,
                                const CAStreamBasicDescription& format) override;
    UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override;
    Float64 GetLatency() override { return latency; }
    Float64 GetTailTime() override;
    bool SupportsTail() override { return GetTailTime() > 0.0; }
    bool BusCountWritable(AudioUnitScope) override { return false; }
    OSStatus SetBusCount(AudioUnitScope scope, UInt32 count) override;
    UInt32 GetNumCustomUIComponents() override { return 1; }
    void GetUIComponentDescs(ComponentDescription* outDescs) override;
    bool HasIcon() override { return false; }
    CFURLRef GetIconLocation() override { return nullptr; }

    OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue& outValue) override;
    OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue value, UInt32 bufferOffsetInFrames) override;
    OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                              AudioUnitParameterInfo& outInfo) override;

    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outDataSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* inData, UInt32 inDataSize) override;

    OSStatus SaveState(CFPropertyListRef* outData) override;
    OSStatus RestoreState(CFPropertyListRef data) override;
    OSStatus GetPresets(CFArrayRef* outData) const override;
    OSStatus NewFactoryPresetSet(const AUPreset& preset) override;

    OSStatus Render(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                    UInt32 frames) override;
    OSStatus ProcessScheduledSlice(void* context, UInt32 sliceStart, UInt32 sliceFrames,
                                   UInt32 totalFrames) override;

    // ---- Added by the adapter ----------------------------------------------
    // Hands one block of the two lists to the effect.
    virtual OSStatus ProcessBufferLists(AudioUnitRenderActionFlags& ioActionFlags,
                                        const AudioBufferList& inBuffer, AudioBufferList& outBuffer,
                                        UInt32 frames);
    virtual bool SupportsRampAndTail() { return GetTailTime() > 0.0; }
#if FX_AU_ADAPTER_MIDI
    // Queues one channel message for the next processed block.
    OSStatus HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                             UInt32 startFrame) override;
#endif

    // ---- The effect interface ----------------------------------------------
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void setProgram(VstInt32 program)
    {
        curProgram = program;
    }
    virtual VstInt32 getProgram()
    {
        return curProgram;
    }
    virtual void getProgramName(char* /*name*/) {}
    virtual void setProgramName(char* /*name*/) {}
    // Switches to program index for the name and back; false beyond the
    // programs.
    virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text);
    virtual bool beginSetProgram()
    {
        return false;
    }
    virtual bool endSetProgram()
    {
        return false;
    }
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/)
    {
        return 0.0f;
    }
    virtual float getDefaultValue(VstInt32 /*index*/)
    {
        return 0.5f;
    }
    virtual void getParameterLabel(VstInt32 /*index*/, char* /*label*/) {}
    virtual void getParameterDisplay(VstInt32 /*index*/, char* /*text*/) {}
    virtual void getParameterName(VstInt32 /*index*/, char* /*text*/) {}
    // Chunk size in bytes; 0 (or -1) means the effect has no chunk.
    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/ = false)
    {
        return 0;
    }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/ = false)
    {
        return 0;
    }
    virtual void suspend() {}
    virtual void resume() {}
    virtual VstInt32 processEvents(VstEvents* /*events*/)
    {
        return 1;
    }
    // Refreshes the published preset names and tells the host to re-read
    // them; false while uninitialised.
    virtual bool updateDisplay();
    virtual VstInt32 openWindow(void* /*window*/)
    {
        return 1;
    }
    virtual VstInt32 closeWindow(void* /*window*/)
    {
        return 1;
    }
    virtual void masterIdle() {}
    virtual void setSampleRate(float newSampleRate)
    {
        sampleRate = newSampleRate;
    }
    virtual VstInt32 fxIdle()
    {
        return 1;
    }
    virtual void setBlockSize(VstInt32 newBlockSize)
    {
        blockSize = newBlockSize;
    }
    // Tells the host that the latency changed; always true.
    virtual bool ioChanged();
    virtual void setInitialDelay(VstInt32 delay);
    // Frames; the default of one frame reports a tail of one frame.
    virtual VstInt32 getGetTailSize()
    {
        return 1;
    }
    virtual VstInt32 getVendorVersion()
    {
        return 0x00010003;
    }
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    virtual VstIntPtr vendorSpecific(VstInt32 /*index*/, VstIntPtr /*value*/, void* /*ptr*/,
                                     float /*opt*/)
    {
        return 0;
    }
    virtual void dB2string(float value, char* text);
    virtual void Hz2string(float samples, char* text);
    virtual void ms2string(float samples, char* text);
    virtual void float2string(float value, char* text);
    virtual void long2string(VstInt32 value, char* text);
    // The number of steps of an indexed parameter; 0 for a continuous one.
    virtual VstInt32 getIndexNumber(VstInt32 /*index*/)
    {
        return 0;
    }

    // Operations the effects define for the VST build too; the adapter never
    // calls them itself.
    virtual void process(float** /*inputs*/, float** /*outputs*/, VstInt32 /*sampleFrames*/) {}
    virtual VstInt32 canDo(char* /*text*/)
    {
        return 0;
    }
    virtual bool getEffectName(char* /*name*/)
    {
        return false;
    }
    virtual bool getVendorString(char* /*text*/)
    {
        return false;
    }
    virtual bool getProductString(char* /*text*/)
    {
        return false;
    }
    virtual VstInt32 getPlugCategory()
    {
        return kPlugCategEffect;
    }
    virtual bool setBypass(bool /*onOff*/)
    {
        return false;
    }
    virtual void setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate)
    {
        setBlockSize(newBlockSize);
        setSampleRate(newSampleRate);
    }

    // ---- Services for the effect -------------------------------------------
    void setNumInputs(VstInt32 inputs)
    {
        numInputs = inputs;
    }
    void setNumOutputs(VstInt32 outputs)
    {
        numOutputs = outputs;
    }
    void canMono(bool state = true)
    {
        monoCapable = state;
    }
    // Every Audio Unit render replaces; nothing to declare.
    void canProcessReplacing(bool = true) {}
    // The rate of output element 0's stream format (stored, then answered);
    // throws kAudioUnitErr_InvalidElement when the unit has no output.
    float getSampleRate();
    VstInt32 getBlockSize() const
    {
        return blockSize;
    }
    VstInt32 getNumInputs() const
    {
        return numInputs;
    }
    VstInt32 getNumOutputs() const
    {
        return numOutputs;
    }
    // setParameter, then every parameter listener hears of it through the
    // view's listener; only setParameter without an open view.
    void setParameterAutomated(VstInt32 index, float value);
    VstInt32 canHostDo(char* text);
    bool sizeWindow(VstInt32 width, VstInt32 height);
    VstTimeInfo* getTimeInfo(VstInt32 filter);
    // Creates the unit's file selector for the request, runs it and keeps it
    // until closeFileSelector; true.
    bool openFileSelector(VstFileSelect* select);
    // Destroys the file selector left by openFileSelector; false.
    bool closeFileSelector(VstFileSelect* select);

    AudioEffectEditorLink* getEditor() const
    {
        return editor;
    }
    void setEditor(AudioEffectEditorLink* link)
    {
        editor = link;
    }

    bool isBypassed() const
    {
        return bypass;
    }
    bool isInPlace() const
    {
        return inPlace;
    }
    VstInt32 getPendingMidiEvents() const
    {
        return pendingMidiEvents;
    }

    // Host flags, from the host's bundle identifier and version.
    bool isLogic6 = false;
    bool isAppleHost = false;
    bool isAULab = false;
    bool isSparkXL = false;
    bool isDigitalPerformer = false;
    bool isDigitalPerformer41 = false;

    // The host application's bundle identifier and version as found by the
    // last detection (empty when unavailable).
    static char bundleSTR[256];
    static char versionSTR[256];

protected:
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AudioEffectEditorLink* editor = nullptr;
    VstInt32 blockSize = kDefaultBlockSize;
    float sampleRate = 44100.0f;

private:
    struct SliceContext
    {
        AudioUnitRenderActionFlags* flags;
        AudioBufferList* input;
        AudioBufferList* output;
        SInt64 movedFrames;
    };

    void detectHost();
    // Reads the host bundle's identifier and version into bundleSTR and
    // versionSTR; the pointers are null where a value is unavailable.
    static void getHost(const char** id, const char** version);
    void refreshPresetNames();
    // Every program's preset name back to "Default".
    void resetPresetNames();
    AudioUnitParameter describeParameter(VstInt32 index) const;
    bool gesture(VstInt32 index, bool begin);
    OSStatus parameterStringFromValue(AudioUnitParameterStringFromValue& request);
    void applyAdapterState(CFDictionaryRef dictionary);
    void addAdapterState(CFMutableDictionaryRef dictionary);
    Float64 outputSampleRate();

    AUPreset presets[kMaxPrograms];
    AUChannelInfo CI[3] = {};
    bool bypass = false;
    bool inPlace = false;
    bool monoCapable = false;
    VstInt32 numInputs = 2;
    VstInt32 numOutputs = 2;
    VstInt32 publishedPresets;
    Float64 latency = 0.0;
    Float64 lastRenderTime = -1.0;
    CFStringRef* parameterNames = nullptr;
    AudioUnitEvent gestureEvent{};
    AudioEffectFileSelector* fileSelector = nullptr;
#if FX_AU_ADAPTER_MIDI
    VstEvents* eventList = nullptr;
    VstMidiEvent midiEvents[kMaxMidiEvents];
    VstInt32 pendingMidiEvents = 0;
#else
    static constexpr VstInt32 pendingMidiEvents = 0;
#endif
};
