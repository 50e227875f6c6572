// The render cycle: input pull, buffers, the same-time rule, errors,
// floating-point mode and render notifications.
#include "TestUnit.h"

#include <atomic>
#include <thread>
#include <xmmintrin.h>

namespace
{

const AudioUnitScope G = kAudioUnitScope_Global;
const AudioUnitScope I = kAudioUnitScope_Input;
const AudioUnitScope O = kAudioUnitScope_Output;

void UseCallback(AudioUnit unit, AURenderCallback proc, void* refCon = nullptr)
{
    const AURenderCallbackStruct callback{proc, refCon};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, I, 0, &callback,
                                   sizeof callback),
              noErr);
}

struct NotificationLog
{
    std::atomic<int> pre{0};
    std::atomic<int> post{0};
    std::atomic<int> other{0};
};

OSStatus Notification(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*,
                      UInt32, UInt32, AudioBufferList*)
{
    auto* log = static_cast<NotificationLog*>(refCon);
    if (*flags & kAudioUnitRenderAction_PreRender)
        ++log->pre;
    else if (*flags & kAudioUnitRenderAction_PostRender)
        ++log->post;
    else
        ++log->other;
    return noErr;
}

unsigned int sMxcsrInsideRender = 0;

OSStatus RecordFloatingPointMode(void* refCon, AudioUnitRenderActionFlags* flags,
                                 const AudioTimeStamp* stamp, UInt32 bus, UInt32 frames,
                                 AudioBufferList* data)
{
    sMxcsrInsideRender = _mm_getcsr();
    return RampInput(refCon, flags, stamp, bus, frames, data);
}

OSStatus FailingInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                      AudioBufferList*)
{
    return -1234;
}

} // namespace

class Render : public UnitTest
{
protected:
    AudioUnit OpenWithInput(AURenderCallback proc = RampInput)
    {
        AudioUnit unit = Open();
        UseCallback(unit, proc);
        EXPECT_EQ(AudioUnitInitialize(unit), noErr);
        return unit;
    }
    static OSStatus RenderAt(AudioUnit unit, Float64 time, HostBuffers& buffers, UInt32 frames)
    {
        AudioUnitRenderActionFlags flags = 0;
        const AudioTimeStamp stamp = SampleTime(time);
        return AudioUnitRender(unit, &flags, &stamp, 0, frames, &buffers.List());
    }
};

TEST_F(Render, NullAddressesReceiveTheUnitsOwnBuffers)
{
    AudioUnit unit = OpenWithInput();
    AudioUnitSetParameter(unit, kGainParameter, G, 0, 0.5f, 0);
    HostBuffers out(2, 100, false);
    ASSERT_EQ(RenderAt(unit, 0, out, 100), noErr);
    for (UInt32 c = 0; c < 2; ++c)
    {
        const AudioBuffer& buffer = out.List().mBuffers[c];
        ASSERT_NE(buffer.mData, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.mData) % 16, 0u);
        EXPECT_EQ(buffer.mDataByteSize, 400u);
        const auto* samples = static_cast<const Float32*>(buffer.mData);
        EXPECT_EQ(samples[0], 0.5f * static_cast<Float32>(c * 1000));
        EXPECT_EQ(samples[99], 0.5f * static_cast<Float32>(c * 1000 + 99));
    }
    EXPECT_NE(out.List().mBuffers[0].mData, out.List().mBuffers[1].mData);
}

TEST_F(Render, CallerMemoryIsRenderedIntoDirectly)
{
    AudioUnit unit = OpenWithInput();
    HostBuffers out(2, 256, true);
    ASSERT_EQ(RenderAt(unit, 0, out, 256), noErr);
    EXPECT_EQ(out.List().mBuffers[1].mData, out.Channel(1));
    EXPECT_EQ(out.Channel(0)[255], 255.0f);
    EXPECT_EQ(out.Channel(1)[10], 1010.0f);
}

TEST_F(Render, SameSampleTimeRendersOnce)
{
    AudioUnit unit = OpenWithInput();
    HostBuffers out(2, 64, true);
    ASSERT_EQ(RenderAt(unit, 512, out, 64), noErr);
    EXPECT_EQ(UnitObject(unit)->renderCount, 1);

    out.samples[0].assign(64, -7.0f);
    EXPECT_EQ(RenderAt(unit, 512, out, 64), noErr);
    EXPECT_EQ(UnitObject(unit)->renderCount, 1);
    EXPECT_EQ(out.Channel(0)[3], -7.0f);

    EXPECT_EQ(RenderAt(unit, 576, out, 64), noErr);
    EXPECT_EQ(UnitObject(unit)->renderCount, 2);
    // A reset forgets the last time, so the same time renders again.
    ASSERT_EQ(AudioUnitReset(unit, G, 0), noErr);
    EXPECT_EQ(RenderAt(unit, 576, out, 64), noErr);
    EXPECT_EQ(UnitObject(unit)->renderCount, 3);
}

TEST_F(Render, RefusalsAndTheLastRenderError)
{
    AudioUnit unit = Open();
    HostBuffers out(2, 2048, true);
    EXPECT_EQ(RenderAt(unit, 0, out, 64), kAudioUnitErr_Uninitialized);
    OSStatus error = 0;
    UInt32 size = sizeof error;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_LastRenderError, G, 0, &error, &size),
              noErr);
    EXPECT_EQ(error, kAudioUnitErr_Uninitialized);

    int notified = 0;
    AudioUnitAddPropertyListener(
        unit, kAudioUnitProperty_LastRenderError,
        [](void* refCon, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
        { ++*static_cast<int*>(refCon); },
        &notified);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    // The first error stays until it is read.
    EXPECT_EQ(RenderAt(unit, 0, out, 1157), kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(RenderAt(unit, 0, out, 64), kAudioUnitErr_NoConnection);
    EXPECT_EQ(notified, 1);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_LastRenderError, G, 0, &error, &size),
              noErr);
    EXPECT_EQ(error, kAudioUnitErr_TooManyFramesToProcess);
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_LastRenderError, G, 0, &error, &size),
              noErr);
    EXPECT_EQ(error, noErr);

    HostBuffers mono(1, 64, true);
    EXPECT_EQ(RenderAt(unit, 0, mono, 64), paramErr);
    // Lists the unit would write past: one address missing, or room for fewer
    // frames than asked for.
    HostBuffers mixed(2, 64, true);
    mixed.List().mBuffers[1].mData = nullptr;
    EXPECT_EQ(RenderAt(unit, 0, mixed, 64), paramErr);
    HostBuffers small(2, 64, true);
    EXPECT_EQ(RenderAt(unit, 0, small, 65), paramErr);
    AudioUnitRenderActionFlags flags = 0;
    const AudioTimeStamp stamp = SampleTime(0);
    EXPECT_EQ(AudioUnitRender(unit, &flags, &stamp, 1, 64, &out.List()),
              kAudioUnitErr_InvalidElement);
    EXPECT_EQ(AudioUnitRender(unit, &flags, nullptr, 0, 64, &out.List()), paramErr);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &stamp, 0, 64, nullptr), paramErr);
}

TEST_F(Render, UpstreamFailurePassesThrough)
{
    AudioUnit unit = OpenWithInput(FailingInput);
    HostBuffers out(2, 64, true);
    EXPECT_EQ(RenderAt(unit, 0, out, 64), -1234);
}

TEST_F(Render, PullsFromAConnectedUpstreamUnit)
{
    AudioUnit upstream = Open();
    AudioUnit downstream = Open();
    UseCallback(upstream, RampInput);
    const Float64 rate = 48000.0;
    ASSERT_EQ(
        AudioUnitSetProperty(upstream, kAudioUnitProperty_SampleRate, O, 0, &rate, sizeof rate),
        noErr);
    AudioUnitSetParameter(upstream, kGainParameter, G, 0, 2.0f, 0);
    AudioUnitSetParameter(downstream, kGainParameter, G, 0, 0.25f, 0);

    const AudioUnitConnection connection{upstream, 0, 0};
    ASSERT_EQ(AudioUnitSetProperty(downstream, kAudioUnitProperty_MakeConnection, I, 0, &connection,
                                   sizeof connection),
              noErr);
    Float64 inputRate = 0.0;
    UInt32 size = sizeof inputRate;
    AudioUnitGetProperty(downstream, kAudioUnitProperty_SampleRate, I, 0, &inputRate, &size);
    EXPECT_EQ(inputRate, 48000.0); // the connection takes the source's format
    Boolean writable = 1;
    AudioUnitGetPropertyInfo(downstream, kAudioUnitProperty_StreamFormat, I, 0, &size, &writable);
    EXPECT_FALSE(writable);

    ASSERT_EQ(AudioUnitInitialize(upstream), noErr);
    ASSERT_EQ(AudioUnitInitialize(downstream), noErr);
    HostBuffers out(2, 128, true);
    ASSERT_EQ(RenderAt(downstream, 0, out, 128), noErr);
    EXPECT_EQ(out.Channel(0)[100], 50.0f);
    EXPECT_EQ(out.Channel(1)[1], 500.5f);

    const AudioUnitConnection none{nullptr, 0, 0};
    ASSERT_EQ(AudioUnitSetProperty(downstream, kAudioUnitProperty_MakeConnection, I, 0, &none,
                                   sizeof none),
              noErr);
    EXPECT_EQ(RenderAt(downstream, 128, out, 128), kAudioUnitErr_NoConnection);
}

TEST_F(Render, ConnectionRefusedWhenTheFormatCannotChange)
{
    AudioUnit upstream = Open();
    AudioUnit downstream = Open();
    const Float64 rate = 48000.0;
    AudioUnitSetProperty(upstream, kAudioUnitProperty_SampleRate, O, 0, &rate, sizeof rate);
    ASSERT_EQ(AudioUnitInitialize(downstream), noErr);
    const AudioUnitConnection connection{upstream, 0, 0};
    EXPECT_EQ(AudioUnitSetProperty(downstream, kAudioUnitProperty_MakeConnection, I, 0, &connection,
                                   sizeof connection),
              kAudioUnitErr_PropertyNotWritable);
    const AudioUnitConnection missingInput{upstream, 0, 5};
    EXPECT_EQ(AudioUnitSetProperty(downstream, kAudioUnitProperty_MakeConnection, I, 0,
                                   &missingInput, sizeof missingInput),
              kAudioUnitErr_InvalidElement);
    HostBuffers out(2, 64, true);
    EXPECT_EQ(RenderAt(downstream, 0, out, 64), kAudioUnitErr_NoConnection);
}

TEST_F(Render, FlushesDenormalsOnlyWhileRendering)
{
    AudioUnit unit = OpenWithInput(RecordFloatingPointMode);
    const unsigned int saved = _mm_getcsr();
    _mm_setcsr(saved & ~0x8040u);
    HostBuffers out(2, 64, true);
    const OSStatus result = RenderAt(unit, 0, out, 64);
    const unsigned int after = _mm_getcsr();
    _mm_setcsr(saved);
    ASSERT_EQ(result, noErr);
    EXPECT_EQ(sMxcsrInsideRender & 0x8040u, 0x8040u);
    EXPECT_EQ(after & 0x8040u, 0u);
}

TEST_F(Render, ExternalBufferIsUsedWhenLargeEnough)
{
    AudioUnit unit = OpenWithInput();
    // Two streams of 1156 frames of 4 bytes, each rounded up to 16 bytes.
    const UInt32 needed = 2 * 4624;
    std::vector<Float32> block(needed / 4 + 8);
    auto* aligned =
        reinterpret_cast<Byte*>((reinterpret_cast<uintptr_t>(block.data()) + 15) & ~uintptr_t{15});
    const AudioUnitExternalBuffer small{aligned, needed - 16};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetExternalBuffer, O, 0, &small,
                                   sizeof small),
              noErr);
    HostBuffers out(2, 64, false);
    ASSERT_EQ(RenderAt(unit, 0, out, 64), noErr);
    EXPECT_NE(out.List().mBuffers[0].mData, aligned); // too small: not adopted

    const AudioUnitExternalBuffer large{aligned, needed};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetExternalBuffer, O, 0, &large,
                                   sizeof large),
              noErr);
    HostBuffers again(2, 64, false);
    ASSERT_EQ(RenderAt(unit, 64, again, 64), noErr);
    EXPECT_EQ(again.List().mBuffers[0].mData, aligned);
    EXPECT_EQ(static_cast<const Float32*>(again.List().mBuffers[1].mData)[2], 1002.0f);
}

TEST_F(Render, NotificationsRunBeforeAndAfterAndAreNotDuplicated)
{
    AudioUnit unit = OpenWithInput();
    NotificationLog log;
    EXPECT_EQ(AudioUnitAddRenderNotify(unit, nullptr, &log), paramErr);
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, Notification, &log), noErr);
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, Notification, &log), noErr);
    HostBuffers out(2, 64, true);
    ASSERT_EQ(RenderAt(unit, 0, out, 64), noErr);
    EXPECT_EQ(UnitObject(unit)->RenderNotificationCount(), 1u);
    EXPECT_EQ(log.pre, 1);
    EXPECT_EQ(log.post, 1);
    EXPECT_EQ(log.other, 0);

    ASSERT_EQ(AudioUnitRemoveRenderNotify(unit, Notification, &log), noErr);
    ASSERT_EQ(RenderAt(unit, 64, out, 64), noErr);
    EXPECT_EQ(UnitObject(unit)->RenderNotificationCount(), 0u);
    EXPECT_EQ(log.pre, 1);
}

TEST_F(Render, NotificationsChangeFromAnotherThreadWhileRendering)
{
    AudioUnit unit = OpenWithInput();
    NotificationLog logs[4];
    std::atomic<bool> done{false};
    std::atomic<int> renders{0};

    std::thread audio(
        [&]
        {
            HostBuffers out(2, 32, true);
            Float64 time = 0;
            while (!done.load())
            {
                EXPECT_EQ(RenderAt(unit, time, out, 32), noErr);
                time += 32;
                ++renders;
            }
        });
    while (renders.load() == 0)
        std::this_thread::yield();
    for (int round = 0; round < 2000 || renders.load() < 200; ++round)
    {
        NotificationLog& log = logs[round % 4];
        AudioUnitAddRenderNotify(unit, Notification, &log);
        if (round % 3 != 0)
            AudioUnitRemoveRenderNotify(unit, Notification, &log);
        if (round % 200 == 0)
            std::this_thread::yield();
    }
    // Leave exactly two registered: logs[0] and logs[1].
    for (NotificationLog& log : logs)
        AudioUnitRemoveRenderNotify(unit, Notification, &log);
    AudioUnitAddRenderNotify(unit, Notification, &logs[0]);
    AudioUnitAddRenderNotify(unit, Notification, &logs[1]);
    while (renders.load() < 50)
        std::this_thread::yield();
    done = true;
    audio.join();

    HostBuffers out(2, 32, true);
    const int before = logs[1].pre.load();
    ASSERT_EQ(RenderAt(unit, 1e9, out, 32), noErr);
    EXPECT_EQ(UnitObject(unit)->RenderNotificationCount(), 2u);
    EXPECT_EQ(logs[1].pre.load(), before + 1);
    for (const NotificationLog& log : logs)
        EXPECT_EQ(log.pre.load(), log.post.load());
}
