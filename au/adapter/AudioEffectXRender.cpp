// The render path: one Audio Unit render call becomes processEvents and
// processReplacing calls of the effect, cut at scheduled parameter changes;
// bypass, in-place processing, the MIDI queue and the time information.
#include "audioeffectx.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{

constexpr int kMaxChannelPointers = 8;

void MoveBuffers(AudioBufferList& list, SInt64 frames)
{
    for (UInt32 i = 0; i < list.mNumberBuffers; ++i)
    {
        AudioBuffer& buffer = list.mBuffers[i];
        if (buffer.mData == nullptr)
            continue;
        const SInt64 bytes = frames * static_cast<SInt64>(buffer.mNumberChannels) *
                             static_cast<SInt64>(sizeof(float));
        buffer.mData = static_cast<Byte*>(buffer.mData) + bytes;
    }
}

} // namespace

OSStatus AudioEffectX::Render(AudioUnitRenderActionFlags& ioActionFlags,
                              const AudioTimeStamp& timeStamp, UInt32 frames)
{
    lastRenderTime = timeStamp.mSampleTime;

    AUInputElement* input = GetInput(0);
    if (!input->IsActive())
        return kAudioUnitErr_NoConnection;
    const OSStatus pulled = input->PullInput(ioActionFlags, timeStamp, 0, frames);
    if (pulled != noErr)
        return pulled;

    AUOutputElement* output = GetOutput(0);
    // The effect works in the input's memory when it may: same channel count
    // on both sides, for the effect and for the two streams (a mono input's
    // one buffer would leave a stereo output a channel short).
    if (inPlace && numInputs == numOutputs && input->NumberChannels() == output->NumberChannels())
    {
        if (!input->IOBuffer().IsPrepared())
            return -1;
        output->SetBufferList(input->GetBufferList());
    }
    if (!input->IOBuffer().IsPrepared() || !output->IOBuffer().IsPrepared())
        return -1;
    AudioBufferList& inList = input->GetBufferList();
    AudioBufferList& outList = output->GetBufferList();

    if (!HasScheduledParameterEvents())
        return ProcessBufferLists(ioActionFlags, inList, outList, frames);

    SliceContext context{&ioActionFlags, &inList, &outList, 0};
    const OSStatus result = ProcessForScheduledParams(GetParamEventList(), frames, &context);
    // Back to where the lists started, by exactly as far as the slices moved
    // them (all of the call unless a slice failed).
    MoveBuffers(inList, -context.movedFrames);
    MoveBuffers(outList, -context.movedFrames);
    return result;
}

OSStatus AudioEffectX::ProcessScheduledSlice(void* userData, UInt32, UInt32 sliceFrames, UInt32)
{
    auto& context = *static_cast<SliceContext*>(userData);
    const OSStatus result =
        ProcessBufferLists(*context.flags, *context.input, *context.output, sliceFrames);
    MoveBuffers(*context.input, sliceFrames);
    MoveBuffers(*context.output, sliceFrames);
    context.movedFrames += sliceFrames;
    return result;
}

OSStatus AudioEffectX::ProcessBufferLists(AudioUnitRenderActionFlags& ioActionFlags,
                                          const AudioBufferList& inBuffer,
                                          AudioBufferList& outBuffer, UInt32 frames)
{
    fxIdle();

    const auto blockFrames = static_cast<VstInt32>(std::min<UInt32>(frames, 0x7FFFFFFF));
    if (blockFrames > blockSize)
    {
        suspend();
        setBlockSize(blockFrames);
        blockSize = blockFrames;
        resume();
    }

    if ((ioActionFlags & kAudioUnitRenderAction_OutputIsSilence) != 0 && numInputs > 0)
        return noErr;

    if (!bypass)
    {
#if FX_AU_ADAPTER_MIDI
        eventList->numEvents = pendingMidiEvents;
        eventList->reserved = 0;
        VstEvent** slots = &eventList->events[0];
        for (VstInt32 i = 0; i < pendingMidiEvents; ++i)
            slots[i] = reinterpret_cast<VstEvent*>(&midiEvents[i]);
        pendingMidiEvents = 0;
        processEvents(eventList);
#endif
        float* inputs[kMaxChannelPointers] = {};
        float* outputs[kMaxChannelPointers] = {};
        const auto inCount =
            std::min<UInt32>({inBuffer.mNumberBuffers, static_cast<UInt32>(std::max(numInputs, 0)),
                              kMaxChannelPointers});
        for (UInt32 i = 0; i < inCount; ++i)
            inputs[i] = static_cast<float*>(inBuffer.mBuffers[i].mData);
        const auto outCount =
            std::min<UInt32>({outBuffer.mNumberBuffers,
                              static_cast<UInt32>(std::max(numOutputs, 0)), kMaxChannelPointers});
        for (UInt32 i = 0; i < outCount; ++i)
            outputs[i] = static_cast<float*>(outBuffer.mBuffers[i].mData);
        // A mono stream feeds both channels of a stereo effect, and a stereo
        // effect writes both its channels into a mono stream, the second last.
        if (inputs[1] == nullptr)
            inputs[1] = inputs[0];
        if (outputs[1] == nullptr)
            outputs[1] = outputs[0];
        processReplacing(inputs, outputs, blockFrames);
        return noErr;
    }

    const size_t bytes = static_cast<size_t>(frames) * sizeof(float);
    if (inBuffer.mNumberBuffers > 0 && outBuffer.mNumberBuffers > 0)
    {
        for (UInt32 i = 0; i < outBuffer.mNumberBuffers; ++i)
        {
            const AudioBuffer& from = inBuffer.mBuffers[std::min(i, inBuffer.mNumberBuffers - 1)];
            void* to = outBuffer.mBuffers[i].mData;
            if (to != nullptr && from.mData != nullptr && to != from.mData)
                std::memmove(to, from.mData, bytes);
        }
    }
    else if (inBuffer.mNumberBuffers == 0)
    {
        for (UInt32 i = 0; i < outBuffer.mNumberBuffers; ++i)
            if (outBuffer.mBuffers[i].mData != nullptr)
                std::memset(outBuffer.mBuffers[i].mData, 0, bytes);
    }
    return noErr;
}

#if FX_AU_ADAPTER_MIDI
OSStatus AudioEffectX::HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                       UInt32 startFrame)
{
    if (pendingMidiEvents >= kMaxMidiEvents)
    {
        std::fputs("AU plugin midi buffer overflow!\n", stdout);
        return noErr;
    }
    VstMidiEvent& event = midiEvents[pendingMidiEvents];
    event.type = kVstMidiType;
    // The bytes that follow the type and size fields.
    event.byteSize = static_cast<VstInt32>(sizeof(VstMidiEvent) - 2 * sizeof(VstInt32));
    event.deltaFrames = static_cast<VstInt32>(startFrame);
    event.flags = 0;
    event.noteLength = 0;
    event.noteOffset = 0;
    event.midiData[0] = static_cast<char>(status | channel);
    event.midiData[1] = static_cast<char>(data1);
    event.midiData[2] = static_cast<char>(data2);
    event.midiData[3] = 0;
    event.detune = 0;
    event.noteOffVelocity = 0;
    event.reserved1 = 0;
    event.reserved2 = 0;
    ++pendingMidiEvents;
    return noErr;
}
#endif

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32)
{
    static VstTimeInfo info{};
    const HostCallbackInfo& host = GetHostCallbackInfo();
    Float64 beat = 0.0;
    Float64 tempo = 0.0;
    if (host.beatAndTempoProc != nullptr)
    {
        host.beatAndTempoProc(host.hostUserData, &beat, &tempo);
        info.flags = kVstTempoValid | kVstPpqPosValid;
    }
    info.ppqPos = beat;
    info.tempo = tempo;
    info.samplePos = lastRenderTime;
    return &info;
}
