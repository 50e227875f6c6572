// The property table: what every Audio Unit answers before its own
// GetPropertyInfo, GetProperty and SetProperty are asked.
#include "AUBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

constexpr UInt32 kStreamFormatMinimumSetSize = 36; // everything but the reserved word

template <typename T> T Read(const void* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

template <typename T> void Write(void* data, const T& value)
{
    std::memcpy(data, &value, sizeof value);
}

bool IsStringOrNull(CFStringRef value)
{
    return value == nullptr || CFGetTypeID(value) == CFStringGetTypeID();
}

// The size a set of these properties needs. It is checked before the scope
// and element, so a wrong size is reported as such wherever it is sent.
bool SetSizeFits(AudioUnitPropertyID id, UInt32 size)
{
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        return size == sizeof(CFPropertyListRef);
    case kAudioUnitProperty_MakeConnection:
        return size >= sizeof(AudioUnitConnection);
    case kAudioUnitProperty_SampleRate:
        return size == sizeof(Float64);
    case kAudioUnitProperty_StreamFormat:
        return size >= kStreamFormatMinimumSetSize;
    case kAudioUnitProperty_MaximumFramesPerSlice:
        return size == sizeof(UInt32);
    case kAudioUnitProperty_SetRenderCallback:
        return size >= sizeof(AURenderCallbackStruct);
    case kAudioUnitProperty_ContextName:
        return size == sizeof(CFStringRef);
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        return size == sizeof(AUPreset);
    default:
        return true;
    }
}

} // namespace

// Scope and element checks shared by the property-info and set paths of the
// rows that the table answers itself.
OSStatus AUBase::ValidatePropertyAddress(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element)
{
    const bool current = mRevision == AUBaseRevision::Current;
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
    case kAudioUnitProperty_Latency:
    case kAudioUnitProperty_TailTime:
    case kAudioUnitProperty_LastRenderError:
    case kAudioUnitProperty_FactoryPresets:
    case kAudioUnitProperty_HostCallbacks:
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;
        break;
    case kAudioUnitProperty_ContextName:
    case kAudioUnitProperty_IconLocation:
        if (!current)
            return noErr;
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;
        break;
    case kAudioUnitProperty_MakeConnection:
    case kAudioUnitProperty_SetRenderCallback:
        if (scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input)
            return kAudioUnitErr_InvalidScope;
        break;
    case kAudioUnitProperty_SampleRate:
    case kAudioUnitProperty_StreamFormat:
    case kAudioUnitProperty_ElementName:
        if (scope >= NumberOfScopes())
            return kAudioUnitErr_InvalidScope;
        break;
    default:
        return noErr;
    }
    return GetScope(scope).GetElement(element) != nullptr ? noErr : kAudioUnitErr_InvalidElement;
}

OSStatus AUBase::DispatchGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element, UInt32& outDataSize,
                                         Boolean& outWritable)
{
    const bool current = mRevision == AUBaseRevision::Current;
    outDataSize = 0;
    outWritable = false;
    const auto global = [&] { return scope == kAudioUnitScope_Global; };

    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        outDataSize = sizeof(CFPropertyListRef);
        outWritable = true;
        break;
    case kAudioUnitProperty_MakeConnection:
        outDataSize = sizeof(AudioUnitConnection);
        outWritable = true;
        break;
    case kAudioUnitProperty_SampleRate:
        outDataSize = sizeof(Float64);
        outWritable = IsStreamFormatWritable(scope, element);
        break;
    case kAudioUnitProperty_ParameterList:
    {
        UInt32 count = 0;
        const OSStatus result = GetParameterList(scope, nullptr, count);
        if (result != noErr)
            return result;
        outDataSize = count * sizeof(AudioUnitParameterID);
        return noErr;
    }
    case kAudioUnitProperty_ParameterInfo:
        outDataSize = sizeof(AudioUnitParameterInfo);
        return noErr;
    case kAudioUnitProperty_FastDispatch:
        if (!global())
            return kAudioUnitErr_InvalidScope;
        outDataSize = sizeof(AudioUnitRenderProc);
        return noErr;
    case kAudioUnitProperty_StreamFormat:
        outDataSize = sizeof(AudioStreamBasicDescription);
        outWritable = IsStreamFormatWritable(scope, element);
        break;
    case kAudioUnitProperty_ElementCount:
        if (scope >= NumberOfScopes())
            return kAudioUnitErr_InvalidScope;
        outDataSize = sizeof(UInt32);
        outWritable = BusCountWritable(scope);
        return noErr;
    case kAudioUnitProperty_Latency:
        outDataSize = sizeof(Float64);
        break;
    case kAudioUnitProperty_SupportedNumChannels:
    {
        if (!global())
            return kAudioUnitErr_InvalidScope;
        const UInt32 count = SupportedNumChannels(nullptr);
        if (count == 0)
            return kAudioUnitErr_InvalidProperty;
        outDataSize = count * sizeof(AUChannelInfo);
        return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
        if (!global())
            return kAudioUnitErr_InvalidScope;
        outDataSize = sizeof(UInt32);
        outWritable = true;
        return noErr;
    case kAudioUnitProperty_ParameterValueStrings:
    {
        const OSStatus result = GetParameterValueStrings(scope, element, nullptr);
        if (result != noErr)
            return result;
        outDataSize = sizeof(CFArrayRef);
        return noErr;
    }
    case kAudioUnitProperty_GetUIComponentList:
    {
        if (!global())
            return kAudioUnitErr_InvalidScope;
        const UInt32 count = GetNumCustomUIComponents();
        if (count == 0)
            return kAudioUnitErr_InvalidProperty;
        outDataSize = count * sizeof(ComponentDescription);
        return noErr;
    }
    case kAudioUnitProperty_AudioChannelLayout:
        outDataSize = GetAudioChannelLayout(scope, element, nullptr, outWritable);
        return outDataSize != 0 ? noErr : kAudioUnitErr_InvalidProperty;
    case kAudioUnitProperty_TailTime:
        if (!global())
            return kAudioUnitErr_InvalidScope;
        if (!SupportsTail())
            return kAudioUnitErr_InvalidProperty;
        outDataSize = sizeof(Float64);
        break;
    case kAudioUnitProperty_LastRenderError:
        outDataSize = sizeof(OSStatus);
        break;
    case kAudioUnitProperty_SetRenderCallback:
        if (mAudioUnitAPIVersion < 2)
            return kAudioUnitErr_InvalidProperty;
        outDataSize = sizeof(AURenderCallbackStruct);
        outWritable = true;
        break;
    case kAudioUnitProperty_FactoryPresets:
    {
        if (!global())
            return kAudioUnitErr_InvalidScope;
        const OSStatus result = GetPresets(nullptr);
        if (result != noErr)
            return result;
        outDataSize = sizeof(CFArrayRef);
        break;
    }
    case kAudioUnitProperty_ContextName:
        if (!current)
            return GetPropertyInfo(id, scope, element, outDataSize, outWritable);
        outDataSize = sizeof(CFStringRef);
        outWritable = true;
        break;
    case kAudioUnitProperty_HostCallbacks:
        outDataSize = sizeof(HostCallbackInfo);
        outWritable = true;
        break;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        outDataSize = sizeof(AUPreset);
        outWritable = true;
        break;
    case kAudioUnitProperty_ElementName:
        outDataSize = sizeof(CFStringRef);
        outWritable = true;
        break;
    case kAudioUnitProperty_SupportedChannelLayoutTags:
    {
        const UInt32 count = GetIOElement(scope, element)->GetChannelLayoutTags(nullptr);
        if (count == 0)
            return kAudioUnitErr_InvalidProperty;
        outDataSize = count * sizeof(AudioChannelLayoutTag);
        return noErr;
    }
    case kAudioUnitProperty_IconLocation:
        if (!current)
            return GetPropertyInfo(id, scope, element, outDataSize, outWritable);
        if (!global())
            return kAudioUnitErr_InvalidScope;
        if (!HasIcon())
            return kAudioUnitErr_InvalidProperty;
        outDataSize = sizeof(CFURLRef);
        break;
    default:
        return GetPropertyInfo(id, scope, element, outDataSize, outWritable);
    }
    // The rows that reach here validate their scope and element.
    const OSStatus result = ValidatePropertyAddress(id, scope, element);
    if (result != noErr)
    {
        outDataSize = 0;
        outWritable = false;
    }
    return result;
}

OSStatus AUBase::DispatchGetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, void* outData)
{
    const bool current = mRevision == AUBaseRevision::Current;
    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        return SaveState(static_cast<CFPropertyListRef*>(outData));
    case kAudioUnitProperty_SampleRate:
        Write(outData, GetStreamFormat(scope, element).mSampleRate);
        return noErr;
    case kAudioUnitProperty_ParameterList:
    {
        UInt32 count = 0;
        return GetParameterList(scope, static_cast<AudioUnitParameterID*>(outData), count);
    }
    case kAudioUnitProperty_ParameterInfo:
        std::memset(outData, 0, sizeof(AudioUnitParameterInfo));
        return GetParameterInfo(scope, element, *static_cast<AudioUnitParameterInfo*>(outData));
    case kAudioUnitProperty_FastDispatch:
        switch (element)
        {
        case kAudioUnitGetParameterSelect:
            Write(outData, &AudioUnitBaseGetParameter);
            return noErr;
        case kAudioUnitSetParameterSelect:
            Write(outData, &AudioUnitBaseSetParameter);
            return noErr;
        case kAudioUnitRenderSelect:
            if (mAudioUnitAPIVersion < 2)
                return kAudioUnitErr_InvalidElement;
            Write(outData, &AudioUnitBaseRender);
            return noErr;
        default:
            return GetProperty(id, scope, element, outData);
        }
    case kAudioUnitProperty_StreamFormat:
        Write<AudioStreamBasicDescription>(outData, GetStreamFormat(scope, element));
        return noErr;
    case kAudioUnitProperty_ElementCount:
        Write(outData, GetScope(scope).GetNumberOfElements());
        return noErr;
    case kAudioUnitProperty_Latency:
        Write(outData, GetLatency());
        return noErr;
    case kAudioUnitProperty_SupportedNumChannels:
    {
        const AUChannelInfo* infos = nullptr;
        const UInt32 count = SupportedNumChannels(&infos);
        if (count == 0 || infos == nullptr)
            return kAudioUnitErr_InvalidProperty;
        std::memcpy(outData, infos, count * sizeof(AUChannelInfo));
        return noErr;
    }
    case kAudioUnitProperty_MaximumFramesPerSlice:
        Write(outData, mMaxFramesPerSlice);
        return noErr;
    case kAudioUnitProperty_ParameterValueStrings:
        return GetParameterValueStrings(scope, element, static_cast<CFArrayRef*>(outData));
    case kAudioUnitProperty_GetUIComponentList:
        GetUIComponentDescs(static_cast<ComponentDescription*>(outData));
        return noErr;
    case kAudioUnitProperty_AudioChannelLayout:
    {
        Boolean writable = false;
        return GetAudioChannelLayout(scope, element, static_cast<AudioChannelLayout*>(outData),
                                     writable) != 0
                   ? noErr
                   : kAudioUnitErr_InvalidProperty;
    }
    case kAudioUnitProperty_TailTime:
        Write(outData, GetTailTime());
        return noErr;
    case kAudioUnitProperty_LastRenderError:
        Write<OSStatus>(outData, mLastRenderError.exchange(noErr));
        return noErr;
    case kAudioUnitProperty_FactoryPresets:
        return GetPresets(static_cast<CFArrayRef*>(outData));
    case kAudioUnitProperty_ContextName:
        if (!current)
            break;
        if (mContextName == nullptr)
            return kAudioUnitErr_InvalidPropertyValue;
        CFRetain(mContextName);
        Write(outData, mContextName);
        return noErr;
    case kAudioUnitProperty_HostCallbacks:
        Write(outData, mHostCallbackInfo);
        return noErr;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        if (id == kAudioUnitProperty_PresentPreset && mCurrentPreset.presetName != nullptr)
            CFRetain(mCurrentPreset.presetName);
        Write(outData, mCurrentPreset);
        return noErr;
    case kAudioUnitProperty_ElementName:
    {
        AUElement* theElement = SafeGetElement(scope, element);
        if (!theElement->HasName())
            return kAudioUnitErr_InvalidPropertyValue;
        CFRetain(theElement->GetName());
        Write(outData, theElement->GetName());
        return noErr;
    }
    case kAudioUnitProperty_SupportedChannelLayoutTags:
        GetIOElement(scope, element)
            ->GetChannelLayoutTags(static_cast<AudioChannelLayoutTag*>(outData));
        return noErr;
    case kAudioUnitProperty_IconLocation:
    {
        if (!current)
            break;
        CFURLRef location = GetIconLocation();
        if (location != nullptr)
            CFRetain(location);
        Write(outData, location);
        return noErr;
    }
    default:
        break;
    }
    return GetProperty(id, scope, element, outData);
}

OSStatus AUBase::SetStreamFormatProperty(AudioUnitPropertyID, AudioUnitScope scope,
                                         AudioUnitElement element,
                                         const CAStreamBasicDescription& format)
{
    // A rate that is not a positive number cannot drive any processing.
    if (!(std::isfinite(format.mSampleRate) && format.mSampleRate > 0.0))
        return kAudioUnitErr_FormatNotSupported;
    if (!ValidFormat(scope, element, format))
        return kAudioUnitErr_FormatNotSupported;
    const CAStreamBasicDescription previous = GetStreamFormat(scope, element);
    if (previous == format)
        return noErr;
    if (!IsStreamFormatWritable(scope, element))
        return kAudioUnitErr_PropertyNotWritable;
    return ChangeStreamFormat(scope, element, previous, format);
}

OSStatus AUBase::SetPresetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                   const AUPreset& preset)
{
    if (preset.presetNumber >= 0)
    {
        const OSStatus result = NewFactoryPresetSet(preset);
        if (result == noErr)
            PropertyChanged(id, scope, 0);
        return result;
    }
    if (preset.presetName == nullptr || !IsStringOrNull(preset.presetName))
        return kAudioUnitErr_InvalidPropertyValue;
    CFRetain(preset.presetName);
    if (mCurrentPreset.presetName != nullptr)
        CFRelease(mCurrentPreset.presetName);
    mCurrentPreset = preset;
    PropertyChanged(id, scope, 0);
    return noErr;
}

OSStatus AUBase::DispatchSetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                     AudioUnitElement element, const void* inData,
                                     UInt32 inDataSize)
{
    const bool current = mRevision == AUBaseRevision::Current;
    if (!current && (id == kAudioUnitProperty_ContextName || id == kAudioUnitProperty_IconLocation))
    {
        // The older revision has no rows of its own for these: they are the
        // unit's, like any property outside the table.
        const OSStatus result = SetProperty(id, scope, element, inData, inDataSize);
        if (result == noErr)
            PropertyChanged(id, scope, element);
        return result;
    }

    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
    case kAudioUnitProperty_MakeConnection:
    case kAudioUnitProperty_SampleRate:
    case kAudioUnitProperty_StreamFormat:
    case kAudioUnitProperty_SetRenderCallback:
    case kAudioUnitProperty_ContextName:
    case kAudioUnitProperty_HostCallbacks:
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
    case kAudioUnitProperty_ElementName:
    {
        if (!SetSizeFits(id, inDataSize))
            return kAudioUnitErr_InvalidPropertyValue;
        if (id == kAudioUnitProperty_SetRenderCallback && mAudioUnitAPIVersion < 2)
            return kAudioUnitErr_InvalidProperty;
        const OSStatus result = ValidatePropertyAddress(id, scope, element);
        if (result != noErr)
            return result;
        break;
    }
    default:
        break;
    }

    switch (id)
    {
    case kAudioUnitProperty_ClassInfo:
        return RestoreState(Read<CFPropertyListRef>(inData));

    case kAudioUnitProperty_MakeConnection:
        return SetConnection(Read<AudioUnitConnection>(inData));

    case kAudioUnitProperty_SampleRate:
    {
        CAStreamBasicDescription format = GetStreamFormat(scope, element);
        format.mSampleRate = Read<Float64>(inData);
        return SetStreamFormatProperty(id, scope, element, format);
    }

    case kAudioUnitProperty_StreamFormat:
    {
        CAStreamBasicDescription format;
        std::memcpy(static_cast<AudioStreamBasicDescription*>(&format), inData,
                    kStreamFormatMinimumSetSize);
        format.mReserved = 0;
        return SetStreamFormatProperty(id, scope, element, format);
    }

    case kAudioUnitProperty_ElementCount:
    {
        if (inDataSize != sizeof(UInt32))
            return kAudioUnitErr_InvalidPropertyValue;
        if (!BusCountWritable(scope))
            return kAudioUnitErr_PropertyNotWritable;
        const OSStatus result = SetBusCount(scope, Read<UInt32>(inData));
        if (result == noErr)
            PropertyChanged(id, scope, element);
        return result;
    }

    case kAudioUnitProperty_MaximumFramesPerSlice:
    {
        if (!SetSizeFits(id, inDataSize))
            return kAudioUnitErr_InvalidPropertyValue;
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;
        const OSStatus result = CanSetMaxFrames();
        if (result != noErr)
            return result;
        const UInt32 frames = Read<UInt32>(inData);
        if (frames == 0)
            return kAudioUnitErr_InvalidPropertyValue;
        SetMaxFramesPerSlice(frames);
        return noErr;
    }

    case kAudioUnitProperty_SetExternalBuffer:
    {
        if (inDataSize < sizeof(AudioUnitExternalBuffer))
            return kAudioUnitErr_InvalidPropertyValue;
        if (!mInitialized)
            return kAudioUnitErr_Uninitialized;
        const auto buffer = Read<AudioUnitExternalBuffer>(inData);
        if ((reinterpret_cast<uintptr_t>(buffer.buffer) & 15) != 0)
            return paramErr;
        AUIOElement* io = scope == kAudioUnitScope_Input
                              ? static_cast<AUIOElement*>(GetInput(element))
                              : static_cast<AUIOElement*>(GetOutput(element));
        io->UseExternalBuffer(buffer);
        return noErr;
    }

    case kAudioUnitProperty_AudioChannelLayout:
    {
        if (inDataSize < offsetof(AudioChannelLayout, mChannelDescriptions))
            return kAudioUnitErr_InvalidPropertyValue;
        const auto* layout = static_cast<const AudioChannelLayout*>(inData);
        if (inDataSize < FxAudioChannelLayoutSize(layout->mNumberChannelDescriptions))
            return kAudioUnitErr_InvalidPropertyValue;
        const OSStatus result = SetAudioChannelLayout(scope, element, layout);
        if (result == noErr)
            PropertyChanged(id, scope, element);
        return result;
    }

    case kAudioUnitProperty_SetRenderCallback:
    {
        const auto callback = Read<AURenderCallbackStruct>(inData);
        return SetInputCallback(id, element, callback.inputProc, callback.inputProcRefCon);
    }

    case kAudioUnitProperty_ContextName:
    {
        const auto name = Read<CFStringRef>(inData);
        if (name == nullptr || !IsStringOrNull(name))
            return kAudioUnitErr_InvalidPropertyValue;
        CFRetain(name);
        if (mContextName != nullptr)
            CFRelease(mContextName);
        mContextName = name;
        PropertyChanged(id, kAudioUnitScope_Global, element);
        return noErr;
    }

    case kAudioUnitProperty_HostCallbacks:
    {
        // Only whole pointer-wide words are taken: a part of a procedure
        // address is never stored.
        HostCallbackInfo info{};
        const size_t size =
            std::min<size_t>(inDataSize, sizeof info) / sizeof(void*) * sizeof(void*);
        std::memcpy(&info, inData, size);
        if (std::memcmp(&info, &mHostCallbackInfo, sizeof info) != 0)
        {
            mHostCallbackInfo = info;
            PropertyChanged(id, kAudioUnitScope_Global, element);
        }
        return noErr;
    }

    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        return SetPresetProperty(id, scope, Read<AUPreset>(inData));

    case kAudioUnitProperty_ElementName:
    {
        if (inDataSize != sizeof(CFStringRef))
            return kAudioUnitErr_InvalidPropertyValue;
        const auto name = Read<CFStringRef>(inData);
        if (!IsStringOrNull(name))
            return kAudioUnitErr_InvalidPropertyValue;
        SafeGetElement(scope, element)->SetName(name);
        PropertyChanged(id, scope, element);
        return noErr;
    }

    default:
    {
        const OSStatus result = SetProperty(id, scope, element, inData, inDataSize);
        if (result == noErr)
            PropertyChanged(id, scope, element);
        return result;
    }
    }
}

OSStatus AUBase::DispatchRemovePropertyValue(AudioUnitPropertyID id, AudioUnitScope scope,
                                             AudioUnitElement element)
{
    const bool current = mRevision == AUBaseRevision::Current;
    switch (id)
    {
    case kAudioUnitProperty_AudioChannelLayout:
    {
        const OSStatus result = RemoveAudioChannelLayout(scope, element);
        if (result == noErr)
            PropertyChanged(id, scope, element);
        return result;
    }
    case kAudioUnitProperty_ContextName:
        if (!current)
            break;
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;
        if (mContextName != nullptr)
            CFRelease(mContextName);
        mContextName = nullptr;
        return noErr;
    case kAudioUnitProperty_HostCallbacks:
    {
        if (scope != kAudioUnitScope_Global)
            return kAudioUnitErr_InvalidScope;
        const HostCallbackInfo cleared{};
        if (std::memcmp(&cleared, &mHostCallbackInfo, sizeof cleared) != 0)
        {
            mHostCallbackInfo = cleared;
            PropertyChanged(id, kAudioUnitScope_Global, element);
        }
        return noErr;
    }
    default:
        break;
    }
    return RemovePropertyValue(id, scope, element);
}
