#include "AUScopeElement.h"

#include "AUBase.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

void AppendBigEndian32(CFMutableDataRef data, UInt32 value)
{
    const UInt8 bytes[4] = {static_cast<UInt8>(value >> 24), static_cast<UInt8>(value >> 16),
                            static_cast<UInt8>(value >> 8), static_cast<UInt8>(value)};
    CFDataAppendBytes(data, bytes, 4);
}

UInt32 ReadBigEndian32(const UInt8* bytes)
{
    return (UInt32{bytes[0]} << 24) | (UInt32{bytes[1]} << 16) | (UInt32{bytes[2]} << 8) |
           UInt32{bytes[3]};
}

[[noreturn]] void ThrowInvalidParameter()
{
    throw static_cast<OSStatus>(kAudioUnitErr_InvalidParameter);
}

} // namespace

// ---- ParameterMapEvent ----------------------------------------------------

void ParameterMapEvent::SetScheduledEvent(const AudioUnitParameterEvent& event,
                                          UInt32 sliceOffsetInBuffer, UInt32 sliceFrames)
{
    eventType = event.eventType;
    sliceDurationFrames = sliceFrames;
    if (eventType == kParameterEvent_Immediate)
    {
        value1 = value2 = event.eventValues.immediate.value;
        durationInFrames = sliceFrames;
        bufferOffset = 0;
        return;
    }
    durationInFrames = event.eventValues.ramp.durationInFrames;
    bufferOffset =
        static_cast<SInt32>(static_cast<SInt64>(event.eventValues.ramp.startBufferOffset) -
                            static_cast<SInt64>(sliceOffsetInBuffer));
    value1 = event.eventValues.ramp.startValue;
    value2 = event.eventValues.ramp.endValue;
}

void ParameterMapEvent::GetRampSliceStartEnd(AudioUnitParameterValue& start,
                                             AudioUnitParameterValue& end,
                                             AudioUnitParameterValue& delta) const
{
    // A zero-length ramp is a step to its end value.
    delta =
        durationInFrames != 0 ? (value2 - value1) / static_cast<Float32>(durationInFrames) : 0.0f;
    start = durationInFrames != 0 ? value1 - static_cast<Float32>(bufferOffset) * delta : value2;
    end = start + delta * static_cast<Float32>(sliceDurationFrames);
}

// ---- AUElement ------------------------------------------------------------

AUElement::~AUElement()
{
    if (mElementName != nullptr)
        CFRelease(mElementName);
}

void AUElement::UseIndexedParameters(UInt32 numberOfParameters)
{
    // The array is replaced, not extended: a second call must not leave the
    // element with more parameters than it was told it has.
    mIndexedParameters.assign(numberOfParameters, ParameterMapEvent{});
    mUseIndexedParameters = true;
}

ParameterMapEvent* AUElement::Find(AudioUnitParameterID id)
{
    return const_cast<ParameterMapEvent*>(static_cast<const AUElement*>(this)->Find(id));
}

const ParameterMapEvent* AUElement::Find(AudioUnitParameterID id) const
{
    if (mUseIndexedParameters)
        return id < mIndexedParameters.size() ? &mIndexedParameters[id] : nullptr;
    const auto found = std::lower_bound(mParameters.begin(), mParameters.end(), id,
                                        [](const auto& entry, AudioUnitParameterID key)
                                        { return entry.first < key; });
    return found != mParameters.end() && found->first == id ? &found->second : nullptr;
}

ParameterMapEvent& AUElement::FindOrCreate(AudioUnitParameterID id)
{
    if (ParameterMapEvent* event = Find(id))
        return *event;
    if (mUseIndexedParameters)
        ThrowInvalidParameter();
    const auto position = std::lower_bound(mParameters.begin(), mParameters.end(), id,
                                           [](const auto& entry, AudioUnitParameterID key)
                                           { return entry.first < key; });
    return mParameters.insert(position, {id, ParameterMapEvent{}})->second;
}

UInt32 AUElement::GetNumberOfParameters() const
{
    return static_cast<UInt32>(mUseIndexedParameters ? mIndexedParameters.size()
                                                     : mParameters.size());
}

void AUElement::GetParameterList(AudioUnitParameterID* outList) const
{
    if (mUseIndexedParameters)
    {
        for (UInt32 i = 0; i < mIndexedParameters.size(); ++i)
            outList[i] = i;
        return;
    }
    for (const auto& entry : mParameters)
        *outList++ = entry.first;
}

bool AUElement::HasParameterID(AudioUnitParameterID id) const
{
    return Find(id) != nullptr;
}

bool AUElement::AcceptsParameterID(AudioUnitParameterID id) const
{
    return !mUseIndexedParameters || id < mIndexedParameters.size();
}

AudioUnitParameterValue AUElement::GetParameter(AudioUnitParameterID id) const
{
    const ParameterMapEvent* event = Find(id);
    if (event == nullptr)
        ThrowInvalidParameter();
    return event->value1;
}

void AUElement::SetParameter(AudioUnitParameterID id, AudioUnitParameterValue value)
{
    FindOrCreate(id).SetValue(value);
}

void AUElement::GetRampSliceStartEnd(AudioUnitParameterID id, AudioUnitParameterValue& start,
                                     AudioUnitParameterValue& end,
                                     AudioUnitParameterValue& delta) const
{
    const ParameterMapEvent* event = Find(id);
    if (event == nullptr)
        ThrowInvalidParameter();
    event->GetRampSliceStartEnd(start, end, delta);
}

void AUElement::SetScheduledEvent(AudioUnitParameterID id, const AudioUnitParameterEvent& event,
                                  UInt32 sliceOffsetInBuffer, UInt32 sliceFrames)
{
    FindOrCreate(id).SetScheduledEvent(event, sliceOffsetInBuffer, sliceFrames);
}

void AUElement::SaveState(CFMutableDataRef data) const
{
    const UInt32 count = GetNumberOfParameters();
    AppendBigEndian32(data, count);
    std::vector<AudioUnitParameterID> ids(count);
    GetParameterList(ids.data());
    for (const AudioUnitParameterID id : ids)
    {
        UInt32 bits = 0;
        const Float32 value = GetParameter(id);
        std::memcpy(&bits, &value, sizeof bits);
        AppendBigEndian32(data, id);
        AppendBigEndian32(data, bits);
    }
}

size_t AUElement::RestoreState(const UInt8* bytes, size_t size)
{
    if (size < 4)
        return size;
    const UInt32 count = ReadBigEndian32(bytes);
    const size_t whole = std::min<size_t>(count, (size - 4) / 8);
    for (size_t i = 0; i < whole; ++i)
    {
        const UInt8* pair = bytes + 4 + 8 * i;
        const UInt32 bits = ReadBigEndian32(pair + 4);
        Float32 value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        SetParameter(ReadBigEndian32(pair), value);
    }
    return whole == count ? 4 + 8 * whole : size;
}

void AUElement::SetName(CFStringRef name)
{
    if (name != nullptr)
        CFRetain(name);
    if (mElementName != nullptr)
        CFRelease(mElementName);
    mElementName = name;
}

// ---- AUIOElement ----------------------------------------------------------

AUIOElement::AUIOElement(AUBase* audioUnit) : AUElement(audioUnit)
{
    const bool nonInterleaved = audioUnit->AudioUnitAPIVersion() >= 2;
    mStreamFormat.mSampleRate = 44100.0;
    mStreamFormat.mFormatID = kAudioFormatLinearPCM;
    mStreamFormat.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                                 (nonInterleaved ? kAudioFormatFlagIsNonInterleaved : 0u);
    mStreamFormat.mChannelsPerFrame = 2;
    mStreamFormat.mBitsPerChannel = 32;
    mStreamFormat.mFramesPerPacket = 1;
    mStreamFormat.mBytesPerFrame = nonInterleaved ? 4 : 8;
    mStreamFormat.mBytesPerPacket = mStreamFormat.mBytesPerFrame;
}

OSStatus AUIOElement::SetStreamFormat(const CAStreamBasicDescription& format)
{
    mStreamFormat = format;
    return noErr;
}

UInt32 AUIOElement::GetChannelLayoutTags(AudioChannelLayoutTag*)
{
    return 0;
}

UInt32 AUIOElement::GetAudioChannelLayout(AudioChannelLayout*, Boolean&)
{
    return 0;
}

OSStatus AUIOElement::SetAudioChannelLayout(const AudioChannelLayout&)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUIOElement::RemoveAudioChannelLayout()
{
    return kAudioUnitErr_InvalidPropertyValue;
}

void AUIOElement::AllocateBuffer(UInt32 frames)
{
    AUBase* unit = GetAudioUnit();
    if (!unit->IsInitialized())
        return;
    if (frames == 0)
        frames = unit->GetMaxFramesPerSlice();
    mIOBuffer.Allocate(mStreamFormat, NeedsBufferSpace() ? frames : 0);
}

AudioUnitParameterValue* AUIOElement::GetChannelData(UInt32 stream) const
{
    AudioBufferList& list = GetBufferList();
    if (stream >= list.mNumberBuffers)
        throw static_cast<OSStatus>(kAudioUnitErr_InvalidElement);
    return static_cast<AudioUnitParameterValue*>(list.mBuffers[stream].mData);
}

// ---- AUScope --------------------------------------------------------------

AUScope::~AUScope()
{
    for (AUElement* element : mElements)
        delete element;
}

void AUScope::Initialize(AUElementCreator* creator, AudioUnitScope scope, UInt32 numElements)
{
    mCreator = creator;
    mScope = scope;
    SetNumberOfElements(numElements);
}

AUElement* AUScope::SafeGetElement(UInt32 index) const
{
    AUElement* element = GetElement(index);
    if (element == nullptr)
        throw static_cast<OSStatus>(kAudioUnitErr_InvalidElement);
    return element;
}

AUIOElement* AUScope::GetIOElement(UInt32 index) const
{
    AUIOElement* element = SafeGetElement(index)->AsIOElement();
    if (element == nullptr)
        throw static_cast<OSStatus>(kAudioUnitErr_InvalidElement);
    return element;
}

void AUScope::SetNumberOfElements(UInt32 count)
{
    while (mElements.size() > count)
    {
        delete mElements.back();
        mElements.pop_back();
    }
    mElements.reserve(count);
    while (mElements.size() < count)
    {
        const auto index = static_cast<AudioUnitElement>(mElements.size());
        mElements.push_back(mCreator->CreateElement(mScope, index));
    }
}

bool AUScope::HasElementWithName() const
{
    return std::any_of(mElements.begin(), mElements.end(),
                       [](const AUElement* element) { return element->HasName(); });
}

void AUScope::AddElementNamesToDict(CFMutableDictionaryRef outer) const
{
    if (!HasElementWithName())
        return;
    CFMutableDictionaryRef names = CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    char text[32];
    for (size_t i = 0; i < mElements.size(); ++i)
    {
        if (!mElements[i]->HasName())
            continue;
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(i));
        CFStringRef key = CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII);
        CFDictionarySetValue(names, key, mElements[i]->GetName());
        CFRelease(key);
    }
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(mScope));
    CFStringRef scopeKey = CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII);
    CFDictionarySetValue(outer, scopeKey, names);
    CFRelease(scopeKey);
    CFRelease(names);
}

namespace
{

// A decimal element number below the limit, or -1.
long ParseElementNumber(CFTypeRef key)
{
    if (key == nullptr || CFGetTypeID(key) != CFStringGetTypeID())
        return -1;
    char text[32];
    if (!CFStringGetCString(static_cast<CFStringRef>(key), text, sizeof text,
                            kCFStringEncodingASCII) ||
        text[0] == '\0')
        return -1;
    long number = 0;
    for (const char* c = text; *c != '\0'; ++c)
    {
        if (*c < '0' || *c > '9')
            return -1;
        number = number * 10 + (*c - '0');
        if (number >= AUScope::kMaxRestoredElements)
            return -1;
    }
    return number;
}

} // namespace

bool AUScope::CheckElementNames(CFTypeRef names, UInt32 limit)
{
    if (names == nullptr || CFGetTypeID(names) != CFDictionaryGetTypeID())
        return false;
    const auto dictionary = static_cast<CFDictionaryRef>(names);
    const CFIndex count = CFDictionaryGetCount(dictionary);
    std::vector<const void*> keys(static_cast<size_t>(count));
    std::vector<const void*> values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    for (CFIndex i = 0; i < count; ++i)
    {
        const long number = ParseElementNumber(keys[static_cast<size_t>(i)]);
        const void* value = values[static_cast<size_t>(i)];
        if (number < 0 || static_cast<UInt32>(number) >= limit || value == nullptr ||
            CFGetTypeID(value) != CFStringGetTypeID())
            return false;
    }
    return true;
}

bool AUScope::RestoreElementNames(CFDictionaryRef names)
{
    const CFIndex count = CFDictionaryGetCount(names);
    std::vector<const void*> keys(static_cast<size_t>(count));
    std::vector<const void*> values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(names, keys.data(), values.data());

    long largest = -1;
    for (const void* key : keys)
        largest = std::max(largest, ParseElementNumber(key));
    bool grew = false;
    if (largest >= 0 && static_cast<UInt32>(largest) >= GetNumberOfElements())
    {
        SetNumberOfElements(static_cast<UInt32>(largest) + 1);
        grew = true;
    }
    for (CFIndex i = 0; i < count; ++i)
    {
        const long number = ParseElementNumber(keys[static_cast<size_t>(i)]);
        if (number >= 0)
            mElements[static_cast<size_t>(number)]->SetName(
                static_cast<CFStringRef>(values[static_cast<size_t>(i)]));
    }
    return grew;
}
