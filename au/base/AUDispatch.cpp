// The component entry's dispatcher for the Audio Unit selectors, and the
// fast-dispatch entries that skip the call block.
#include "AUBase.h"

#include <cstring>
#include <memory>

namespace
{

template <typename T> T Arg(const ComponentParameters* params, size_t index)
{
    return ComponentParameter<T>(params, index);
}

AUBase* FromStorage(void* storage)
{
    return static_cast<AUBase*>(ComponentBase::FromStorage(storage));
}

OSStatus GetPropertySelector(AUBase* unit, const ComponentParameters* params)
{
    const auto id = Arg<AudioUnitPropertyID>(params, 0);
    const auto scope = Arg<AudioUnitScope>(params, 1);
    const auto element = Arg<AudioUnitElement>(params, 2);
    auto* outData = Arg<void*>(params, 3);
    auto* ioSize = Arg<UInt32*>(params, 4);
    if (ioSize == nullptr)
        return paramErr;

    UInt32 actualSize = 0;
    Boolean writable = false;
    if (outData == nullptr)
    {
        const OSStatus result =
            unit->DispatchGetPropertyInfo(id, scope, element, actualSize, writable);
        *ioSize = actualSize;
        return result;
    }
    if (*ioSize == 0)
        return paramErr;

    OSStatus result = noErr;
    try
    {
        result = unit->DispatchGetPropertyInfo(id, scope, element, actualSize, writable);
        if (result != noErr)
        {
            *ioSize = 0;
            return result;
        }
        if (*ioSize < actualSize)
        {
            // The value-to-text record carries its question in pointers and
            // hands back a new string: a part of it can neither be read nor
            // answered without losing the string, so it is refused whole.
            if (id == kAudioUnitProperty_ParameterStringFromValue)
            {
                *ioSize = 0;
                return kAudioUnitErr_InvalidPropertyValue;
            }
            // The caller's place is smaller than the value: fill a whole one
            // and hand over the first bytes; the caller's size stays as it was.
            // Some properties read a question from the place they answer into,
            // so the temporary starts with what the caller put there.
            const auto temporary = std::make_unique<std::byte[]>(actualSize);
            std::memcpy(temporary.get(), outData, *ioSize);
            result = unit->DispatchGetProperty(id, scope, element, temporary.get());
            if (result == noErr)
                std::memcpy(outData, temporary.get(), *ioSize);
            else
                *ioSize = 0;
            return result;
        }
        result = unit->DispatchGetProperty(id, scope, element, outData);
    }
    catch (...)
    {
        // A failure thrown from deep inside leaves no size behind either.
        *ioSize = 0;
        throw;
    }
    *ioSize = result == noErr ? actualSize : 0;
    return result;
}

} // namespace

OSStatus AUBase::ComponentEntryDispatch(ComponentParameters* params, AUBase* This)
{
    if (This == nullptr)
        return paramErr;

    switch (params->what)
    {
    case kAudioUnitInitializeSelect:
        return This->DoInitialize();

    case kAudioUnitUninitializeSelect:
        This->DoCleanup();
        return noErr;

    case kAudioUnitGetPropertyInfoSelect:
    {
        UInt32 size = 0;
        Boolean writable = false;
        const OSStatus result = This->DispatchGetPropertyInfo(
            Arg<AudioUnitPropertyID>(params, 0), Arg<AudioUnitScope>(params, 1),
            Arg<AudioUnitElement>(params, 2), size, writable);
        if (auto* outSize = Arg<UInt32*>(params, 3))
            *outSize = size;
        if (auto* outWritable = Arg<Boolean*>(params, 4))
            *outWritable = writable;
        return result;
    }

    case kAudioUnitGetPropertySelect:
        return GetPropertySelector(This, params);

    case kAudioUnitSetPropertySelect:
    {
        const auto id = Arg<AudioUnitPropertyID>(params, 0);
        const auto scope = Arg<AudioUnitScope>(params, 1);
        const auto element = Arg<AudioUnitElement>(params, 2);
        const auto* data = Arg<const void*>(params, 3);
        const auto size = Arg<UInt32>(params, 4);
        if (data != nullptr && size != 0)
            return This->DispatchSetProperty(id, scope, element, data, size);
        if (data == nullptr && size == 0)
            return This->DispatchRemovePropertyValue(id, scope, element);
        return paramErr;
    }

    case kAudioUnitGetParameterSelect:
    {
        auto* outValue = Arg<AudioUnitParameterValue*>(params, 3);
        if (outValue == nullptr)
            return paramErr;
        return This->GetParameter(Arg<AudioUnitParameterID>(params, 0),
                                  Arg<AudioUnitScope>(params, 1), Arg<AudioUnitElement>(params, 2),
                                  *outValue);
    }

    case kAudioUnitSetParameterSelect:
        return This->SetParameter(Arg<AudioUnitParameterID>(params, 0),
                                  Arg<AudioUnitScope>(params, 1), Arg<AudioUnitElement>(params, 2),
                                  Arg<AudioUnitParameterValue>(params, 3), Arg<UInt32>(params, 4));

    case kAudioUnitResetSelect:
        return This->DoReset(Arg<AudioUnitScope>(params, 0), Arg<AudioUnitElement>(params, 1));

    case kAudioUnitAddPropertyListenerSelect:
        return This->AddPropertyListener(Arg<AudioUnitPropertyID>(params, 0),
                                         Arg<AudioUnitPropertyListenerProc>(params, 1),
                                         Arg<void*>(params, 2));

    case kAudioUnitRemovePropertyListenerSelect:
        return This->RemovePropertyListener(Arg<AudioUnitPropertyID>(params, 0),
                                            Arg<AudioUnitPropertyListenerProc>(params, 1));

    case kAudioUnitRenderSelect:
    {
        auto* flags = Arg<AudioUnitRenderActionFlags*>(params, 0);
        const auto* timeStamp = Arg<const AudioTimeStamp*>(params, 1);
        auto* data = Arg<AudioBufferList*>(params, 4);
        if (timeStamp == nullptr || data == nullptr)
            return paramErr;
        AudioUnitRenderActionFlags localFlags = 0;
        return This->DoRender(flags != nullptr ? *flags : localFlags, *timeStamp,
                              Arg<UInt32>(params, 2), Arg<UInt32>(params, 3), *data);
    }

    case kAudioUnitAddRenderNotifySelect:
        return This->SetRenderNotification(Arg<AURenderCallback>(params, 0), Arg<void*>(params, 1));

    case kAudioUnitRemoveRenderNotifySelect:
        return This->RemoveRenderNotification(Arg<AURenderCallback>(params, 0),
                                              Arg<void*>(params, 1));

    case kAudioUnitScheduleParametersSelect:
    {
        if (This->AudioUnitAPIVersion() < 2)
            return badComponentSelector;
        const auto* events = Arg<const AudioUnitParameterEvent*>(params, 0);
        const auto count = Arg<UInt32>(params, 1);
        if (events == nullptr && count != 0)
            return paramErr;
        return This->ScheduleParameter(events, count);
    }

    case kComponentCanDoSelect:
    {
        const auto selector = Arg<SInt16>(params, 0);
        if ((selector >= kAudioUnitInitializeSelect && selector <= kAudioUnitSetParameterSelect) ||
            (selector >= kAudioUnitResetSelect &&
             selector <= kAudioUnitRemovePropertyListenerSelect))
            return 1;
        if (selector >= kAudioUnitRenderSelect && selector <= kAudioUnitScheduleParametersSelect)
            return This->AudioUnitAPIVersion() > 1 ? 1 : 0;
        return ComponentBase::ComponentEntryDispatch(params, This);
    }

    default:
        return ComponentBase::ComponentEntryDispatch(params, This);
    }
}

OSStatus AudioUnitBaseGetParameter(void* storage, AudioUnitParameterID id, AudioUnitScope scope,
                                   AudioUnitElement element, AudioUnitParameterValue* outValue)
{
    if (storage == nullptr || outValue == nullptr)
        return paramErr;
    return CatchStatus(
        [&] { return FromStorage(storage)->GetParameter(id, scope, element, *outValue); });
}

OSStatus AudioUnitBaseSetParameter(void* storage, AudioUnitParameterID id, AudioUnitScope scope,
                                   AudioUnitElement element, AudioUnitParameterValue value,
                                   UInt32 bufferOffsetInFrames)
{
    if (storage == nullptr)
        return paramErr;
    return CatchStatus(
        [&] {
            return FromStorage(storage)->SetParameter(id, scope, element, value,
                                                      bufferOffsetInFrames);
        });
}

OSStatus AudioUnitBaseRender(void* storage, AudioUnitRenderActionFlags* ioActionFlags,
                             const AudioTimeStamp* timeStamp, UInt32 bus, UInt32 frames,
                             AudioBufferList* ioData)
{
    if (storage == nullptr || timeStamp == nullptr || ioData == nullptr)
        return paramErr;
    return CatchStatus(
        [&]
        {
            AudioUnitRenderActionFlags localFlags = 0;
            return FromStorage(storage)->DoRender(ioActionFlags != nullptr ? *ioActionFlags
                                                                           : localFlags,
                                                  *timeStamp, bus, frames, *ioData);
        });
}
