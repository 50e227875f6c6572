// A minimal VST 2 host for the tests: loads the built Grizzbox2 bundle with
// dlopen, opens effects through VSTPluginMain and talks to them only through
// the record, as a host application does.
#pragma once

#include "aeffectx.h"

#include <string>
#include <vector>

namespace grizzbox2_test
{

// The host's answers to audioMasterPinConnected, per pin.
struct Pins
{
    bool secondInput = true;
    bool secondOutput = true;
};

// Path of Grizzbox2.so in the bundle built for the tests.
std::string pluginPath();

// One opened effect. The host answers version 2400 and the pin connections
// of the current Pins; everything else 0.
class Plugin
{
public:
    // Loads the library on first use, calls VSTPluginMain and opens the effect
    // at 44100 Hz, blocks of 512, resumed.
    explicit Plugin(Pins pins = {});
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    AEffect* record() const { return effect; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    void set(VstInt32 index, float value) { effect->setParameter(effect, index, value); }
    float get(VstInt32 index) { return effect->getParameter(effect, index); }
    // A dispatcher text call with a roomy, pre-filled buffer.
    std::string text(VstInt32 opcode, VstInt32 index = 0);

    // What the host will answer from now on; the effect reads it at resume.
    void setPins(Pins newPins) { pins = newPins; }
    void suspend() { dispatch(effMainsChanged, 0, 0); }
    void resume() { dispatch(effMainsChanged, 0, 1); }
    void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }

    // processReplacing over whole channel buffers, in blocks of blockSize.
    void process(std::vector<float>& inL, std::vector<float>& inR, std::vector<float>& outL,
                 std::vector<float>& outR, int blockSize = 512);
    // Stereo processing of one signal on both inputs; returns the left output.
    std::vector<float> processLeft(const std::vector<float>& input, int blockSize = 512);

private:
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt);

    AEffect* effect = nullptr;
    Pins pins;
};

// value, as the host value the parameter manager maps onto it
float hostValueFor(int index, float natural);

std::vector<float> sine(double frequency, double amplitude, double rate, int frames);

} // namespace grizzbox2_test
