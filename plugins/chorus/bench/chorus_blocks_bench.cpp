#include "SaturationTable.h"
#include "apFDelay.h"
#include "apLFO.h"
#include "grumboFilter.h"
#include "grumbochorus.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace
{

constexpr int kBlock = 512;

// The chorus's work for one stereo frame with the blocks' own operations,
// one sample at a time: the LFO pair, four fractional delay reads, two
// saturations and two band-pass steps. Reported as time per frame.
void ChorusFrame(benchmark::State& state)
{
    const double rate = 44100.0;
    apLFO lfo;
    lfo.setSampleRate(rate);
    lfo.setSpeed(4.0f);
    apFDelay delayL, delayR;
    grumboFilter filterL, filterR;
    for (apFDelay* line : {&delayL, &delayR})
    {
        line->setSampleRate(rate);
        line->setMaxDelay(30.0f);
    }
    for (grumboFilter* filter : {&filterL, &filterR})
    {
        filter->setSampleRate(rate);
        filter->set(300.0f, 2500.0f);
    }
    const SaturationTable sat;

    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    for (int i = 0; i < kBlock; ++i)
    {
        inL[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
        inR[i] = 0.5f * std::cos(0.031f * static_cast<float>(i));
    }
    const float modDepth = 8.0f, baseDelay = 18.0f, dry = 0.7071f, wet = 0.3928f;

    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            float a = 0.0f, b = 0.0f;
            lfo.get90Values(&a, &b);
            a *= modDepth;
            b *= modDepth;
            const float sumL = delayL.read(baseDelay + a) + delayL.read(baseDelay + b);
            const float sumR =
                delayR.read(baseDelay + modDepth - a) + delayR.read(baseDelay + modDepth - b);
            delayL.write(filterL.step(sat.saturate(2.0f * inL[i] - 0.1f * sumR)));
            delayR.write(filterR.step(sat.saturate(2.0f * inR[i] - 0.1f * sumL)));
            lfo.advance();
            outL[i] = inL[i] * dry + sumL * wet;
            outR[i] = inR[i] * dry + sumR * wet;
        }
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        benchmark::ClobberMemory();
    }
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ChorusFrame);

// The whole effect's processReplacing at its defaults on noise, without a
// host around it. Reported as time per stereo frame.
void ChorusEffect(benchmark::State& state)
{
    grumbochorus effect(nullptr);
    effect.setSampleRate(44100.0f);
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    uint32_t seed = 1;
    for (int i = 0; i < kBlock; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        inL[i] = 0.5f * (static_cast<float>(seed >> 8) / 16777216.0f - 0.5f);
        seed = seed * 1664525u + 1013904223u;
        inR[i] = 0.5f * (static_cast<float>(seed >> 8) / 16777216.0f - 0.5f);
    }
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    for (auto _ : state)
    {
        effect.processReplacing(inputs, outputs, kBlock);
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
    }
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ChorusEffect);

} // namespace
