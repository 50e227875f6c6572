// What hosts pay per call into the framework: the number formatters behind
// every parameter display, and a display request through the record.
#include "audioeffectx.h"

#include <benchmark/benchmark.h>

namespace
{

class DisplayEffect : public AudioEffectX
{
public:
    DisplayEffect() : AudioEffectX(nullptr, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
    void getParameterDisplay(VstInt32, char* text) override { float2string(value, text, 8); }
    float value = 0.0f;
};

void BM_float2string(benchmark::State& state)
{
    DisplayEffect effect;
    char text[16];
    float value = -123.456f;
    for (auto _ : state)
    {
        effect.float2string(value, text, 8);
        benchmark::DoNotOptimize(text);
        value += 0.37f;
    }
}
BENCHMARK(BM_float2string);

void BM_int2string(benchmark::State& state)
{
    DisplayEffect effect;
    char text[16];
    VstInt32 value = -5000000;
    for (auto _ : state)
    {
        effect.int2string(value, text, 8);
        benchmark::DoNotOptimize(text);
        value += 7919;
    }
}
BENCHMARK(BM_int2string);

void BM_displayThroughRecord(benchmark::State& state)
{
    DisplayEffect effect;
    AEffect* record = effect.getAeffect();
    char text[16];
    for (auto _ : state)
    {
        record->dispatcher(record, effGetParamDisplay, 0, 0, text, 0.0f);
        benchmark::DoNotOptimize(text);
        effect.value += 0.01f;
    }
}
BENCHMARK(BM_displayThroughRecord);

} // namespace
