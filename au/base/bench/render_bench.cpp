// What the base layer costs per render call: a pass-through unit pulling a
// callback input, rendered through the Component Manager as a host does.
#include "AUBase.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{

class PassThrough : public AUBase
{
public:
    explicit PassThrough(ComponentInstance instance) : AUBase(instance, 1, 1) {}
    bool StreamFormatWritable(AudioUnitScope, AudioUnitElement) override
    {
        return !IsInitialized();
    }
    OSStatus Render(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& stamp,
                    UInt32 frames) override
    {
        return GetInput(0)->PullInput(flags, stamp, 0, frames);
    }
};

OSStatus Silence(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                 AudioBufferList*)
{
    return noErr;
}

AudioUnit OpenPassThrough()
{
    static Component component = []
    {
        const ComponentDescription description{kAudioUnitType_Effect, 0x70617373, 0x71426E63, 0, 0};
        return FxRegisterComponent(&description, ComponentEntryPoint<PassThrough>::Dispatch,
                                   "Bench: pass-through", 1);
    }();
    AudioUnit unit = OpenComponent(component);
    const AURenderCallbackStruct callback{Silence, nullptr};
    AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                         &callback, sizeof callback);
    AudioUnitInitialize(unit);
    return unit;
}

void RenderCall(benchmark::State& state)
{
    AudioUnit unit = OpenPassThrough();
    const auto frames = static_cast<UInt32>(state.range(0));
    const bool callerMemory = state.range(1) != 0;
    std::vector<Float32> left(frames), right(frames);
    std::vector<std::byte> listBytes(FxAudioBufferListSize(2));
    auto& list = *reinterpret_cast<AudioBufferList*>(listBytes.data());
    AudioTimeStamp stamp{};
    for (auto _ : state)
    {
        list.mNumberBuffers = 2;
        for (UInt32 c = 0; c < 2; ++c)
        {
            list.mBuffers[c].mNumberChannels = 1;
            list.mBuffers[c].mDataByteSize = frames * 4;
        }
        list.mBuffers[0].mData = callerMemory ? left.data() : nullptr;
        list.mBuffers[1].mData = callerMemory ? right.data() : nullptr;
        AudioUnitRenderActionFlags flags = 0;
        benchmark::DoNotOptimize(AudioUnitRender(unit, &flags, &stamp, 0, frames, &list));
        stamp.mSampleTime += frames;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * frames);
    CloseComponent(unit);
}

} // namespace

BENCHMARK(RenderCall)->Args({64, 1})->Args({512, 1})->Args({512, 0});
