#include "grizzbox2_host.h"

#include "GrizzboxTwoParamManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <numbers>

namespace grizzbox2_test
{
namespace
{

using MainFunction = AEffect* (*)(audioMasterCallback);

MainFunction pluginMain()
{
    static MainFunction main = []
    {
        const std::string path = pluginPath();
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
        {
            ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
            return MainFunction{};
        }
        return reinterpret_cast<MainFunction>(dlsym(library, "VSTPluginMain"));
    }();
    return main;
}

// The pins answered while an effect is being constructed, before its record
// carries the host's pointer to the Plugin.
Pins gConstructionPins;

} // namespace

std::string pluginPath()
{
    const char* bundles = std::getenv("FX_BUNDLE_DIR");
    return std::string(bundles ? bundles : "build/bundles") +
           "/Grizzbox2.vst/Contents/x86_64-linux/Grizzbox2.so";
}

Plugin::Plugin(Pins pins) : pins(pins)
{
    const MainFunction main = pluginMain();
    if (!main)
    {
        ADD_FAILURE() << "Grizzbox2.so exports no VSTPluginMain";
        std::abort();
    }
    gConstructionPins = pins;
    effect = main(hostCallback);
    if (!effect)
    {
        ADD_FAILURE() << "VSTPluginMain answered no effect";
        std::abort();
    }
    effect->user = this;
    dispatch(effOpen);
    setSampleRate(44100.0f);
    dispatch(effSetBlockSize, 0, 512);
    resume();
}

Plugin::~Plugin()
{
    suspend();
    dispatch(effClose);
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string Plugin::text(VstInt32 opcode, VstInt32 index)
{
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    buffer[sizeof buffer - 1] = 0;
    dispatch(opcode, index, 0, buffer);
    return buffer;
}

VstIntPtr Plugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                               void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterPinConnected:
    {
        const Plugin* host = effect ? static_cast<const Plugin*>(effect->user) : nullptr;
        const Pins& pins = host ? host->pins : gConstructionPins;
        // value 0 asks about an input pin, 1 about an output pin; 0 = connected.
        if (index == 0)
            return 0;
        if (index == 1)
            return (value == 0 ? pins.secondInput : pins.secondOutput) ? 0 : 1;
        return 1;
    }
    default:
        return 0;
    }
}

void Plugin::process(std::vector<float>& inL, std::vector<float>& inR, std::vector<float>& outL,
                     std::vector<float>& outR, int blockSize)
{
    const size_t frames = inL.size();
    for (size_t start = 0; start < frames; start += static_cast<size_t>(blockSize))
    {
        const size_t n = std::min(frames - start, static_cast<size_t>(blockSize));
        float* inputs[2] = {inL.data() + start, inR.data() + start};
        float* outputs[2] = {outL.data() + start, outR.data() + start};
        effect->processReplacing(effect, inputs, outputs, static_cast<VstInt32>(n));
    }
}

std::vector<float> Plugin::processLeft(const std::vector<float>& input, int blockSize)
{
    std::vector<float> inL = input, inR = input;
    std::vector<float> outL(input.size()), outR(input.size());
    process(inL, inR, outL, outR, blockSize);
    return outL;
}

float hostValueFor(int index, float natural)
{
    GrizzboxTwoParamManager params;
    return params.VSTvalueFromNaturalValue(index, natural);
}

std::vector<float> sine(double frequency, double amplitude, double rate, int frames)
{
    std::vector<float> signal(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        signal[static_cast<size_t>(i)] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / rate));
    return signal;
}

} // namespace grizzbox2_test
