// Speed of Grizzbox2's processReplacing (the built bundle, loaded as a host
// loads it) in stereo blocks of 512 frames, next to sox's overdrive effect
// measured in the same run.
//
// sox runs as a program, so its effect's own cost is the difference between
// two runs over the same stereo 44.1 kHz file, with the effect and without it
// (reading, converting and discarding the audio is common to both), in CPU
// time. Its buffers are set to 512 stereo frames of its 32-bit samples.
//
// Run: build/bench/grizzbox2_bench (the bundle is found through FX_BUNDLE_DIR,
// or next to the build this benchmark belongs to).
#include "aeffectx.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <numbers>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int kBlock = 512;
constexpr double kRate = 44100.0;

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

AEffect* openGrizzbox2()
{
    const char* dir = std::getenv("FX_BUNDLE_DIR");
    const std::string path = std::string(dir ? dir : FX_DEFAULT_BUNDLE_DIR) +
                             "/Grizzbox2.vst/Contents/x86_64-linux/Grizzbox2.so";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    auto main =
        reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
    AEffect* effect = main ? main(host) : nullptr;
    if (!effect)
        return nullptr;
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    return effect;
}

// Time per stereo frame and the multiple of real time at 44.1 kHz, from the
// benchmark's CPU time (for sox: the manual time) per iteration.
void reportPerFrame(benchmark::State& state, double framesPerIteration)
{
    state.counters["per_frame"] =
        benchmark::Counter(framesPerIteration, benchmark::Counter::kIsIterationInvariantRate |
                                                   benchmark::Counter::kInvert);
    state.counters["x_realtime"] = benchmark::Counter(
        framesPerIteration / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

// fuzz amount, stomp
void BM_Grizzbox2(benchmark::State& state)
{
    AEffect* effect = openGrizzbox2();
    if (!effect)
    {
        state.SkipWithError("cannot open Grizzbox2.so");
        return;
    }
    effect->setParameter(effect, 0, static_cast<float>(state.range(0)) / 100.0f);
    effect->setParameter(effect, 3, static_cast<float>(state.range(1)));

    // A second of music-like input, played in a loop.
    const int frames = static_cast<int>(kRate);
    std::vector<float> left(frames), right(frames), outL(kBlock), outR(kBlock);
    for (int i = 0; i < frames; ++i)
    {
        const double t = i / kRate;
        left[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 110.0 * t) +
                                     0.1 * std::sin(2 * std::numbers::pi * 1234.5 * t));
        right[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 164.8 * t));
    }
    int position = 0;
    for (auto _ : state)
    {
        float* inputs[2] = {left.data() + position, right.data() + position};
        float* outputs[2] = {outL.data(), outR.data()};
        effect->processReplacing(effect, inputs, outputs, kBlock);
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        position += kBlock;
        if (position + kBlock > frames)
            position = 0;
    }
    reportPerFrame(state, kBlock);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}
BENCHMARK(BM_Grizzbox2)->ArgNames({"fuzz", "stomp"})->Args({10, 1})->Args({100, 1})->Args({10, 0});

// The same test file for every sox run: stereo, 44.1 kHz, 32-bit float.
constexpr double kSoxSeconds = 120.0;

// Removes the test file when the benchmark program ends.
struct TemporaryFile
{
    std::string path;
    ~TemporaryFile()
    {
        if (!path.empty())
            std::remove(path.c_str());
    }
};

std::string makeSoxInput()
{
    char name[] = "/tmp/grizzbox2-bench-XXXXXX.wav";
    const int fd = mkstemps(name, 4);
    if (fd < 0)
        return {};
    close(fd);
    const std::string command = std::string("sox -n -r 44100 -c 2 -e floating-point -b 32 -q ") +
                                name + " synth " + std::to_string(kSoxSeconds) +
                                " sine 110 sine 164.8 gain -10 2>/dev/null";
    if (std::system(command.c_str()) == 0)
        return name;
    std::remove(name);
    return {};
}

std::string soxInput()
{
    static const TemporaryFile file{makeSoxInput()};
    return file.path;
}

// CPU seconds (user and system) that the command's processes used; -1 if it
// failed. CPU time, like the benchmark's own measure of the plug-in, is
// what stays comparable on a machine shared with other work.
double cpuSecondsToRun(const std::string& command)
{
    auto childSeconds = []
    {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; };
        return seconds(usage.ru_utime) + seconds(usage.ru_stime);
    };
    const double before = childSeconds();
    const int status = std::system(command.c_str());
    const double after = childSeconds();
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    return after - before;
}

void BM_SoxOverdrive(benchmark::State& state)
{
    const std::string input = soxInput();
    if (input.empty())
    {
        state.SkipWithError("sox is missing or cannot write the test file");
        return;
    }
    // 512 stereo frames of sox's 32-bit samples.
    const std::string sox = "sox --buffer 4096 " + input + " -n";
    for (auto _ : state)
    {
        const double plain = cpuSecondsToRun(sox + " 2>/dev/null");
        const double withEffect = cpuSecondsToRun(sox + " overdrive 20 20 2>/dev/null");
        if (plain < 0.0 || withEffect < 0.0)
        {
            state.SkipWithError("sox failed");
            return;
        }
        state.SetIterationTime(std::max(withEffect - plain, 1e-9));
    }
    reportPerFrame(state, kSoxSeconds * kRate);
}
BENCHMARK(BM_SoxOverdrive)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
