// Elements and scopes: an Audio Unit's numbered elements grouped in scopes,
// each element holding parameter values, and I/O elements also a stream
// format and a buffer.
#pragma once

#include "AUBuffer.h"
#include "CAStreamBasicDescription.h"

#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>

#include <utility>
#include <vector>

class AUBase;
class AUElement;
class AUIOElement;

// One parameter's value, or the ramp it follows within the current slice.
struct ParameterMapEvent
{
    AUParameterEventType eventType = kParameterEvent_Immediate;
    SInt32 bufferOffset = 0;               // ramp start relative to the slice start
    UInt32 durationInFrames = 0;           // ramp length; the slice length for immediate values
    AudioUnitParameterValue value1 = 0.0f; // current value, or ramp start value
    AudioUnitParameterValue value2 = 0.0f; // ramp end value
    UInt32 sliceDurationFrames = 0;

    void SetValue(AudioUnitParameterValue value)
    {
        eventType = kParameterEvent_Immediate;
        value1 = value2 = value;
    }
    void SetScheduledEvent(const AudioUnitParameterEvent& event, UInt32 sliceOffsetInBuffer,
                           UInt32 sliceFrames);
    void GetRampSliceStartEnd(AudioUnitParameterValue& start, AudioUnitParameterValue& end,
                              AudioUnitParameterValue& delta) const;
};

class AUElementCreator
{
public:
    virtual ~AUElementCreator() = default;
    virtual AUElement* CreateElement(AudioUnitScope scope, AudioUnitElement element) = 0;
};

class AUElement
{
public:
    explicit AUElement(AUBase* audioUnit) : mAudioUnit(audioUnit) {}
    virtual ~AUElement();
    AUElement(const AUElement&) = delete;
    AUElement& operator=(const AUElement&) = delete;

    // Switches to an array of numberOfParameters values for IDs 0..n-1; IDs
    // outside it are refused from then on.
    virtual void UseIndexedParameters(UInt32 numberOfParameters);
    virtual AUIOElement* AsIOElement() { return nullptr; }

    AUBase* GetAudioUnit() const { return mAudioUnit; }

    UInt32 GetNumberOfParameters() const;
    // Ascending IDs (keyed), 0..n-1 (indexed).
    void GetParameterList(AudioUnitParameterID* outList) const;
    bool HasParameterID(AudioUnitParameterID id) const;
    // Whether SetParameter would accept the ID.
    bool AcceptsParameterID(AudioUnitParameterID id) const;
    // Throw kAudioUnitErr_InvalidParameter for an absent (get) or refused (set) ID.
    AudioUnitParameterValue GetParameter(AudioUnitParameterID id) const;
    void SetParameter(AudioUnitParameterID id, AudioUnitParameterValue value);
    void GetRampSliceStartEnd(AudioUnitParameterID id, AudioUnitParameterValue& start,
                              AudioUnitParameterValue& end, AudioUnitParameterValue& delta) const;
    void SetScheduledEvent(AudioUnitParameterID id, const AudioUnitParameterEvent& event,
                           UInt32 sliceOffsetInBuffer, UInt32 sliceFrames);

    // Saved state: the count and the (ID, value) pairs, big-endian.
    void SaveState(CFMutableDataRef data) const;
    // Reads a count and pairs from at most size bytes, keeping only whole
    // pairs; answers the bytes consumed. Throws as SetParameter does.
    size_t RestoreState(const UInt8* bytes, size_t size);

    CFStringRef GetName() const { return mElementName; }
    bool HasName() const { return mElementName != nullptr; }
    // Releases the old name and retains the new one (null clears it).
    void SetName(CFStringRef name);

private:
    ParameterMapEvent* Find(AudioUnitParameterID id);
    const ParameterMapEvent* Find(AudioUnitParameterID id) const;
    ParameterMapEvent& FindOrCreate(AudioUnitParameterID id);

    AUBase* mAudioUnit;
    bool mUseIndexedParameters = false;
    std::vector<std::pair<AudioUnitParameterID, ParameterMapEvent>> mParameters; // sorted by ID
    std::vector<ParameterMapEvent> mIndexedParameters;
    CFStringRef mElementName = nullptr;
};

class AUIOElement : public AUElement
{
public:
    explicit AUIOElement(AUBase* audioUnit);

    AUIOElement* AsIOElement() override { return this; }

    virtual OSStatus SetStreamFormat(const CAStreamBasicDescription& format);
    virtual bool NeedsBufferSpace() const = 0;
    // Channel layouts are not supported by plain I/O elements.
    virtual UInt32 GetChannelLayoutTags(AudioChannelLayoutTag* outTags);
    virtual UInt32 GetAudioChannelLayout(AudioChannelLayout* outLayout, Boolean& outWritable);
    virtual OSStatus SetAudioChannelLayout(const AudioChannelLayout& layout);
    virtual OSStatus RemoveAudioChannelLayout();

    const CAStreamBasicDescription& GetStreamFormat() const { return mStreamFormat; }
    UInt32 NumberChannels() const { return mStreamFormat.NumberChannels(); }

    // Only while the unit is initialised; 0 frames means the unit's maximum
    // frames per slice.
    void AllocateBuffer(UInt32 frames = 0);
    void DeallocateBuffer() { mIOBuffer.Deallocate(); }
    AudioBufferList& PrepareBuffer(UInt32 frames)
    {
        return mIOBuffer.PrepareBuffer(mStreamFormat, frames);
    }
    AudioBufferList& PrepareNullBuffer(UInt32 frames)
    {
        return mIOBuffer.PrepareNullBuffer(mStreamFormat, frames);
    }
    AudioBufferList& SetBufferList(const AudioBufferList& list)
    {
        return mIOBuffer.SetBufferList(list);
    }
    bool UseExternalBuffer(const AudioUnitExternalBuffer& buffer)
    {
        return mIOBuffer.UseExternalBuffer(mStreamFormat, buffer);
    }
    AudioBufferList& GetBufferList() const { return mIOBuffer.GetBufferList(); }
    // The samples of one channel stream of the prepared list.
    AudioUnitParameterValue* GetChannelData(UInt32 stream) const;
    AUBufferList& IOBuffer() { return mIOBuffer; }
    const AUBufferList& IOBuffer() const { return mIOBuffer; }

protected:
    CAStreamBasicDescription mStreamFormat;
    AUBufferList mIOBuffer;
};

class AUScope
{
public:
    AUScope() = default;
    ~AUScope();
    AUScope(const AUScope&) = delete;
    AUScope& operator=(const AUScope&) = delete;

    void Initialize(AUElementCreator* creator, AudioUnitScope scope, UInt32 numElements);
    AudioUnitScope GetScope() const { return mScope; }
    UInt32 GetNumberOfElements() const { return static_cast<UInt32>(mElements.size()); }
    // Null when absent.
    AUElement* GetElement(UInt32 index) const
    {
        return index < mElements.size() ? mElements[index] : nullptr;
    }
    // Throws kAudioUnitErr_InvalidElement when absent (or, for the I/O
    // variant, not an I/O element).
    AUElement* SafeGetElement(UInt32 index) const;
    AUIOElement* GetIOElement(UInt32 index) const;
    // Shrinking destroys elements from the end; growing creates them in order.
    void SetNumberOfElements(UInt32 count);

    bool HasElementWithName() const;
    // Stores "element number" -> name for every named element under the
    // decimal scope number.
    void AddElementNamesToDict(CFMutableDictionaryRef outer) const;
    // Names elements from a dictionary checked by CheckElementNames, growing
    // the scope when a number is beyond it; answers whether the scope grew.
    bool RestoreElementNames(CFDictionaryRef names);
    // A dictionary whose keys are decimal element numbers below limit (at
    // most kMaxRestoredElements) and whose values are strings.
    static bool CheckElementNames(CFTypeRef names, UInt32 limit);
    enum
    {
        kMaxRestoredElements = 1024
    };

private:
    AUElementCreator* mCreator = nullptr;
    AudioUnitScope mScope = 0;
    std::vector<AUElement*> mElements;
};
