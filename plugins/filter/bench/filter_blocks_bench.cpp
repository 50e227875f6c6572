#include "CSoftShaper.h"
#include "CStateVariableFilter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace
{

constexpr int kBlock = 512;

std::vector<float> noiseBlock()
{
    std::vector<float> block(kBlock);
    uint32_t seed = 12345u;
    for (float& x : block)
    {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(seed >> 8) / 16777216.0f * 2.0f - 1.0f;
    }
    return block;
}

// One channel of the filter effect's inner loop: the double-sampled step,
// two responses summed, then the soft shaper. Reported as time per sample.
void FilterStepWithShaper(benchmark::State& state)
{
    Quorlin::Fx::CStateVariableFilter filter(44100.0f);
    filter.setFrequency(0.6f);
    filter.setResonance(0.7f);
    Quorlin::Fx::CSoftShaper shaper;
    shaper.setDrive(0.5f);
    const std::vector<float> in = noiseBlock();
    std::vector<float> out(kBlock);

    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const Quorlin::Fx::SvfResponses r = filter.step(in[i]);
            out[i] = shaper.shape(r.low + r.band);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(FilterStepWithShaper);

} // namespace
