// Rendering cost of the two Audio Unit effects, next to comparable effects
// from Debian's packages measured in the same run: the LADSPA state-variable
// filter and choruses (hosted here through ladspa.h) and sox's bandpass and
// chorus (the sox program on a generated file, its run without the effect
// subtracted). Every figure is time per stereo frame at 512-frame blocks,
// reported as the counter "per_stereo_frame"; mono peers run one instance
// per channel.
//
// The bundles are loaded from FX_BUNDLE_DIR (default: build/bundles beside
// this program) as a host loads them.
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <ladspa.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr UInt32 kFrames = 512;
constexpr double kRate = 44100.0;

std::vector<float> Noise(size_t frames, unsigned seed)
{
    std::vector<float> signal(frames);
    for (float& sample : signal)
    {
        seed = seed * 1664525u + 1013904223u;
        sample = 0.5f * (static_cast<float>(seed >> 8) / static_cast<float>(1u << 24) - 0.5f);
    }
    return signal;
}

void ReportPerFrame(benchmark::State& state)
{
    state.counters["per_stereo_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kFrames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// ---- Our effects, as Audio Unit components -----------------------------------

std::string BundleDir()
{
    if (const char* dir = std::getenv("FX_BUNDLE_DIR"))
        return dir;
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, length > 0 ? static_cast<size_t>(length) : 0);
    return path.substr(0, path.find_last_of('/')) + "/../bundles";
}

AudioUnit OpenEffect(const char* bundle, OSType subtype)
{
    SInt32 count = 0;
    if (FxRegisterComponentsFromBundle((BundleDir() + "/" + bundle).c_str(), &count) != noErr)
        return nullptr;
    const ComponentDescription looking{kAudioUnitType_Effect, subtype, 0x716F524C, 0, 0};
    AudioUnit unit = nullptr;
    if (OpenAComponent(FindNextComponent(nullptr, &looking), &unit) != noErr)
        return nullptr;
    AudioStreamBasicDescription format{};
    format.mSampleRate = kRate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    format.mBitsPerChannel = 32;
    format.mFramesPerPacket = 1;
    format.mChannelsPerFrame = 2;
    format.mBytesPerFrame = 4;
    format.mBytesPerPacket = 4;
    for (AudioUnitScope scope : {kAudioUnitScope_Input, kAudioUnitScope_Output})
        AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, 0, &format,
                             sizeof format);
    return unit;
}

struct Source
{
    std::vector<float> left = Noise(kFrames, 1), right = Noise(kFrames, 2);

    static OSStatus Pull(void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32 frames, AudioBufferList* data)
    {
        auto& source = *static_cast<Source*>(self);
        std::copy_n(source.left.data(), frames, static_cast<float*>(data->mBuffers[0].mData));
        std::copy_n(source.right.data(), frames, static_cast<float*>(data->mBuffers[1].mData));
        return noErr;
    }
};

void RenderEffect(benchmark::State& state, const char* bundle, OSType subtype, SInt32 preset)
{
    AudioUnit unit = OpenEffect(bundle, subtype);
    if (unit == nullptr)
    {
        state.SkipWithError("bundle not found: build the bundles or set FX_BUNDLE_DIR");
        return;
    }
    Source source;
    AURenderCallbackStruct callback{&Source::Pull, &source};
    AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                         &callback, sizeof callback);
    AudioUnitInitialize(unit);
    if (preset >= 0)
    {
        const AUPreset chosen{preset, nullptr};
        AudioUnitSetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0,
                             &chosen, sizeof chosen);
    }

    std::vector<float> left(kFrames), right(kFrames);
    std::vector<std::byte> memory(FxAudioBufferListSize(2));
    auto* list = reinterpret_cast<AudioBufferList*>(memory.data());
    AudioTimeStamp time{};
    time.mFlags = kAudioTimeStampSampleTimeValid;
    for (auto _ : state)
    {
        list->mNumberBuffers = 2;
        list->mBuffers[0] = {1, kFrames * 4, left.data()};
        list->mBuffers[1] = {1, kFrames * 4, right.data()};
        AudioUnitRenderActionFlags flags = 0;
        AudioUnitRender(unit, &flags, &time, 0, kFrames, list);
        time.mSampleTime += kFrames;
        benchmark::DoNotOptimize(left.data());
    }
    ReportPerFrame(state);
    CloseComponent(unit);
}

void BM_Tirrow(benchmark::State& state)
{
    // "Full ahead warp speed": every response summed, drive at full.
    RenderEffect(state, "Tirrow.component", 0x71546972, 9);
}
BENCHMARK(BM_Tirrow);

void BM_GrumboChorus(benchmark::State& state)
{
    RenderEffect(state, "GrumboChorus.component", 0x71477263, -1);
}
BENCHMARK(BM_GrumboChorus);

// ---- LADSPA peers ---------------------------------------------------------------

struct LadspaPeer
{
    const char* file;
    const char* label;
    std::map<std::string, float> controls; // by port name prefix; others at their lower bound
};

void RenderLadspa(benchmark::State& state, const LadspaPeer& peer)
{
    void* library = dlopen((std::string("/usr/lib/ladspa/") + peer.file).c_str(), RTLD_NOW);
    auto describe =
        library != nullptr
            ? reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(library, "ladspa_descriptor"))
            : nullptr;
    const LADSPA_Descriptor* descriptor = nullptr;
    for (unsigned long i = 0; describe != nullptr && (descriptor = describe(i)) != nullptr; ++i)
        if (std::string(descriptor->Label) == peer.label)
            break;
    if (descriptor == nullptr)
    {
        state.SkipWithError("LADSPA plug-in not installed (swh-plugins, caps)");
        return;
    }

    const std::vector<float> input[2] = {Noise(kFrames, 1), Noise(kFrames, 2)};
    std::vector<float> output[2] = {std::vector<float>(kFrames), std::vector<float>(kFrames)};
    std::vector<float> controls(descriptor->PortCount, 0.0f);
    LADSPA_Handle handles[2] = {};
    for (int channel = 0; channel < 2; ++channel)
    {
        handles[channel] = descriptor->instantiate(descriptor, static_cast<unsigned long>(kRate));
        for (unsigned long port = 0; port < descriptor->PortCount; ++port)
        {
            const LADSPA_PortDescriptor kind = descriptor->PortDescriptors[port];
            if (LADSPA_IS_PORT_CONTROL(kind))
            {
                controls[port] = descriptor->PortRangeHints[port].LowerBound;
                for (const auto& [prefix, value] : peer.controls)
                    if (std::string(descriptor->PortNames[port]).rfind(prefix, 0) == 0)
                        controls[port] = value;
                descriptor->connect_port(handles[channel], port, &controls[port]);
            }
            else if (LADSPA_IS_PORT_INPUT(kind))
                descriptor->connect_port(handles[channel], port,
                                         const_cast<float*>(input[channel].data()));
            else
                descriptor->connect_port(handles[channel], port, output[channel].data());
        }
        if (descriptor->activate != nullptr)
            descriptor->activate(handles[channel]);
    }
    for (auto _ : state)
    {
        descriptor->run(handles[0], kFrames);
        descriptor->run(handles[1], kFrames);
        benchmark::DoNotOptimize(output[0].data());
    }
    ReportPerFrame(state);
    for (LADSPA_Handle handle : handles)
        descriptor->cleanup(handle);
}

void BM_LadspaStateVariableFilter(benchmark::State& state)
{
    RenderLadspa(state, {"svf_1214.so",
                         "svf",
                         {{"Filter type", 1.0f},
                          {"Filter freq", 1000.0f},
                          {"Filter Q", 0.5f},
                          {"Filter resonance", 0.5f}}});
}
BENCHMARK(BM_LadspaStateVariableFilter);

void BM_LadspaMultivoiceChorus(benchmark::State& state)
{
    RenderLadspa(state, {"multivoice_chorus_1201.so",
                         "multivoiceChorus",
                         {{"Number of voices", 2.0f},
                          {"Delay base", 20.0f},
                          {"Voice separation", 0.5f},
                          {"Detune", 1.0f},
                          {"LFO frequency", 5.0f},
                          {"Output attenuation", 0.0f}}});
}
BENCHMARK(BM_LadspaMultivoiceChorus);

void BM_LadspaCapsChorus(benchmark::State& state)
{
    RenderLadspa(state, {"caps.so",
                         "ChorusI",
                         {{"t (ms)", 10.0f},
                          {"width", 2.875f},
                          {"rate", 0.5f},
                          {"blend", 0.5f},
                          {"feedforward", 0.25f},
                          {"feedback", 0.25f}}});
}
BENCHMARK(BM_LadspaCapsChorus);

// ---- sox, as a program ----------------------------------------------------------

constexpr long kSoxSeconds = 20;

const std::string& SoxInput()
{
    static const std::string path = []
    {
        const std::string file = "/tmp/fx_au_effects_bench_input.wav";
        const std::string command = "sox -n -r 44100 -c 2 -e floating-point -b 32 " + file +
                                    " synth " + std::to_string(kSoxSeconds) +
                                    " whitenoise vol 0.5 2>/dev/null";
        return std::system(command.c_str()) == 0 ? file : std::string();
    }();
    return path;
}

double RunSox(const std::string& effect)
{
    // 4096-byte buffers: 512 stereo frames of sox's 32-bit samples.
    const std::string command =
        "sox --buffer 4096 " + SoxInput() + " -t null /dev/null " + effect + " 2>/dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int result = std::system(command.c_str());
    const auto stop = std::chrono::steady_clock::now();
    return result == 0 ? std::chrono::duration<double>(stop - start).count() : -1.0;
}

void RenderSox(benchmark::State& state, const std::string& effect)
{
    if (SoxInput().empty())
    {
        state.SkipWithError("sox not installed");
        return;
    }
    for (auto _ : state)
    {
        const double plain = RunSox("");
        const double with = RunSox(effect);
        if (plain < 0.0 || with < 0.0)
        {
            state.SkipWithError("sox failed");
            return;
        }
        state.SetIterationTime(std::max(with - plain, 0.0));
    }
    // One iteration is the whole file.
    state.counters["per_stereo_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSoxSeconds * kRate,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SoxBandpass(benchmark::State& state)
{
    RenderSox(state, "bandpass 1000 200");
}
BENCHMARK(BM_SoxBandpass)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SoxChorus(benchmark::State& state)
{
    RenderSox(state, "chorus 0.7 0.9 55 0.4 0.25 2 -t");
}
BENCHMARK(BM_SoxChorus)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
