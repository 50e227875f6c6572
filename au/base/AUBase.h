// AUBase: one object per Audio Unit instance. It answers the Audio Unit
// selectors (initialise, properties, parameters, listeners, render
// notifications, rendering) and leaves the unit's own behaviour to the
// virtual operations a subclass overrides.
//
// Failures deep inside are thrown as an OSStatus; the component entry turns
// them into the call's result.
//
// The older revision of this layer (used by one bundle) is the same code with
// four scopes (no part scope) and without the context-name and icon-location
// properties; choose it with AUBaseRevision::Older at construction.
#pragma once

#include "AUInputElement.h"
#include "AURenderNotifications.h"
#include "AUScopeElement.h"
#include "CAStreamBasicDescription.h"
#include "ComponentBase.h"

#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <thread>
#include <vector>

enum class AUBaseRevision
{
    Current,
    Older,
};

class AUBase : public ComponentBase, public AUElementCreator
{
public:
    struct PropertyListener
    {
        AudioUnitPropertyID propertyID;
        AudioUnitPropertyListenerProc listenerProc;
        void* listenerRefCon;
    };
    using ParameterEventList = std::vector<AudioUnitParameterEvent>;

    AUBase(ComponentInstance instance, UInt32 numInputElements, UInt32 numOutputElements,
           UInt32 numGroupElements = 0, UInt32 numPartElements = 0,
           AUBaseRevision revision = AUBaseRevision::Current);
    ~AUBase() override;

    // Creates the elements of every scope but the global one.
    void PostConstructor() override { CreateElements(); }
    // Uninitialises an initialised unit.
    void PreDestructor() override { DoCleanup(); }

    // The component entry's dispatcher for the Audio Unit selectors.
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, AUBase* This);

    // ---- Virtual operations a subclass overrides -------------------------
    virtual OSStatus Initialize() { return noErr; }
    virtual void Cleanup() {}
    virtual OSStatus Reset(AudioUnitScope scope, AudioUnitElement element);
    virtual OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32& outDataSize,
                                     Boolean& outWritable);
    virtual OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, void* outData);
    virtual OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, const void* inData, UInt32 inDataSize);
    virtual OSStatus RemovePropertyValue(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element);
    virtual OSStatus AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                         void* refCon);
    virtual OSStatus RemovePropertyListener(AudioUnitPropertyID id,
                                            AudioUnitPropertyListenerProc proc);
    virtual OSStatus SetRenderNotification(AURenderCallback proc, void* refCon);
    virtual OSStatus RemoveRenderNotification(AURenderCallback proc, void* refCon);
    virtual OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                  AudioUnitElement element, AudioUnitParameterValue& outValue);
    virtual OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                  AudioUnitElement element, AudioUnitParameterValue value,
                                  UInt32 bufferOffsetInFrames);
    virtual OSStatus SetGroupParameter(AudioUnitParameterID id, AudioUnitElement element,
                                       AudioUnitParameterValue value, UInt32 bufferOffsetInFrames);
    virtual OSStatus GetGroupParameter(AudioUnitParameterID id, AudioUnitElement element,
                                       AudioUnitParameterValue& outValue);
    virtual OSStatus ScheduleParameter(const AudioUnitParameterEvent* events, UInt32 count);
    virtual OSStatus RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                               const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames);
    virtual OSStatus Render(AudioUnitRenderActionFlags& ioActionFlags,
                            const AudioTimeStamp& timeStamp, UInt32 frames);
    virtual bool BusCountWritable(AudioUnitScope /*scope*/) { return false; }
    virtual OSStatus SetBusCount(AudioUnitScope scope, UInt32 count);
    virtual OSStatus SetConnection(const AudioUnitConnection& connection);
    virtual OSStatus SetInputCallback(UInt32 propertyID, AudioUnitElement element,
                                      AURenderCallback proc, void* refCon);
    // outList may be null; outNumParameters receives the count.
    virtual OSStatus GetParameterList(AudioUnitScope scope, AudioUnitParameterID* outList,
                                      UInt32& outNumParameters);
    virtual OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                      AudioUnitParameterInfo& outInfo);
    // The caller owns the dictionary.
    virtual OSStatus SaveState(CFPropertyListRef* outData);
    virtual OSStatus RestoreState(CFPropertyListRef data);
    // outStrings null asks only whether strings exist.
    virtual OSStatus GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                              CFArrayRef* outStrings);
    // outData null asks only whether presets exist; the caller owns the array.
    virtual OSStatus GetPresets(CFArrayRef* outData) const;
    virtual OSStatus NewFactoryPresetSet(const AUPreset& preset);
    virtual UInt32 GetNumCustomUIComponents() { return 0; }
    virtual void GetUIComponentDescs(ComponentDescription* /*outDescs*/) {}
    virtual bool HasIcon() { return false; }
    virtual CFURLRef GetIconLocation() { return nullptr; }
    virtual Float64 GetLatency() { return 0.0; }
    virtual Float64 GetTailTime() { return 0.0; }
    virtual bool SupportsTail() { return false; }
    virtual bool StreamFormatWritable(AudioUnitScope scope, AudioUnitElement element) = 0;
    // The channel configurations offered; outInfo may be null.
    virtual UInt32 SupportedNumChannels(const AUChannelInfo** /*outInfo*/) { return 0; }
    virtual bool ValidFormat(AudioUnitScope scope, AudioUnitElement element,
                             const CAStreamBasicDescription& format);
    virtual const CAStreamBasicDescription& GetStreamFormat(AudioUnitScope scope,
                                                            AudioUnitElement element);
    virtual OSStatus ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                        const CAStreamBasicDescription& previous,
                                        const CAStreamBasicDescription& format);
    AUElement* CreateElement(AudioUnitScope scope, AudioUnitElement element) override;
    virtual void ReallocateBuffers();
    virtual void SetMaxFramesPerSlice(UInt32 frames);
    virtual OSStatus CanSetMaxFrames() const;
    // outLayout null asks for the size; 0 means no layout.
    virtual UInt32 GetAudioChannelLayout(AudioUnitScope scope, AudioUnitElement element,
                                         AudioChannelLayout* outLayout, Boolean& outWritable);
    virtual OSStatus SetAudioChannelLayout(AudioUnitScope scope, AudioUnitElement element,
                                           const AudioChannelLayout* layout);
    virtual OSStatus RemoveAudioChannelLayout(AudioUnitScope scope, AudioUnitElement element);
    // Cuts frames into slices at every scheduled change and calls
    // ProcessScheduledSlice for each.
    virtual OSStatus ProcessForScheduledParams(ParameterEventList& events, UInt32 frames,
                                               void* userData);
    virtual OSStatus ProcessScheduledSlice(void* /*userData*/, UInt32 /*sliceStart*/,
                                           UInt32 /*sliceFrames*/, UInt32 /*totalFrames*/)
    {
        return noErr;
    }

    // ---- The selectors' work --------------------------------------------
    OSStatus DoInitialize();
    void DoCleanup();
    OSStatus DoReset(AudioUnitScope scope, AudioUnitElement element);
    OSStatus DoRender(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                      UInt32 bus, UInt32 frames, AudioBufferList& ioData);
    OSStatus DispatchGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, UInt32& outDataSize,
                                     Boolean& outWritable);
    OSStatus DispatchGetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, void* outData);
    OSStatus DispatchSetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                 AudioUnitElement element, const void* inData, UInt32 inDataSize);
    OSStatus DispatchRemovePropertyValue(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element);

    // Calls the listeners of id, in registration order, on this thread.
    void PropertyChanged(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element);

    // ---- Elements, scopes and formats ------------------------------------
    void CreateElements();
    void SetNumberOfElements(AudioUnitScope scope, UInt32 count);
    UInt32 NumberOfScopes() const { return mRevision == AUBaseRevision::Older ? 4 : 5; }
    // Throws kAudioUnitErr_InvalidScope beyond the unit's scopes.
    AUScope& GetScope(AudioUnitScope scope);
    AUElement* GetElement(AudioUnitScope scope, AudioUnitElement element)
    {
        return GetScope(scope).GetElement(element);
    }
    AUElement* SafeGetElement(AudioUnitScope scope, AudioUnitElement element)
    {
        return GetScope(scope).SafeGetElement(element);
    }
    AUIOElement* GetIOElement(AudioUnitScope scope, AudioUnitElement element);
    AUElement* Globals() { return mScopes[kAudioUnitScope_Global].GetElement(0); }
    AUScope& Inputs() { return mScopes[kAudioUnitScope_Input]; }
    AUScope& Outputs() { return mScopes[kAudioUnitScope_Output]; }
    // Throw kAudioUnitErr_InvalidElement when absent.
    AUInputElement* GetInput(AudioUnitElement element);
    AUOutputElement* GetOutput(AudioUnitElement element);
    bool HasInput(AudioUnitElement element);

    bool IsStreamFormatWritable(AudioUnitScope scope, AudioUnitElement element);
    bool FormatIsCanonical(const CAStreamBasicDescription& format) const;
    void MakeCanonicalFormat(CAStreamBasicDescription& outFormat, UInt32 channels) const;

    // ---- State ------------------------------------------------------------
    bool IsInitialized() const { return mInitialized; }
    bool HasBeenInitialized() const { return mInitialized; }
    UInt8 AudioUnitAPIVersion() const { return mAudioUnitAPIVersion; }
    AUBaseRevision Revision() const { return mRevision; }
    UInt32 GetMaxFramesPerSlice() const { return mMaxFramesPerSlice; }
    Float64 GetLastRenderedSampleTime() const { return mLastRenderedSampleTime.load(); }
    OSStatus GetLastRenderError() const { return mLastRenderError.load(); }
    const HostCallbackInfo& GetHostCallbackInfo() const { return mHostCallbackInfo; }
    CFStringRef GetContextName() const { return mContextName; }
    const AUPreset& GetCurrentPreset() const { return mCurrentPreset; }
    // A preset with a number of 0 or more and a name becomes current.
    bool SetAFactoryPresetAsCurrent(const AUPreset& preset);
    void SetWantsRenderThreadID(bool wants) { mWantsRenderThreadID = wants; }
    std::thread::id GetRenderThreadID() const { return mRenderThreadID; }
    ParameterEventList& GetParamEventList() { return mParamList; }
    bool HasScheduledParameterEvents() const { return !mParamList.empty(); }
    UInt32 RenderNotificationCount() const { return mRenderCallbacks.ActiveCount(); }

    // The processor's vector unit, probed by the first unit constructed.
    static SInt32 sVectorUnitType;

protected:
    // Sets the last render error unless one is stored, telling listeners.
    void SetLastRenderError(OSStatus error);
    ParameterEventList mParamList;

private:
    OSStatus ValidatePropertyAddress(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element);
    OSStatus SetStreamFormatProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element,
                                     const CAStreamBasicDescription& format);
    OSStatus SetPresetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                               const AUPreset& preset);
    OSStatus DoRenderBody(AudioUnitRenderActionFlags& ioActionFlags,
                          const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames,
                          AudioBufferList& ioData);
    OSStatus CheckRestoredState(CFDictionaryRef dictionary, const ComponentDescription& desc);

    bool mElementsCreated = false;
    bool mInitialized = false;
    UInt8 mAudioUnitAPIVersion = 2;
    AUBaseRevision mRevision;
    UInt32 mInitNumInputEls;
    UInt32 mInitNumOutputEls;
    UInt32 mInitNumGroupEls;
    UInt32 mInitNumPartEls;
    AUScope mScopes[5];
    AURenderNotifications mRenderCallbacks;
    std::thread::id mRenderThreadID;
    bool mWantsRenderThreadID = false;
    std::atomic<Float64> mLastRenderedSampleTime{-1.0}; // render thread; reset from control
    UInt32 mMaxFramesPerSlice = 0;
    std::atomic<OSStatus> mLastRenderError{noErr};
    AUPreset mCurrentPreset{};
    std::vector<PropertyListener> mPropertyListeners;
    HostCallbackInfo mHostCallbackInfo{};
    CFStringRef mContextName = nullptr;
    bool mBuffersAllocated = false;
};

// Fast-dispatch entries handed out through kAudioUnitProperty_FastDispatch.
OSStatus AudioUnitBaseGetParameter(void* storage, AudioUnitParameterID id, AudioUnitScope scope,
                                   AudioUnitElement element, AudioUnitParameterValue* outValue);
OSStatus AudioUnitBaseSetParameter(void* storage, AudioUnitParameterID id, AudioUnitScope scope,
                                   AudioUnitElement element, AudioUnitParameterValue value,
                                   UInt32 bufferOffsetInFrames);
OSStatus AudioUnitBaseRender(void* storage, AudioUnitRenderActionFlags* ioActionFlags,
                             const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames,
                             AudioBufferList* ioData);

// The well-known keys of the saved state, created once per process.
extern CFStringRef kUntitledString;
extern CFStringRef kVersionString;
extern CFStringRef kTypeString;
extern CFStringRef kSubtypeString;
extern CFStringRef kManufacturerString;
extern CFStringRef kDataString;
extern CFStringRef kNameString;
extern CFStringRef kRenderQualityString;
extern CFStringRef kCPULoadString;
extern CFStringRef kVSTDataString;
extern CFStringRef kElementNameString;
extern CFStringRef kPartString;
