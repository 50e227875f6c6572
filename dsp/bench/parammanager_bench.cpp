// Cost of the parameter calls an effect makes when the host moves a control.
#include "GrizzboxTwoParamManager.h"

#include <benchmark/benchmark.h>

namespace
{
void BM_setVSTvalue_then_getNaturalValue(benchmark::State& state)
{
    GrizzboxTwoParamManager manager;
    const int32_t id = static_cast<int32_t>(state.range(0));
    float x = 0.0f;
    for (auto _ : state)
    {
        manager.setVSTvalue(id, x);
        benchmark::DoNotOptimize(manager.getNaturalValue(id));
        x = x < 1.0f ? x + 0.001f : 0.0f;
    }
}
BENCHMARK(BM_setVSTvalue_then_getNaturalValue)->ArgName("id")->DenseRange(0, 3);

void BM_getValueString(benchmark::State& state)
{
    GrizzboxTwoParamManager manager;
    char text[16];
    for (auto _ : state)
    {
        manager.getValueString(2, text, 8);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_getValueString);
} // namespace
