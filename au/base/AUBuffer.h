// The buffer list of an I/O element: the memory its audio lives in between
// render calls, and the AudioBufferList that describes it. Memory only grows;
// every channel buffer starts on a 16-byte boundary.
#pragma once

#include "CAStreamBasicDescription.h"

#include <AudioUnit/AudioUnit.h>

class AUBufferList
{
public:
    enum PtrState
    {
        kPtrsInvalid = 0,
        kPtrsToMyMemory = 1,
        kPtrsToExternalMemory = 2,
    };

    AUBufferList() = default;
    ~AUBufferList();
    AUBufferList(const AUBufferList&) = delete;
    AUBufferList& operator=(const AUBufferList&) = delete;

    // Makes room for frames of the format. Memory and the pointer array only
    // grow; the list is invalid afterwards.
    void Allocate(const CAStreamBasicDescription& format, UInt32 frames);
    void Deallocate();

    // Describes the own memory for frames of the format. Throws
    // kAudioUnitErr_FormatNotSupported when the format has more streams than
    // were allocated, kAudioUnitErr_TooManyFramesToProcess when the buffers
    // would not fit the memory.
    AudioBufferList& PrepareBuffer(const CAStreamBasicDescription& format, UInt32 frames);
    // The same list with null data addresses, for a source to fill in.
    AudioBufferList& PrepareNullBuffer(const CAStreamBasicDescription& format, UInt32 frames);
    // Adopts a caller's buffer descriptions (external memory). Throws -1 when
    // the list has no room for that many buffers.
    AudioBufferList& SetBufferList(const AudioBufferList& list);
    // Renders into a host's block from now on, when the block is at least as
    // large as the own memory; answers whether it was adopted.
    bool UseExternalBuffer(const CAStreamBasicDescription& format,
                           const AudioUnitExternalBuffer& buffer);

    void InvalidateBufferList() { mPtrState = kPtrsInvalid; }
    PtrState GetPtrState() const { return mPtrState; }
    bool IsPrepared() const { return mPtrState != kPtrsInvalid; }
    // Throws -1 when the list is not prepared.
    AudioBufferList& GetBufferList() const;
    // Copies the buffer descriptions (addresses and sizes) into list.
    void CopyBufferListTo(AudioBufferList& list) const;
    // Copies the samples into list's buffers (skipped where the addresses are
    // equal) together with their sizes.
    void CopyBufferContentsTo(AudioBufferList& list) const;

    UInt32 GetAllocatedFrames() const { return mAllocatedFrames; }
    UInt32 GetAllocatedStreams() const { return mAllocatedStreams; }
    UInt32 GetAllocatedBytes() const { return mAllocatedBytes; }
    bool UsesExternalMemory() const { return mExternalMemory; }

private:
    void FreeOwnMemory();

    PtrState mPtrState = kPtrsInvalid;
    bool mExternalMemory = false;
    AudioBufferList* mPtrs = nullptr;
    Byte* mMemory = nullptr;
    UInt32 mAllocatedStreams = 0;
    UInt32 mAllocatedFrames = 0;
    UInt32 mAllocatedBytes = 0;
};
