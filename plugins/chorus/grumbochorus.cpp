#include "grumbochorus.h"

#include <algorithm>
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

// Four lanes of float or int for the block loop. Each lane runs the same
// IEEE single-precision steps as the scalar code it stands for.
typedef float Float4 __attribute__((vector_size(16)));
typedef int32_t Int4 __attribute__((vector_size(16)));

// Frames per pass of the block loop (a multiple of 4).
constexpr int kChunk = 64;

Float4 select(Int4 mask, Float4 yes, Float4 no)
{
    return reinterpret_cast<Float4>((reinterpret_cast<Int4>(yes) & mask) |
                                    (reinterpret_cast<Int4>(no) & ~mask));
}

Float4 broadcast(float x)
{
    return Float4{x, x, x, x};
}

Float4 load4(const float* from)
{
    Float4 v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

template <class V> void store4(V v, void* to)
{
    std::memcpy(to, &v, sizeof v);
}

Float4 gather(const float* table, Int4 i)
{
    return Float4{table[i[0]], table[i[1]], table[i[2]], table[i[3]]};
}

// SaturationTable::saturate on two values at once, in lanes 0 and 1. The
// sign comes off and goes back on with a mask rather than a branch, which a
// signal crossing zero would mispredict; magnitudes below 10 take the table
// lookup with the same steps as the scalar code, anything else (10 or more,
// NaN) goes through SaturationTable::saturate itself.
inline __attribute__((always_inline)) Float4 saturatePair(const SaturationTable& curve, float x0,
                                                          float x1)
{
    const Float4 x{x0, x1, 0.0f, 0.0f};
    const Int4 sign = (x < 0.0f) & static_cast<int32_t>(0x80000000u);
    const Float4 magnitude = reinterpret_cast<Float4>(reinterpret_cast<Int4>(x) ^ sign);
    const Int4 inTable = magnitude < 10.0f;
    if (!(inTable[0] & inTable[1])) [[unlikely]]
        return Float4{curve.saturate(x0), curve.saturate(x1), 0.0f, 0.0f};
    // Below 10 the position stays below 1000, so the entry needs no clamp.
    const Float4 p = magnitude * 100.0f;
    const Int4 i = __builtin_convertvector(p, Int4);
    const Float4 frac = p - __builtin_convertvector(i, Float4);
    const float* const table = curve.table;
    constexpr int32_t kLast = SaturationTable::kSize - 1;
    const Float4 at{table[i[0]], table[i[1]], 0.0f, 0.0f};
    const Float4 upper{table[i[0] < kLast ? i[0] + 1 : kLast],
                       table[i[1] < kLast ? i[1] + 1 : kLast], 0.0f, 0.0f};
    const Float4 y = at * (1.0f - frac) + upper * frac;
    return reinterpret_cast<Float4>(reinterpret_cast<Int4>(y) ^ sign);
}

// Where four taps of one delay line fall: the slot, the slot after it and
// the fraction between them, exactly as apFDelay::read works them
// out from the delays in milliseconds and the write positions.
struct TapPlan
{
    alignas(16) int32_t slot[kChunk];
    alignas(16) int32_t next[kChunk];
    alignas(16) float frac[kChunk];

    void place(int k, Float4 delayMs, Float4 writePos, const apFDelay::Cursor& line)
    {
        const Float4 sizeF = broadcast(line.sizeF);
        Float4 back = delayMs * broadcast(line.samplesPerMs);
        back = select(back >= 0.0f, back, Float4{}); // NaN too becomes 0
        back = select(back > sizeF, sizeF, back);
        Float4 pos = writePos - back;
        pos = select(pos < 0.0f, pos + sizeF, pos);
        pos = select(pos >= sizeF, pos - sizeF, pos); // -tiny + size rounds to size
        const Int4 i = __builtin_convertvector(pos, Int4);
        const Int4 last = Int4{} + (line.size - 1);
        store4(i, slot + k);
        store4((i + 1) & ~(i == last), next + k);
        store4(pos - __builtin_convertvector(i, Float4), frac + k);
    }

    float read(const float* buffer, int k) const
    {
        return buffer[slot[k]] * (1.0f - frac[k]) + buffer[next[k]] * frac[k];
    }
};

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

    // A line whose buffer could not be allocated reads silence and ignores
    // writes.
    const bool lines = delayL->buffer != nullptr && delayR->buffer != nullptr;
    if (replacing)
        lines ? processFrames<true, true>(inputs, outputs, frames)
              : processFrames<true, false>(inputs, outputs, frames);
    else
        lines ? processFrames<false, true>(inputs, outputs, frames)
              : processFrames<false, false>(inputs, outputs, frames);

    // The saturation already turns a NaN input into silence before it reaches
    // the feedback filters; this keeps them from sticking whatever else might.
    filterL->resetStateIfNotFinite();
    filterR->resetStateIfNotFinite();
}

// The frame loop. It runs in chunks of frames, in three passes: the
// smoothed values, LFO phase and write positions frame by frame; then, four
// frames at a time, the LFO pair and where each of the four taps falls
// (none of which depends on the signal); then the signal path frame by
// frame, reading the lines before writing them as a single loop would. The
// state lives in locals for the block: every store into the host's buffers
// could otherwise alias a float member and force it to be reloaded.
template <bool kReplacing, bool kLines>
void grumbochorus::processFrames(float** inputs, float** outputs, VstInt32 frames)
{
    const float c = params[kDepth] * params[kDepth] * params[kDepth];
    const float modTarget = 20.0f * c;
    const float baseTarget = 10.0f + 20.0f * (1.0f - c);
    const float wetTarget = std::sqrt(params[kMixture]) * kWetScale;
    const float dryTarget = std::sqrt(1.0f - params[kMixture]);

    const float* inputL = inputs[0];
    const float* inputR = inputs[1];
    float* outputL = outputs[0];
    float* outputR = outputs[1];
    const float* const sine = lfo->table;
    const float increment = lfo->increment;
    float phase = lfo->phase;
    apFDelay::Cursor lineL = delayL->cursor();
    apFDelay::Cursor lineR = delayR->cursor();
    grumboFilter fbL = *filterL;
    grumboFilter fbR = *filterR;
    float dry = dryGain;
    float wet = wetGain;
    float depth = modDepth;
    float base = baseDelay;

    alignas(16) float phaseAt[kChunk], depthAt[kChunk], baseAt[kChunk];
    alignas(16) float dryAt[kChunk], wetAt[kChunk], writeAtL[kChunk], writeAtR[kChunk];
    TapPlan tapLa, tapLb, tapRa, tapRb;

    for (VstInt32 start = 0; start < frames; start += kChunk)
    {
        const int count = static_cast<int>(std::min<VstInt32>(kChunk, frames - start));

        // Pass 1: the values that carry from frame to frame.
        int32_t writeL = lineL.writeIndex;
        int32_t writeR = lineR.writeIndex;
        for (int k = 0; k < count; ++k)
        {
            phaseAt[k] = apLFO::inCycle(phase);
            depthAt[k] = depth;
            baseAt[k] = base;
            dryAt[k] = dry;
            wetAt[k] = wet;
            writeAtL[k] = static_cast<float>(writeL);
            writeAtR[k] = static_cast<float>(writeR);
            phase = apLFO::advanced(phase, increment);
            wet += kGainGlide * (wetTarget - wet);
            dry += kGainGlide * (dryTarget - dry);
            depth += kDelayGlide * (modTarget - depth);
            base += kDelayGlide * (baseTarget - base);
            if (++writeL >= lineL.size)
                writeL -= lineL.size;
            if (++writeR >= lineR.size)
                writeR -= lineR.size;
        }

        // Pass 2: the LFO pair and the taps, four frames at a time. Frames
        // past the end of the block repeat the last one and go unused.
        if constexpr (kLines)
        {
            for (int k = count; k % 4 != 0; ++k)
            {
                phaseAt[k] = phaseAt[k - 1];
                depthAt[k] = depthAt[k - 1];
                baseAt[k] = baseAt[k - 1];
                writeAtL[k] = writeAtL[k - 1];
                writeAtR[k] = writeAtR[k - 1];
            }
            for (int k = 0; k < count; k += 4)
            {
                const Float4 p = load4(phaseAt + k);
                const Int4 i = __builtin_convertvector(p, Int4);
                const Float4 frac = p - __builtin_convertvector(i, Float4);
                Int4 j = i + apLFO::kTableSize / 4;
                j -= (j > apLFO::kTableSize - 1) & apLFO::kTableSize;
                const Int4 lastEntry = Int4{} + (apLFO::kTableSize - 1);
                const Int4 iNext = (i + 1) & ~(i == lastEntry);
                const Int4 jNext = (j + 1) & ~(j == lastEntry);
                const Float4 out = gather(sine, i) * (1.0f - frac) + gather(sine, iNext) * frac;
                const Float4 out90 = gather(sine, j) * (1.0f - frac) + gather(sine, jNext) * frac;

                const Float4 depth4 = load4(depthAt + k);
                const Float4 base4 = load4(baseAt + k);
                const Float4 a = out * depth4;
                const Float4 b = out90 * depth4;
                // The left taps at base + a and base + b, the right ones
                // moving the other way at base + depth - a and - b.
                const Float4 far = base4 + depth4;
                tapLa.place(k, base4 + a, load4(writeAtL + k), lineL);
                tapLb.place(k, base4 + b, load4(writeAtL + k), lineL);
                tapRa.place(k, far - a, load4(writeAtR + k), lineR);
                tapRb.place(k, far - b, load4(writeAtR + k), lineR);
            }
        }

        // Pass 3: the signal.
        for (int k = 0; k < count; ++k)
        {
            const VstInt32 i = start + k;
            // Read everything from the inputs first: they may be the outputs.
            const float inL = inputL[i];
            const float inR = inputR[i];

            float sumL = 0.0f, sumR = 0.0f;
            if constexpr (kLines)
            {
                sumL = tapLa.read(lineL.buffer, k) + tapLb.read(lineL.buffer, k);
                sumR = tapRa.read(lineR.buffer, k) + tapRb.read(lineR.buffer, k);
            }
            const Float4 shaped =
                saturatePair(saturationTable, 2.0f * inL - 0.1f * sumR, 2.0f * inR - 0.1f * sumL);
            const float toL = fbL.step(shaped[0]);
            const float toR = fbR.step(shaped[1]);
            if constexpr (kLines)
            {
                lineL.write(toL);
                lineR.write(toR);
            }

            const float outL = inL * dryAt[k] + sumL * wetAt[k];
            const float outR = inR * dryAt[k] + sumR * wetAt[k];
            if constexpr (kReplacing)
            {
                outputL[i] = outL;
                outputR[i] = outR;
            }
            else
            {
                outputL[i] += outL;
                outputR[i] += outR;
            }
        }
    }

    if constexpr (kLines)
    {
        delayL->store(lineL);
        delayR->store(lineR);
    }
    lfo->phase = phase;
    *filterL = fbL;
    *filterR = fbR;
    wetGain = wet;
    dryGain = dry;
    modDepth = depth;
    baseDelay = base;
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
