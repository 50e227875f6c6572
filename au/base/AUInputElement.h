// Input and output elements: where a unit's audio comes from (an upstream
// unit or a host callback) and where it renders to.
#pragma once

#include "AUScopeElement.h"

#include <atomic>

class AUOutputElement : public AUIOElement
{
public:
    explicit AUOutputElement(AUBase* audioUnit);
    bool NeedsBufferSpace() const override { return true; }
    OSStatus SetStreamFormat(const CAStreamBasicDescription& format) override;
};

class AUInputElement : public AUIOElement
{
public:
    enum EInputType
    {
        kNoInput = 0,
        kFromConnection = 1,
        kFromCallback = 2,
    };

    explicit AUInputElement(AUBase* audioUnit) : AUIOElement(audioUnit) {}

    bool NeedsBufferSpace() const override { return IsCallback(); }
    OSStatus SetStreamFormat(const CAStreamBasicDescription& format) override;

    // A connection without a source disconnects.
    void SetConnection(const AudioUnitConnection& connection);
    // A null procedure removes the callback.
    void SetInputCallback(AURenderCallback proc, void* refCon);

    EInputType GetInputType() const { return mInputType.load(std::memory_order_acquire); }
    bool IsActive() const { return GetInputType() != kNoInput; }
    bool IsCallback() const { return GetInputType() == kFromCallback; }
    bool HasConnection() const { return GetInputType() == kFromConnection; }
    const AudioUnitConnection& GetConnection() const { return mConnection; }

    // Fills the element's buffer list from the connection or the callback.
    // kAudioUnitErr_NoConnection when there is neither or while either is
    // being changed; otherwise the source's status.
    OSStatus PullInput(AudioUnitRenderActionFlags& ioActionFlags, const AudioTimeStamp& timeStamp,
                       AudioUnitElement element, UInt32 frames);

private:
    void Disconnect();

    std::atomic<EInputType> mInputType{kNoInput};
    std::atomic<bool> mBusy{false};
    AURenderCallback mInputProc = nullptr;
    void* mInputProcRefCon = nullptr;
    AudioUnitConnection mConnection{};
    AudioUnitRenderProc mConnRenderProc = nullptr;
    void* mConnInstanceStorage = nullptr;
};
