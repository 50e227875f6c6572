#include "AUBuffer.h"

#include <cstring>
#include <new>

namespace
{

constexpr std::align_val_t kBufferAlignment{16};

UInt32 RoundUp16(UInt64 bytes)
{
    const UInt64 rounded = (bytes + 15) & ~UInt64{15};
    if (rounded > 0xFFFFFFFFu)
        throw static_cast<OSStatus>(kAudioUnitErr_TooManyFramesToProcess);
    return static_cast<UInt32>(rounded);
}

} // namespace

AUBufferList::~AUBufferList()
{
    Deallocate();
}

void AUBufferList::FreeOwnMemory()
{
    if (mMemory != nullptr && !mExternalMemory)
        ::operator delete[](mMemory, kBufferAlignment);
    mMemory = nullptr;
    mExternalMemory = false;
    mAllocatedBytes = 0;
}

void AUBufferList::Allocate(const CAStreamBasicDescription& format, UInt32 frames)
{
    const UInt32 streams = format.NumberChannelStreams();
    if (streams > mAllocatedStreams)
    {
        auto* ptrs = static_cast<AudioBufferList*>(::operator new(FxAudioBufferListSize(streams)));
        std::memset(static_cast<void*>(ptrs), 0, FxAudioBufferListSize(streams));
        ::operator delete(mPtrs);
        mPtrs = ptrs;
        mAllocatedStreams = streams;
    }
    const UInt64 bytes = UInt64{streams} * RoundUp16(UInt64{frames} * format.mBytesPerFrame);
    if (bytes > 0xFFFFFFFFu)
        throw static_cast<OSStatus>(kAudioUnitErr_TooManyFramesToProcess);
    if (bytes > mAllocatedBytes)
    {
        Byte* memory = static_cast<Byte*>(::operator new[](bytes, kBufferAlignment));
        std::memset(memory, 0, bytes);
        FreeOwnMemory(); // an adopted external block is only dropped
        mMemory = memory;
        mAllocatedBytes = static_cast<UInt32>(bytes);
    }
    mAllocatedFrames = frames;
    mPtrState = kPtrsInvalid;
}

void AUBufferList::Deallocate()
{
    FreeOwnMemory();
    ::operator delete(mPtrs);
    mPtrs = nullptr;
    mAllocatedStreams = 0;
    mAllocatedFrames = 0;
    mPtrState = kPtrsInvalid;
}

AudioBufferList& AUBufferList::PrepareBuffer(const CAStreamBasicDescription& format, UInt32 frames)
{
    const UInt32 streams = format.NumberChannelStreams();
    if (streams > mAllocatedStreams || mPtrs == nullptr)
        throw static_cast<OSStatus>(kAudioUnitErr_FormatNotSupported);
    const UInt32 channelsPerBuffer = format.IsInterleaved() ? format.mChannelsPerFrame : 1;
    const UInt64 dataSize = UInt64{frames} * format.mBytesPerFrame;
    const UInt64 stride = RoundUp16(UInt64{format.mBytesPerFrame} * mAllocatedFrames);
    if (streams > 0 && stride * (streams - 1) + dataSize > mAllocatedBytes)
        throw static_cast<OSStatus>(kAudioUnitErr_TooManyFramesToProcess);
    mPtrs->mNumberBuffers = streams;
    for (UInt32 i = 0; i < streams; ++i)
    {
        AudioBuffer& buffer = mPtrs->mBuffers[i];
        buffer.mNumberChannels = channelsPerBuffer;
        buffer.mDataByteSize = static_cast<UInt32>(dataSize);
        buffer.mData = mMemory + stride * i;
    }
    mPtrState = kPtrsToMyMemory;
    return *mPtrs;
}

AudioBufferList& AUBufferList::PrepareNullBuffer(const CAStreamBasicDescription& format,
                                                 UInt32 frames)
{
    const UInt32 streams = format.NumberChannelStreams();
    if (streams > mAllocatedStreams || mPtrs == nullptr)
        throw static_cast<OSStatus>(kAudioUnitErr_FormatNotSupported);
    const UInt32 channelsPerBuffer = format.IsInterleaved() ? format.mChannelsPerFrame : 1;
    mPtrs->mNumberBuffers = streams;
    for (UInt32 i = 0; i < streams; ++i)
    {
        AudioBuffer& buffer = mPtrs->mBuffers[i];
        buffer.mNumberChannels = channelsPerBuffer;
        buffer.mDataByteSize = frames * format.mBytesPerFrame;
        buffer.mData = nullptr;
    }
    mPtrState = kPtrsToExternalMemory;
    return *mPtrs;
}

AudioBufferList& AUBufferList::SetBufferList(const AudioBufferList& list)
{
    if (mPtrs == nullptr || list.mNumberBuffers > mAllocatedStreams)
        throw static_cast<OSStatus>(-1);
    std::memcpy(static_cast<void*>(mPtrs), &list, FxAudioBufferListSize(list.mNumberBuffers));
    mPtrState = kPtrsToExternalMemory;
    return *mPtrs;
}

bool AUBufferList::UseExternalBuffer(const CAStreamBasicDescription& format,
                                     const AudioUnitExternalBuffer& buffer)
{
    const UInt32 usable = buffer.size & ~UInt32{15};
    if (mMemory == nullptr || usable < mAllocatedBytes)
        return false;
    const UInt64 bytesPerFrameAllStreams =
        UInt64{format.NumberChannelStreams()} * format.mBytesPerFrame;
    if (bytesPerFrameAllStreams == 0)
        return false;
    FreeOwnMemory();
    mMemory = buffer.buffer;
    mExternalMemory = true;
    mAllocatedBytes = usable;
    mAllocatedFrames = static_cast<UInt32>(usable / bytesPerFrameAllStreams);
    mPtrState = kPtrsInvalid;
    return true;
}

AudioBufferList& AUBufferList::GetBufferList() const
{
    if (mPtrState == kPtrsInvalid)
        throw static_cast<OSStatus>(-1);
    return *mPtrs;
}

void AUBufferList::CopyBufferListTo(AudioBufferList& list) const
{
    const AudioBufferList& mine = GetBufferList();
    const UInt32 count =
        list.mNumberBuffers < mine.mNumberBuffers ? list.mNumberBuffers : mine.mNumberBuffers;
    for (UInt32 i = 0; i < count; ++i)
        list.mBuffers[i] = mine.mBuffers[i];
}

void AUBufferList::CopyBufferContentsTo(AudioBufferList& list) const
{
    const AudioBufferList& mine = GetBufferList();
    const UInt32 count =
        list.mNumberBuffers < mine.mNumberBuffers ? list.mNumberBuffers : mine.mNumberBuffers;
    for (UInt32 i = 0; i < count; ++i)
    {
        const AudioBuffer& from = mine.mBuffers[i];
        AudioBuffer& to = list.mBuffers[i];
        if (to.mData != from.mData && from.mData != nullptr)
            std::memcpy(to.mData, from.mData, from.mDataByteSize);
        to.mDataByteSize = from.mDataByteSize;
    }
}
