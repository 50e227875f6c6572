#include "grizzbox2.h"

#include "csd_utilities.h"

#include <xmmintrin.h>

#include <atomic>
#include <cmath>
#include <cstring>

namespace
{

using Params = GrizzboxTwoParamManager;

constexpr float kToneFilterQ = 0.707f;
constexpr const char* kEffectName = "Grizzbox2";
constexpr const char* kVendorName = "Velkorsonic, Inc.";

// The host asks with 8-character buffers (9 bytes with the terminator).
constexpr int32_t kTextLength = 8;

// A tone filter decaying towards zero passes through subnormal numbers, which
// the processor handles very slowly. While a block is processed they are
// flushed to zero (results and operands); the caller's floating-point mode,
// status flags included, is put back when the block is done.
class FlushDenormals
{
public:
    FlushDenormals() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
    ~FlushDenormals() { _mm_setcsr(saved); }
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;

private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    const unsigned saved;
};

bool isStomped(float stomp)
{
    // A NaN counts as on, like any other non-zero value.
    return stomp != 0.0f;
}

// The clipper and the tone filters run through the DSP library's inline
// per-sample steps, which compile into the processing loop (as calls to the
// library's dist_mxr_dsp and filter_2_pole_low_pass_dsp the loop takes about
// one and a half times as long); the library's set_attr calls still compute
// every coefficient. Values are read from the records once per block and the
// filter history is written back at its end (the clipper's last-output field
// is left alone: nothing reads it), so a parameter change racing a block
// applies from the next one.
//
// A cutoff change on another thread rewrites b1, b2 and a0 one after the
// other. A block that read a set half rewritten would run all its frames with
// it, and a mix of a high cutoff's b2 with a low cutoff's b1 is unstable: the
// output would grow without bound within the block and the history would keep
// the overflow. The filter writes a0 = 1 - b1 + b2 from the other two, so a
// set that does not add up is a mixed one; the block then runs with the set
// its predecessor used, and the new one applies from a later block.
class Clipper
{
public:
    explicit Clipper(const dist_mxr_struct& state)
        : drive(dist_mxr_drive(state.gain)), level(state.level)
    {
    }

    float operator()(float x) const { return dist_mxr_step(drive, level, x); }

private:
    const double drive;
    const float level;
};

// Each field is loaded exactly once, so that the set checked is the set used.
double loadOnce(double& field)
{
    return std::atomic_ref<double>(field).load(std::memory_order_relaxed);
}

class ToneFilter
{
public:
    ToneFilter(filter_2_pole_low_pass_struct& state, double b1, double b2, double a0)
        : state(state), b1(b1), b2(b2), a0(a0), y1(state.y1), y2(state.y2)
    {
    }
    ~ToneFilter()
    {
        state.y1 = y1;
        state.y2 = y2;
        state.output = static_cast<float>(y1);
    }
    ToneFilter(const ToneFilter&) = delete;
    ToneFilter& operator=(const ToneFilter&) = delete;

    float operator()(float x) { return filter_2_pole_low_pass_step(b1, b2, a0, &y1, &y2, x); }

private:
    filter_2_pole_low_pass_struct& state;
    const double b1;
    const double b2;
    const double a0;
    double y1;
    double y2;
};

} // namespace

grizzbox2::grizzbox2(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, Params::kNumParams), params(std::make_unique<Params>())
{
    cEffect.numInputs = 2;
    cEffect.numOutputs = 2;
    canProcessReplacing(true);
    setUniqueID(fourCharCode('V', 'K', 'f', '6'));

    stomp.store(params->getNaturalValue(Params::kStompSwitch), std::memory_order_relaxed);

    dist_mxr_init(&distortion);
    dist_mxr_set_attr(&distortion, DIST_MXR_ATTR_GAIN,
                      params->getNaturalValue(Params::kFuzzAmount));
    dist_mxr_set_attr(
        &distortion, DIST_MXR_ATTR_LEVEL,
        csd_utilities_decibels2amplitude(params->getNaturalValue(Params::kOutputLevel)));

    // Tuned against whatever rate the process holds now; the host's
    // effSetSampleRate retunes them.
    const float cutoff = params->getNaturalValue(Params::kFilterAmount);
    for (filter_2_pole_low_pass_struct* lowpass : {&lowpassL, &lowpassR})
    {
        filter_2_pole_low_pass_init(lowpass);
        filter_2_pole_low_pass_set_attr(lowpass, FILTER_ATTR_RESONANCE, kToneFilterQ);
        filter_2_pole_low_pass_set_attr(lowpass, FILTER_ATTR_FREQUENCY, cutoff);
    }
    takeCoefficients(lowpassL, coefficientsL);
    takeCoefficients(lowpassR, coefficientsR);

    // The channel counts are known before the host's first call.
    grizzbox2::resume();
}

const grizzbox2::ToneCoefficients&
grizzbox2::takeCoefficients(filter_2_pole_low_pass_struct& lowpass, ToneCoefficients& last)
{
    const ToneCoefficients read{loadOnce(lowpass.b1), loadOnce(lowpass.b2), loadOnce(lowpass.a0)};
    if (read.a0 == 1.0 - read.b1 + read.b2)
        last = read;
    return last;
}

grizzbox2::~grizzbox2()
{
    filter_2_pole_low_pass_free(&lowpassL);
    filter_2_pole_low_pass_free(&lowpassR);
    dist_mxr_free(&distortion);
}

void grizzbox2::setParameter(VstInt32 index, float value)
{
    // A NaN would reach the level or the filter coefficients and silence the
    // effect for good; a host that sends one keeps the previous value.
    if (index < 0 || index >= Params::kNumParams || std::isnan(value))
        return;

    params->setVSTvalue(index, value);
    const float natural = params->getNaturalValue(index);
    switch (index)
    {
    case Params::kFuzzAmount:
        dist_mxr_set_attr(&distortion, DIST_MXR_ATTR_GAIN, natural);
        break;
    case Params::kFilterAmount:
        filter_2_pole_low_pass_set_attr(&lowpassL, FILTER_ATTR_FREQUENCY, natural);
        filter_2_pole_low_pass_set_attr(&lowpassR, FILTER_ATTR_FREQUENCY, natural);
        break;
    case Params::kOutputLevel:
        dist_mxr_set_attr(&distortion, DIST_MXR_ATTR_LEVEL,
                          csd_utilities_decibels2amplitude(natural));
        break;
    case Params::kStompSwitch:
        stomp.store(natural, std::memory_order_relaxed);
        break;
    }
}

// Indices the manager does not know are answered as it answers them: value 0,
// empty name and unit, a display of 0.
float grizzbox2::getParameter(VstInt32 index)
{
    return params->getVSTvalue(index);
}

void grizzbox2::getParameterName(VstInt32 index, char* text)
{
    if (text)
        params->getName(index, text, kTextLength);
}

void grizzbox2::getParameterLabel(VstInt32 index, char* text)
{
    if (text)
        params->getUnitsName(index, text, kTextLength);
}

void grizzbox2::getParameterDisplay(VstInt32 index, char* text)
{
    if (text)
        params->getValueString(index, text, kTextLength);
}

void grizzbox2::setSampleRate(float newSampleRate)
{
    csd_set_attr(CSD_ATTR_SAMPLING_RATE, newSampleRate);
    const float cutoff = params->getNaturalValue(Params::kFilterAmount);
    filter_2_pole_low_pass_set_attr(&lowpassL, FILTER_ATTR_FREQUENCY, cutoff);
    filter_2_pole_low_pass_set_attr(&lowpassR, FILTER_ATTR_FREQUENCY, cutoff);
}

void grizzbox2::suspend()
{
    filter_2_pole_low_pass_clear(&lowpassL);
    filter_2_pole_low_pass_clear(&lowpassR);
}

void grizzbox2::resume()
{
    // Pin 1 is the second pin. The base resume would ask the host for MIDI,
    // which this effect does not want.
    inputChannels = isInputConnected(1) ? 2 : 1;
    outputChannels = isOutputConnected(1) ? 2 : 1;
}

void grizzbox2::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (sampleFrames <= 0 || !inputs || !outputs || !inputs[0] || !outputs[0])
        return;
    const FlushDenormals flushDenormals;

    // Only the pins in use are read: a host with one output pin connected
    // may hand over an array of one pointer.
    if (outputChannels < 2 || !outputs[1])
    {
        processMono(inputs[0], outputs[0], sampleFrames);
        return;
    }
    const float* inR = inputChannels == 2 && inputs[1] ? inputs[1] : inputs[0];
    processStereo(inputs[0], inR, outputs[0], outputs[1], sampleFrames);
}

void grizzbox2::processMono(const float* in, float* out, VstInt32 frames)
{
    const Clipper clip(distortion);
    const ToneCoefficients& cL = takeCoefficients(lowpassL, coefficientsL);
    ToneFilter toneL(lowpassL, cL.b1, cL.b2, cL.a0);
    for (VstInt32 i = 0; i < frames; ++i)
    {
        const float x = in[i];
        // Re-read every frame: a switch during the block acts at the next frame.
        if (isStomped(stomp.load(std::memory_order_relaxed)))
            out[i] = toneL(clip(x));
        else
            out[i] = x;
    }
}

void grizzbox2::processStereo(const float* inL, const float* inR, float* outL, float* outR,
                              VstInt32 frames)
{
    const Clipper clip(distortion);
    const ToneCoefficients& cL = takeCoefficients(lowpassL, coefficientsL);
    const ToneCoefficients& cR = takeCoefficients(lowpassR, coefficientsR);
    ToneFilter toneL(lowpassL, cL.b1, cL.b2, cL.a0);
    ToneFilter toneR(lowpassR, cR.b1, cR.b2, cR.a0);
    for (VstInt32 i = 0; i < frames; ++i)
    {
        // Both inputs are read before either output is written: with one input
        // pin in use, inR may be the same buffer as outL.
        const float left = inL[i];
        const float right = inR[i];
        if (isStomped(stomp.load(std::memory_order_relaxed)))
        {
            const float a = clip(left);
            const float b = clip(right);
            outL[i] = toneL(a);
            outR[i] = toneR(b);
        }
        else
        {
            outL[i] = left;
            outR[i] = right;
        }
    }
}

bool grizzbox2::getEffectName(char* name)
{
    if (!name)
        return false;
    std::strcpy(name, kEffectName);
    return true;
}

bool grizzbox2::getVendorString(char* text)
{
    if (!text)
        return false;
    std::strcpy(text, kVendorName);
    return true;
}

bool grizzbox2::getProductString(char* text)
{
    if (!text)
        return false;
    std::strcpy(text, kEffectName);
    return true;
}

VstInt32 grizzbox2::canDo(char* text)
{
    if (!text)
        return 0;
    static constexpr const char* kCanDo[] = {"plugAsChannelInsert", "plugAsSend", "1in1out",
                                             "1in2out", "2in2out"};
    for (const char* capability : kCanDo)
    {
        if (std::strcmp(text, capability) == 0)
            return 1;
    }
    return 0;
}

AudioEffect* createEffectInstance(audioMasterCallback audioMaster)
{
    return new grizzbox2(audioMaster);
}
