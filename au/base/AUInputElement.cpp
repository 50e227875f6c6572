#include "AUInputElement.h"

#include "AUBase.h"

// ---- AUOutputElement ------------------------------------------------------

AUOutputElement::AUOutputElement(AUBase* audioUnit) : AUIOElement(audioUnit)
{
    AllocateBuffer();
}

OSStatus AUOutputElement::SetStreamFormat(const CAStreamBasicDescription& format)
{
    AUIOElement::SetStreamFormat(format);
    AllocateBuffer();
    return noErr;
}

// ---- AUInputElement -------------------------------------------------------

OSStatus AUInputElement::SetStreamFormat(const CAStreamBasicDescription& format)
{
    AUIOElement::SetStreamFormat(format);
    AllocateBuffer();
    return noErr;
}

void AUInputElement::Disconnect()
{
    mInputType.store(kNoInput, std::memory_order_release);
    DeallocateBuffer();
}

void AUInputElement::SetConnection(const AudioUnitConnection& connection)
{
    if (connection.sourceAudioUnit == nullptr)
    {
        Disconnect();
        return;
    }
    mBusy.store(true, std::memory_order_release);
    mInputType.store(kFromConnection, std::memory_order_release);
    mConnection = connection;
    AllocateBuffer();

    AudioUnitRenderProc renderProc = nullptr;
    UInt32 size = sizeof renderProc;
    if (AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_FastDispatch,
                             kAudioUnitScope_Global, kAudioUnitRenderSelect, &renderProc,
                             &size) != noErr ||
        size != sizeof renderProc)
        renderProc = nullptr;
    mConnRenderProc = renderProc;
    mConnInstanceStorage = GetComponentInstanceStorage(connection.sourceAudioUnit);
    mBusy.store(false, std::memory_order_release);
}

void AUInputElement::SetInputCallback(AURenderCallback proc, void* refCon)
{
    if (proc == nullptr)
    {
        Disconnect();
        return;
    }
    mBusy.store(true, std::memory_order_release);
    mInputType.store(kFromCallback, std::memory_order_release);
    mInputProc = proc;
    mInputProcRefCon = refCon;
    AllocateBuffer();
    mBusy.store(false, std::memory_order_release);
}

OSStatus AUInputElement::PullInput(AudioUnitRenderActionFlags& ioActionFlags,
                                   const AudioTimeStamp& timeStamp, AudioUnitElement element,
                                   UInt32 frames)
{
    const EInputType type = GetInputType();
    if (type == kNoInput || mBusy.load(std::memory_order_acquire))
        return kAudioUnitErr_NoConnection;

    if (NeedsBufferSpace() && mIOBuffer.GetAllocatedFrames() < frames)
        AllocateBuffer(frames);

    OSStatus result = noErr;
    if (type == kFromConnection)
    {
        AudioBufferList& list = PrepareNullBuffer(frames);
        if (mConnRenderProc != nullptr)
            result = mConnRenderProc(mConnInstanceStorage, &ioActionFlags, &timeStamp,
                                     mConnection.sourceOutputNumber, frames, &list);
        else
            result = AudioUnitRender(mConnection.sourceAudioUnit, &ioActionFlags, &timeStamp,
                                     mConnection.sourceOutputNumber, frames, &list);
    }
    else
    {
        AudioBufferList& list = PrepareBuffer(frames);
        result = mInputProc(mInputProcRefCon, &ioActionFlags, &timeStamp, element, frames, &list);
    }

    if (GetInputType() == kNoInput)
        return kAudioUnitErr_NoConnection;
    return result;
}
