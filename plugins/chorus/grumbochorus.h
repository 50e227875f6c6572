#pragma once

#include "SaturationTable.h"
#include "apFDelay.h"
#include "apLFO.h"
#include "grumboFilter.h"

#include "audioeffectx.h"

#include <memory>

// GrumboChorus: a stereo chorus. Each channel has a 30 ms delay line read by
// two taps swept a quarter cycle apart by one LFO; each line is fed by its own
// channel and a tenth of the other channel's wet signal, saturated and
// band-passed; dry and wet are mixed at equal power.
class grumbochorus : public AudioEffectX
{
public:
    static constexpr VstInt32 kNumParams = 3;
    enum Param : VstInt32
    {
        kDepth,
        kSpeed,
        kMixture,
    };

    explicit grumbochorus(audioMasterCallback audioMaster);
    ~grumbochorus() override;

    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override;
    // As processReplacing, but adds to the outputs.
    void process(float** inputs, float** outputs, VstInt32 frames) override;

    // Values are clamped to 0..1 (NaN counts as 1); other indices are ignored.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;

    void suspend() override {}
    // Clears both delay lines and both feedback filters.
    void resume() override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 0x10000; }

    float saturate(float x) const { return saturationTable.saturate(x); }

    // The smoothed values, for whoever needs to see how far they have glided.
    float currentDryGain() const { return dryGain; }
    float currentWetGain() const { return wetGain; }
    float currentModDepth() const { return modDepth; }
    float currentBaseDelay() const { return baseDelay; }
    const apLFO& oscillator() const { return *lfo; }

private:
    void doProcess(float** inputs, float** outputs, VstInt32 frames, bool replacing);
    template <bool kReplacing, bool kLines>
    void processFrames(float** inputs, float** outputs, VstInt32 frames);

    float params[kNumParams] = {};
    std::unique_ptr<apLFO> lfo;
    std::unique_ptr<apFDelay> delayL, delayR;
    std::unique_ptr<grumboFilter> filterL, filterR;
    float dryGain = 0.0f;
    float wetGain = 0.0f;
    float modDepth = 0.0f;
    float baseDelay = 0.0f;
    double lastSampleRate = 0.0;
    SaturationTable saturationTable;

    // Copies of the two tables for the block loop, so that an entry and the
    // one after it are neighbours in memory: the LFO's cycle followed by
    // its first quarter and one more entry (the quarter-cycle output reads
    // there without wrapping), and the saturation curve with its last entry
    // repeated.
    static constexpr int kSineEntries = apLFO::kTableSize + apLFO::kTableSize / 4 + 1;
    float sineTable[kSineEntries];
    float curveTable[SaturationTable::kSize + 1];
};
