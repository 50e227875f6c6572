// Grizzbox2: a fuzz. Each channel is driven into a measured asymmetric
// clipping curve, scaled by the output level and smoothed by a resonant
// two-pole low-pass tone filter; the stomp switch bypasses all of it.
#pragma once

#include "GrizzboxTwoParamManager.h"
#include "audioeffectx.h"
#include "dist_mxr.h"
#include "filter_2_pole_low_pass.h"

#include <atomic>
#include <memory>

class grizzbox2 : public AudioEffectX
{
public:
    explicit grizzbox2(audioMasterCallback audioMaster);
    ~grizzbox2() override;

    // Indices outside 0..3 and NaN values are ignored.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    // Short names, units and display texts: at most 8 characters, so text
    // holds 9 bytes.
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;

    // Retunes the tone filters so that the cutoff stays in Hz. The rate is
    // process-wide (the DSP library's); the base class's member keeps 44100.
    void setSampleRate(float newSampleRate) override;
    // Clears the tone filters' history.
    void suspend() override;
    // Mono or stereo, from the host's pin connections.
    void resume() override;

    // Mono output when the host reports the second output pin unconnected;
    // the left input feeds both channels when the second input pin is.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1000; }
    VstInt32 getPlugCategory() override { return kPlugCategEffect; }
    VstInt32 canDo(char* text) override;

private:
    // A tone filter's coefficients as the last block ran with them.
    struct ToneCoefficients
    {
        double b1 = 0.0;
        double b2 = 0.0;
        double a0 = 0.0;
    };

    void processMono(const float* in, float* out, VstInt32 frames);
    void processStereo(const float* inL, const float* inR, float* outL, float* outR,
                       VstInt32 frames);
    // The filter's current coefficients when they form one set (another
    // thread may be rewriting them), else the set last taken; stores what it
    // takes in last.
    static const ToneCoefficients& takeCoefficients(filter_2_pole_low_pass_struct& lowpass,
                                                    ToneCoefficients& last);

    std::unique_ptr<GrizzboxTwoParamManager> params;
    dist_mxr_struct distortion; // keeps no signal history: shared by both channels
    filter_2_pole_low_pass_struct lowpassL;
    filter_2_pole_low_pass_struct lowpassR;
    // Read and written by the processing thread only.
    ToneCoefficients coefficientsL;
    ToneCoefficients coefficientsR;
    VstInt32 inputChannels = 2;
    VstInt32 outputChannels = 2;
    // 0.0 or 1.0; written by setParameter on any thread, read once per frame.
    std::atomic<float> stomp{1.0f};
};
