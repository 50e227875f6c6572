#pragma once

#include "CSoftShaper.h"
#include "CStateVariableFilter.h"

#include "audioeffectx.h"

#include <cstdint>
#include <memory>
#include <vector>

// Tirrow: a stereo state-variable filter whose low-pass, band-pass,
// high-pass, notch and peak responses are switched on in any combination and
// summed, followed by a soft-saturation drive. Eight parameters, sixteen
// programs, MIDI controllers 50..57 for the parameters.
class CTirrow : public AudioEffectX
{
public:
    static constexpr VstInt32 kNumPrograms = 16;
    static constexpr VstInt32 kNumParams = 8;
    static constexpr int kNumResponses = 5;
    static constexpr int kProgramNameSize = 256;

    enum Param : VstInt32
    {
        kCutoff,
        kResonance,
        kDrive,
        kLowPass,
        kBandPass,
        kHighPass,
        kNotch,
        kPeak,
    };

    struct Program
    {
        char name[kProgramNameSize];
        float values[kNumParams];
    };

    explicit CTirrow(audioMasterCallback audioMaster);
    ~CTirrow() override;

    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override;
    void process(float** inputs, float** outputs, VstInt32 frames) override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;

    void setProgram(VstInt32 program) override;
    void getProgramName(char* name) override;
    // Names longer than 255 characters are cut to 255.
    void setProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    void suspend() override;
    void resume() override;
    void setSampleRate(float sampleRate) override;
    void setBlockSize(VstInt32 blockSize) override;
    // Both through the setters above, so the filters follow the rate.
    void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate) override
    {
        setBlockSize(blockSize);
        setSampleRate(sampleRate);
    }

    // Control changes 50..57 on any channel set parameters 0..7; always 1.
    VstInt32 processEvents(VstEvents* events) override;

    VstInt32 canDo(char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 0x10003; }
    VstInt32 getPlugCategory() override { return kPlugCategEffect; }
    bool setBypass(bool) override { return false; }

    void createPresets();
    void setControllers(VstInt32 controller, VstInt32 value);
    // value / 127 in single precision: 64 and up switch a switch on.
    static float midiToFloat(VstInt32 value) { return static_cast<float>(value) * (1.0f / 127.0f); }

    // A program record as it stands (edits write through into it); null
    // outside 0..15.
    const Program* programRecord(VstInt32 index) const
    {
        return static_cast<uint32_t>(index) < kNumPrograms ? &programs[index] : nullptr;
    }

private:
    void doProcess(float** inputs, float** outputs, VstInt32 frames, bool replacing);
    void allocateScratch();

    bool reallocate = true;
    VstInt32 bufferFrames;
    float filterSampleRate;
    std::unique_ptr<Program[]> programs;
    float params[kNumParams] = {};
    std::unique_ptr<Quorlin::Fx::CStateVariableFilter> filters[2];
    bool switches[kNumResponses] = {};
    // Both channels' responses, in the order low, band, high, notch, peak,
    // scratchFrames each; responseSets[channel][response] points into it.
    std::vector<float> scratch;
    VstInt32 scratchFrames = 0;
    float* responseSets[2][kNumResponses] = {};
    std::unique_ptr<Quorlin::Fx::CSoftShaper> shapers[2];
};
