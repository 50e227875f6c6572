#include "grumbochorus.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace
{

const char* const kParamNames[grumbochorus::kNumParams] = {"Depth", "Speed", "Mixture"};

constexpr float kDelayMs = 30.0f;
constexpr float kFeedbackLowHz = 300.0f;
constexpr float kFeedbackHighHz = 2500.0f;
constexpr float kWetScale = 0.5555556f; // 5/9
constexpr float kGainGlide = 0.05f;     // per sample: about 20 samples
constexpr float kDelayGlide = 0.001f;   // per sample: about 1000 samples

bool isValidParam(VstInt32 index)
{
    return static_cast<uint32_t>(index) < static_cast<uint32_t>(grumbochorus::kNumParams);
}

bool copyText(char* to, const char* from)
{
    if (to == nullptr)
        return false;
    std::strcpy(to, from);
    return true;
}

} // namespace

grumbochorus::grumbochorus(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 0, kNumParams)
{
    setNumInputs(2);
    setNumOutputs(2);
    canMono();
    canProcessReplacing();

    const double rate = getSampleRate();
    delayL = std::make_unique<apFDelay>();
    delayL->setSampleRate(rate);
    delayL->setMaxDelay(kDelayMs);
    delayR = std::make_unique<apFDelay>();
    delayR->setSampleRate(rate);
    delayR->setMaxDelay(kDelayMs);

    lfo = std::make_unique<apLFO>();
    lfo->setSampleRate(rate);

    filterL = std::make_unique<grumboFilter>();
    filterL->setSampleRate(rate);
    filterL->set(kFeedbackLowHz, kFeedbackHighHz);
    filterR = std::make_unique<grumboFilter>();
    filterR->setSampleRate(rate);
    filterR->set(kFeedbackLowHz, kFeedbackHighHz);

    setParameter(kDepth, 0.4f);
    setParameter(kSpeed, 0.4f);
    setParameter(kMixture, 0.5f);
}

grumbochorus::~grumbochorus() = default;

// ---------------------------------------------------------------------------
// Parameters

void grumbochorus::setParameter(VstInt32 index, float value)
{
    if (!isValidParam(index))
        return;
    if (!(value <= 1.0f))
        value = 1.0f;
    if (value < 0.0f)
        value = 0.0f;
    if (index == kSpeed)
        lfo->setSpeed(0.5f + 10.0f * value * value);
    params[index] = value;

#ifdef FX_AU_ADAPTER
    // The Audio Unit's parameter store follows, and an open view is told.
    AUBase::SetParameter(static_cast<AudioUnitParameterID>(index), kAudioUnitScope_Global, 0, value,
                         0);
    if (editor != nullptr)
        editor->setParameter(index, value);
#endif
}

float grumbochorus::getParameter(VstInt32 index)
{
    return isValidParam(index) ? params[index] : 0.0f;
}

void grumbochorus::getParameterName(VstInt32 index, char* text)
{
    copyText(text, isValidParam(index) ? kParamNames[index] : "reserved");
}

void grumbochorus::getParameterLabel(VstInt32, char* text)
{
    copyText(text, "");
}

void grumbochorus::getParameterDisplay(VstInt32 index, char* text)
{
    if (text == nullptr)
        return;
    switch (index)
    {
    case kDepth:
    case kSpeed:
        std::sprintf(text, "%.2f", static_cast<double>(params[index] * 12.0f + 1.0f));
        return;
    case kMixture:
        std::sprintf(text, "%+.2f", static_cast<double>(params[index] * 12.0f - 6.0f));
        return;
    default:
        text[0] = '\0'; // nothing to show for an index the effect does not have
        return;
    }
}

// ---------------------------------------------------------------------------
// Processing

void grumbochorus::resume()
{
    delayL->reset();
    delayR->reset();
    filterL->reset();
    filterR->reset();
    AudioEffectX::resume();
}

void grumbochorus::processReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    doProcess(inputs, outputs, frames, true);
}

void grumbochorus::process(float** inputs, float** outputs, VstInt32 frames)
{
    doProcess(inputs, outputs, frames, false);
}

void grumbochorus::doProcess(float** inputs, float** outputs, VstInt32 frames, bool replacing)
{
    if (frames <= 0 || inputs == nullptr || outputs == nullptr || inputs[0] == nullptr ||
        inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr)
        return;

    const double rate = getSampleRate();
    if (rate != lastSampleRate)
    {
        // Rebuilds and clears both lines; the LFO keeps its increment until
        // the next Speed change and the filters their normalised centre.
        delayL->setSampleRate(rate);
        delayR->setSampleRate(rate);
        lfo->setSampleRate(rate);
        filterL->setSampleRate(rate);
        filterR->setSampleRate(rate);
        lastSampleRate = rate;
    }

    const float c = params[kDepth] * params[kDepth] * params[kDepth];
    const float modTarget = 20.0f * c;
    const float baseTarget = 10.0f + 20.0f * (1.0f - c);
    const float wetTarget = std::sqrt(params[kMixture]) * kWetScale;
    const float dryTarget = std::sqrt(1.0f - params[kMixture]);

    const float* inputL = inputs[0];
    const float* inputR = inputs[1];
    float* outputL = outputs[0];
    float* outputR = outputs[1];
    // The glides run in locals: the stores into the host's buffers would
    // otherwise make every member float reload after each sample.
    float dry = dryGain;
    float wet = wetGain;
    float depth = modDepth;
    float base = baseDelay;
    for (VstInt32 i = 0; i < frames; ++i)
    {
        // Read everything from the inputs first: they may be the outputs.
        const float inL = inputL[i];
        const float inR = inputR[i];

        float a = 0.0f, b = 0.0f;
        lfo->get90Values(&a, &b);
        a *= depth;
        b *= depth;

        const float sumL = delayL->read(base + a) + delayL->read(base + b);
        const float sumR = delayR->read(base + depth - a) + delayR->read(base + depth - b);

        delayL->write(filterL->step(saturate(2.0f * inL - 0.1f * sumR)));
        delayR->write(filterR->step(saturate(2.0f * inR - 0.1f * sumL)));
        lfo->advance();

        const float outL = inL * dry + sumL * wet;
        const float outR = inR * dry + sumR * wet;
        if (replacing)
        {
            outputL[i] = outL;
            outputR[i] = outR;
        }
        else
        {
            outputL[i] += outL;
            outputR[i] += outR;
        }

        wet += kGainGlide * (wetTarget - wet);
        dry += kGainGlide * (dryTarget - dry);
        depth += kDelayGlide * (modTarget - depth);
        base += kDelayGlide * (baseTarget - base);
    }
    wetGain = wet;
    dryGain = dry;
    modDepth = depth;
    baseDelay = base;

    // The saturation already turns a NaN input into silence before it reaches
    // the feedback filters; this keeps them from sticking whatever else might.
    filterL->resetStateIfNotFinite();
    filterR->resetStateIfNotFinite();
}

// ---------------------------------------------------------------------------
// Identity

bool grumbochorus::getEffectName(char* name)
{
    return copyText(name, "GrumboChorus");
}

bool grumbochorus::getVendorString(char* text)
{
    return copyText(text, "Quorlin");
}

bool grumbochorus::getProductString(char* text)
{
    return copyText(text, "GrumboChorus");
}
