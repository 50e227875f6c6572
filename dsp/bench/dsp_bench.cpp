// Per-sample cost of every module's processing call. Each iteration runs a
// block of kBlock samples; the "per_sample" counter is the figure to read.
#include "csd_dsp.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
constexpr int kBlock = 256;

const std::vector<float>& input()
{
    static const std::vector<float> signal = []
    {
        std::vector<float> s(kBlock);
        for (int n = 0; n < kBlock; ++n)
            s[n] = 0.8f * static_cast<float>(std::sin(n * 0.0731) + 0.3 * std::sin(n * 0.91));
        return s;
    }();
    return signal;
}

template <typename Step> void runBlocks(benchmark::State& state, Step step)
{
    const std::vector<float>& x = input();
    for (auto _ : state)
    {
        float acc = 0.0f;
        for (int n = 0; n < kBlock; ++n)
            acc += step(x[n]);
        benchmark::DoNotOptimize(acc);
    }
    // Time per sample, shown with its unit (e.g. "3.4ns").
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_dist_mxr(benchmark::State& state)
{
    dist_mxr_struct m;
    dist_mxr_init(&m);
    dist_mxr_set_attr(&m, 630, 0.3f);
    dist_mxr_set_attr(&m, 632, 0.5f);
    runBlocks(state, [&](float x) { return dist_mxr_dsp(&m, x); });
}
BENCHMARK(BM_dist_mxr);

void BM_filter_2_pole_low_pass(benchmark::State& state)
{
    filter_2_pole_low_pass_struct f;
    filter_2_pole_low_pass_init(&f);
    filter_2_pole_low_pass_set_attr(&f, 201, 0.707f);
    runBlocks(state, [&](float x) { return filter_2_pole_low_pass_dsp(&f, x); });
}
BENCHMARK(BM_filter_2_pole_low_pass);

// The fuzz's per-channel chain: distortion then tone filter.
void BM_fuzz_chain(benchmark::State& state)
{
    dist_mxr_struct m;
    dist_mxr_init(&m);
    dist_mxr_set_attr(&m, 630, 0.3f);
    dist_mxr_set_attr(&m, 632, 0.5f);
    filter_2_pole_low_pass_struct f;
    filter_2_pole_low_pass_init(&f);
    filter_2_pole_low_pass_set_attr(&f, 201, 0.707f);
    runBlocks(state, [&](float x) { return filter_2_pole_low_pass_dsp(&f, dist_mxr_dsp(&m, x)); });
}
BENCHMARK(BM_fuzz_chain);

void BM_filter_butterworth_2P_LP(benchmark::State& state)
{
    filter_butterworth_2P_LP_struct f;
    filter_butterworth_2P_LP_init(&f);
    runBlocks(state, [&](float x) { return filter_butterworth_2P_LP_dsp(&f, x); });
}
BENCHMARK(BM_filter_butterworth_2P_LP);

void BM_filter_butterworth_2P_HP(benchmark::State& state)
{
    filter_butterworth_2P_HP_struct f;
    filter_butterworth_2P_HP_init(&f);
    runBlocks(state, [&](float x) { return filter_butterworth_2P_HP_dsp(&f, x); });
}
BENCHMARK(BM_filter_butterworth_2P_HP);

void BM_filter_4P_LP(benchmark::State& state)
{
    filter_4P_LP_struct f;
    filter_4P_LP_init(&f);
    filter_4P_LP_set_attr(&f, 200, 2000.0f);
    filter_4P_LP_set_attr(&f, 201, 3.0f);
    runBlocks(state, [&](float x) { return filter_4P_LP_dsp(&f, x); });
}
BENCHMARK(BM_filter_4P_LP);

void BM_filter_biquad(benchmark::State& state)
{
    filter_biquad_struct f;
    filter_biquad_init(&f);
    filter_biquad_set_attr(&f, 210, 4.0f);
    filter_biquad_set_attr(&f, 212, 6.0f);
    runBlocks(state, [&](float x) { return filter_biquad_dsp(&f, x); });
}
BENCHMARK(BM_filter_biquad);

void BM_filter_average(benchmark::State& state)
{
    filter_average_struct f;
    filter_average_init(&f);
    filter_average_set_attr(&f, 230, 64.0f);
    filter_average_set_attr(&f, 231, static_cast<float>(state.range(0)));
    runBlocks(state, [&](float x) { return filter_average_dsp(&f, x); });
    filter_average_free(&f);
}
BENCHMARK(BM_filter_average)->ArgName("mode")->Arg(0)->Arg(2);

void BM_filter_multimode(benchmark::State& state)
{
    filter_multimode_struct f;
    filter_multimode_init(&f);
    filter_multimode_set_attr(&f, 201, 5.0f);
    runBlocks(state, [&](float x) { return filter_multimode_dsp(&f, x); });
}
BENCHMARK(BM_filter_multimode);

void BM_filter_multimode_morph(benchmark::State& state)
{
    filter_multimode_struct f;
    filter_multimode_init(&f);
    filter_multimode_set_attr(&f, 20, 0.4f);
    runBlocks(state, [&](float x) { return filter_multimode_dsp_morph(&f, x); });
}
BENCHMARK(BM_filter_multimode_morph);

void BM_filter_chamberlin_multimode(benchmark::State& state)
{
    filter_chamberlin_multimode_struct f;
    filter_chamberlin_multimode_init(&f);
    filter_chamberlin_multimode_set_attr(&f, 210, 2.0f);
    runBlocks(state, [&](float x) { return filter_chamberlin_multimode_dsp(&f, x); });
}
BENCHMARK(BM_filter_chamberlin_multimode);

void BM_filter_derez(benchmark::State& state)
{
    filter_derez_struct f;
    filter_derez_init(&f);
    filter_derez_set_attr(&f, 210, 8.0f);
    runBlocks(state, [&](float x) { return filter_derez_dsp(&f, x); });
}
BENCHMARK(BM_filter_derez);

void BM_filter_downsample(benchmark::State& state)
{
    filter_downsample_struct f;
    filter_downsample_init(&f);
    filter_downsample_set_attr(&f, 220, 0.3f);
    runBlocks(state, [&](float x) { return filter_downsample_dsp(&f, x); });
}
BENCHMARK(BM_filter_downsample);

void BM_filter_overdrive(benchmark::State& state)
{
    filter_overdrive_struct f;
    filter_overdrive_init(&f);
    filter_overdrive_set_attr(&f, 240, 2.5f);
    runBlocks(state, [&](float x) { return filter_overdrive_dsp(&f, x); });
}
BENCHMARK(BM_filter_overdrive);

void BM_filter_all_pass(benchmark::State& state)
{
    filter_all_pass_struct f;
    filter_all_pass_init(&f);
    runBlocks(state, [&](float x) { return filter_all_pass_dsp(&f, x); });
}
BENCHMARK(BM_filter_all_pass);

void BM_dist_clip(benchmark::State& state)
{
    dist_clip_struct f;
    dist_clip_init(&f);
    dist_clip_set_attr(&f, 610, 2.0f);
    runBlocks(state, [&](float x) { return dist_clip_dsp(&f, x); });
}
BENCHMARK(BM_dist_clip);

void BM_dist_warp_parabola(benchmark::State& state)
{
    dist_warp_parabola_struct f;
    dist_warp_parabola_init(&f);
    runBlocks(state, [&](float x) { return dist_warp_parabola_dsp(&f, x); });
}
BENCHMARK(BM_dist_warp_parabola);

void BM_dist_warp_sine(benchmark::State& state)
{
    dist_warp_sine_struct f;
    dist_warp_sine_init(&f);
    runBlocks(state, [&](float x) { return dist_warp_sine_dsp(&f, x); });
}
BENCHMARK(BM_dist_warp_sine);

void BM_table_lookup(benchmark::State& state)
{
    table_struct t{};
    table_init(&t, 1024);
    table_fill(&t, TABLE_EXPONENTIAL, 400.0f, 14000.0f);
    runBlocks(state, [&](float x) { return table_lookup(&t, std::fabs(x) * 0.9f); });
    table_free(&t);
}
BENCHMARK(BM_table_lookup);
} // namespace
