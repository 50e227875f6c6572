// The render cycle and the slicing of a render call at scheduled parameter
// changes.
#include "AUBase.h"

#include <algorithm>
#include <new>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define FX_HAVE_MXCSR 1
#endif

namespace
{

// Flush-to-zero and denormals-are-zero for the duration of a render; the
// caller's mode comes back on every exit.
class DenormalFlushScope
{
public:
#ifdef FX_HAVE_MXCSR
    DenormalFlushScope() : mSaved(_mm_getcsr())
    {
        _mm_setcsr(mSaved | 0x8040);
    }
    ~DenormalFlushScope()
    {
        _mm_setcsr(mSaved);
    }

private:
    unsigned int mSaved;
#endif
};

SInt64 StartOffset(const AudioUnitParameterEvent& event)
{
    // Both event kinds keep their offset in the same signed word.
    return event.eventType == kParameterEvent_Ramped
               ? event.eventValues.ramp.startBufferOffset
               : static_cast<SInt32>(event.eventValues.immediate.bufferOffset);
}

} // namespace

OSStatus AUBase::DoRender(AudioUnitRenderActionFlags& ioActionFlags,
                          const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames,
                          AudioBufferList& ioData)
{
    const DenormalFlushScope flushDenormals;
    OSStatus result = noErr;
    try
    {
        result = DoRenderBody(ioActionFlags, timeStamp, bus, frames, ioData);
    }
    catch (OSStatus status)
    {
        result = status;
    }
    catch (const std::bad_alloc&)
    {
        result = memFullErr;
    }
    catch (...)
    {
        result = -1;
    }
    // Scheduled events belong to this call only, whatever its outcome.
    mParamList.clear();
    if (result != noErr)
        SetLastRenderError(result);
    return result;
}

OSStatus AUBase::DoRenderBody(AudioUnitRenderActionFlags& ioActionFlags,
                              const AudioTimeStamp& timeStamp, UInt32 bus, UInt32 frames,
                              AudioBufferList& ioData)
{
    if (!mInitialized)
        return kAudioUnitErr_Uninitialized;
    if (frames > mMaxFramesPerSlice)
        return kAudioUnitErr_TooManyFramesToProcess;
    AUElement* busElement = Outputs().GetElement(bus);
    AUIOElement* output = busElement != nullptr ? busElement->AsIOElement() : nullptr;
    if (output == nullptr)
        return kAudioUnitErr_InvalidElement;
    if (ioData.mNumberBuffers != output->GetStreamFormat().NumberChannelStreams() ||
        ioData.mNumberBuffers == 0)
        return paramErr;

    // The unit writes frames into every caller buffer that has an address:
    // a list that mixes given and missing addresses, or a buffer smaller than
    // the frames asked for, would be written out of bounds.
    const bool callerMemory = ioData.mBuffers[0].mData != nullptr;
    const UInt64 bytesNeeded = UInt64{frames} * output->GetStreamFormat().mBytesPerFrame;
    for (UInt32 i = 0; i < ioData.mNumberBuffers; ++i)
    {
        const AudioBuffer& buffer = ioData.mBuffers[i];
        if ((buffer.mData != nullptr) != callerMemory ||
            (callerMemory && buffer.mDataByteSize < bytesNeeded))
            return paramErr;
    }

    if (mWantsRenderThreadID)
        mRenderThreadID = std::this_thread::get_id();

    mRenderCallbacks.Update();
    mRenderCallbacks.Call(ioActionFlags | kAudioUnitRenderAction_PreRender, timeStamp, bus, frames,
                          &ioData);

    if (callerMemory && Outputs().GetNumberOfElements() == 1)
        output->SetBufferList(ioData);
    else
        output->PrepareBuffer(frames);

    const OSStatus result = RenderBus(ioActionFlags, timeStamp, bus, frames);
    if (result == noErr)
    {
        if (callerMemory)
        {
            output->IOBuffer().CopyBufferContentsTo(ioData);
            output->IOBuffer().InvalidateBufferList();
        }
        else
        {
            output->IOBuffer().CopyBufferListTo(ioData);
        }
    }

    mRenderCallbacks.Call(ioActionFlags | kAudioUnitRenderAction_PostRender, timeStamp, bus, frames,
                          &ioData);
    return result;
}

OSStatus AUBase::RenderBus(AudioUnitRenderActionFlags& ioActionFlags,
                           const AudioTimeStamp& timeStamp, UInt32, UInt32 frames)
{
    // A different time, or a time that is not a number, is a new slice of
    // time; the same time was rendered already for another bus.
    const bool newTime =
        timeStamp.mSampleTime != mLastRenderedSampleTime.exchange(timeStamp.mSampleTime);
    return newTime ? Render(ioActionFlags, timeStamp, frames) : noErr;
}

OSStatus AUBase::Render(AudioUnitRenderActionFlags&, const AudioTimeStamp&, UInt32)
{
    return noErr;
}

OSStatus AUBase::ScheduleParameter(const AudioUnitParameterEvent* events, UInt32 count)
{
    for (UInt32 i = 0; i < count; ++i)
    {
        const AudioUnitParameterEvent& event = events[i];
        if (event.eventType == kParameterEvent_Immediate)
        {
            const OSStatus result = SetParameter(event.parameter, event.scope, event.element,
                                                 event.eventValues.immediate.value,
                                                 event.eventValues.immediate.bufferOffset);
            if (result != noErr)
                return result;
        }
        mParamList.push_back(event);
    }
    return noErr;
}

OSStatus AUBase::ProcessForScheduledParams(ParameterEventList& events, UInt32 frames,
                                           void* userData)
{
    std::sort(events.begin(), events.end(),
              [](const AudioUnitParameterEvent& a, const AudioUnitParameterEvent& b)
              { return StartOffset(a) < StartOffset(b); });

    SInt64 sliceStart = 0;
    while (sliceStart < SInt64{frames})
    {
        SInt64 sliceEnd = frames;
        for (const AudioUnitParameterEvent& event : events)
        {
            const SInt64 start = StartOffset(event);
            if (start > sliceStart && start < sliceEnd)
            {
                sliceEnd = start;
                break;
            }
            if (event.eventType == kParameterEvent_Ramped)
            {
                const SInt64 end = start + event.eventValues.ramp.durationInFrames;
                if (end > sliceStart && end < sliceEnd)
                    sliceEnd = end;
            }
        }

        const auto sliceFrames = static_cast<UInt32>(sliceEnd - sliceStart);
        for (const AudioUnitParameterEvent& event : events)
        {
            const SInt64 start = StartOffset(event);
            // The ramp's end is compared as a signed frame: a ramp that ended
            // before this call must not be stretched over the slice.
            const bool inSlice =
                event.eventType == kParameterEvent_Ramped
                    ? start < sliceEnd &&
                          start + event.eventValues.ramp.durationInFrames > sliceStart
                    : SInt64{event.eventValues.immediate.bufferOffset} <= sliceStart;
            if (!inSlice)
                continue;
            AUElement* element = GetScope(event.scope).GetElement(event.element);
            if (element == nullptr)
                continue;
            element->SetScheduledEvent(event.parameter, event, static_cast<UInt32>(sliceStart),
                                       sliceFrames);
        }

        const OSStatus result =
            ProcessScheduledSlice(userData, static_cast<UInt32>(sliceStart), sliceFrames, frames);
        if (result != noErr)
            return result;
        sliceStart = sliceEnd;
    }
    return noErr;
}
