#include "grumbochorus.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <emmintrin.h>

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

// The floats at a and b in lanes 0 and 1, the upper lanes zero.
Float4 pair(const float* a, const float* b)
{
    return reinterpret_cast<Float4>(_mm_unpacklo_ps(_mm_load_ss(a), _mm_load_ss(b)));
}

// The float at `from` and the one after it in lanes 0 and 1, the upper lanes
// zero.
__m128 loadTwo(const float* from)
{
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(from)));
}

// For four table positions i, the entries at i (into `at`) and at i + 1
// (into `next`).
inline __attribute__((always_inline)) void gatherNeighbours(const float* table, Int4 i, Float4& at,
                                                            Float4& next)
{
    const __m128 low = _mm_movelh_ps(loadTwo(table + i[0]), loadTwo(table + i[1]));
    const __m128 high = _mm_movelh_ps(loadTwo(table + i[2]), loadTwo(table + i[3]));
    at = reinterpret_cast<Float4>(_mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
    next = reinterpret_cast<Float4>(_mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
}

// SaturationTable::saturate on two values at once, in lanes 0 and 1. The
// sign comes off and goes back on with a mask rather than a branch, which a
// signal crossing zero would mispredict; magnitudes below 10 take the table
// lookup with the same steps as the scalar code, anything else (10 or more,
// NaN) goes through SaturationTable::saturate itself.
inline __attribute__((always_inline)) Float4 saturatePair(const SaturationTable& curve,
                                                          const float* padded, Float4 x)
{
    const Int4 sign = (x < 0.0f) & static_cast<int32_t>(0x80000000u);
    const Float4 magnitude = reinterpret_cast<Float4>(reinterpret_cast<Int4>(x) ^ sign);
    const Int4 inTable = magnitude < 10.0f;
    if (!(inTable[0] & inTable[1])) [[unlikely]]
        return Float4{curve.saturate(x[0]), curve.saturate(x[1]), 0.0f, 0.0f};
    // Below 10 the position stays below 1000, so the entry needs no clamp.
    const Float4 p = magnitude * 100.0f;
    const Int4 i = __builtin_convertvector(p, Int4);
    const Float4 frac = p - __builtin_convertvector(i, Float4);
    // Each entry and the one above it in one load, from the table with its
    // last entry repeated once.
    const Float4 both =
        reinterpret_cast<Float4>(_mm_unpacklo_ps(loadTwo(padded + i[0]), loadTwo(padded + i[1])));
    const Float4 at = reinterpret_cast<Float4>(_mm_move_epi64(reinterpret_cast<__m128i>(both)));
    const Float4 upper = reinterpret_cast<Float4>(_mm_movehl_ps(_mm_setzero_ps(), both));
    const Float4 y = at * (1.0f - frac) + upper * frac;
    return reinterpret_cast<Float4>(reinterpret_cast<Int4>(y) ^ sign);
}

// The two feedback filters as one, the left channel in lane 0 and the right
// in lane 1, each lane taking grumboFilter::step's steps in its order.
struct FilterPair
{
    Float4 b0, b2, a1, a2;
    Float4 x1, x2, y1, y2;

    FilterPair(const grumboFilter& l, const grumboFilter& r)
        : b0{l.b0, r.b0, 0.0f, 0.0f}, b2{l.b2, r.b2, 0.0f, 0.0f}, a1{l.a1, r.a1, 0.0f, 0.0f},
          a2{l.a2, r.a2, 0.0f, 0.0f}, x1{l.x1, r.x1, 0.0f, 0.0f}, x2{l.x2, r.x2, 0.0f, 0.0f},
          y1{l.y1, r.y1, 0.0f, 0.0f}, y2{l.y2, r.y2, 0.0f, 0.0f}
    {
    }

    Float4 step(Float4 x)
    {
        const Float4 sum = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        // grumboFilter::withOffset: only sums near zero change.
        const Float4 magnitude = reinterpret_cast<Float4>(reinterpret_cast<Int4>(sum) &
                                                          static_cast<int32_t>(0x7fffffff));
        const Int4 large = magnitude >= 0x1p-57f;
        Float4 y = sum;
        if (!(large[0] & large[1])) [[unlikely]]
            y = Float4{grumboFilter::withOffset(sum[0]), grumboFilter::withOffset(sum[1]), 0.0f,
                       0.0f};
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    void store(grumboFilter& l, grumboFilter& r) const
    {
        l.x1 = x1[0], l.x2 = x2[0], l.y1 = y1[0], l.y2 = y2[0];
        r.x1 = x1[1], r.x2 = x2[1], r.y1 = y1[1], r.y2 = y2[1];
    }
};

// Where four taps of one delay line fall: the slot, the slot after it and
// the fraction between them, exactly as apFDelay::read works them
// out from the delays in milliseconds and the write positions.
struct TapPlace
{
    Int4 slot, next;
    Float4 frac;

    TapPlace(Float4 delayMs, Float4 writePos, const apFDelay::Cursor& line)
    {
        const Float4 sizeF = broadcast(line.sizeF);
        // maxps gives its second operand for a NaN, so NaN too becomes 0;
        // 0 replaces -0 as well, which changes no position below.
        Float4 back = reinterpret_cast<Float4>(_mm_max_ps(
            reinterpret_cast<__m128>(delayMs * broadcast(line.samplesPerMs)), _mm_setzero_ps()));
        back = reinterpret_cast<Float4>(
            _mm_min_ps(reinterpret_cast<__m128>(back), reinterpret_cast<__m128>(sizeF)));
        // Never -0 (a write position less a delay), so adding or taking
        // away a masked-out 0 leaves the position as it is.
        Float4 pos = writePos - back;
        pos += reinterpret_cast<Float4>((pos < 0.0f) & reinterpret_cast<Int4>(sizeF));
        // -tiny + size rounds to size
        pos -= reinterpret_cast<Float4>((pos >= sizeF) & reinterpret_cast<Int4>(sizeF));
        slot = __builtin_convertvector(pos, Int4);
        const Int4 last = Int4{} + (line.size - 1);
        next = (slot + 1) & ~(slot == last);
        frac = pos - __builtin_convertvector(slot, Float4);
    }
};

// What the signal pass needs of one frame, in one record: for each of the
// two taps, the slots of both lines (left, right, then the slots after
// them) and the weights (the fractions, then one minus them), the slots the
// frame writes and the mix gains.
struct FramePlan
{
    Int4 tapA, tapB;
    Float4 weightA, weightB;
    int32_t writeL, writeR;
    float dry, wet;
};

// The 4x4 transpose: lane j of row i becomes lane i of row j.
template <class V> void transpose(V& r0, V& r1, V& r2, V& r3)
{
    const V t0 = __builtin_shufflevector(r0, r1, 0, 4, 1, 5);
    const V t1 = __builtin_shufflevector(r2, r3, 0, 4, 1, 5);
    const V t2 = __builtin_shufflevector(r0, r1, 2, 6, 3, 7);
    const V t3 = __builtin_shufflevector(r2, r3, 2, 6, 3, 7);
    r0 = __builtin_shufflevector(t0, t1, 0, 1, 4, 5);
    r1 = __builtin_shufflevector(t0, t1, 2, 3, 6, 7);
    r2 = __builtin_shufflevector(t2, t3, 0, 1, 4, 5);
    r3 = __builtin_shufflevector(t2, t3, 2, 3, 6, 7);
}

// One tap in each line for frames k to k + 3 into their records.
template <int kTap>
inline __attribute__((always_inline)) void placeTaps(FramePlan* plan, const TapPlace& left,
                                                     const TapPlace& right)
{
    Int4 slotL = left.slot, slotR = right.slot, nextL = left.next, nextR = right.next;
    transpose(slotL, slotR, nextL, nextR);
    Float4 fracL = left.frac, fracR = right.frac;
    Float4 restL = 1.0f - left.frac, restR = 1.0f - right.frac;
    transpose(fracL, fracR, restL, restR);
    const Int4 slots[4] = {slotL, slotR, nextL, nextR};
    const Float4 weights[4] = {fracL, fracR, restL, restR};
    for (int j = 0; j < 4; ++j)
    {
        (kTap == 0 ? plan[j].tapA : plan[j].tapB) = slots[j];
        (kTap == 0 ? plan[j].weightA : plan[j].weightB) = weights[j];
    }
}

// One tap's reads of both lines, the left in lane 0 and the right in lane
// 1, as apFDelay::read interpolates them.
inline __attribute__((always_inline)) Float4 readTaps(const float* left, const float* right,
                                                      Int4 slots, Float4 weights)
{
    const Float4 at = pair(left + slots[0], right + slots[1]);
    const Float4 after = pair(left + slots[2], right + slots[3]);
    const Float4 frac = reinterpret_cast<Float4>(
        _mm_move_epi64(reinterpret_cast<__m128i>(weights))); // upper lanes zero
    const Float4 rest = reinterpret_cast<Float4>(_mm_movehl_ps(_mm_setzero_ps(), weights));
    return at * rest + after * frac;
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

    for (int i = 0; i < kSineEntries; ++i)
        sineTable[i] = lfo->table[i % apLFO::kTableSize];
    std::copy(saturationTable.table, saturationTable.table + SaturationTable::kSize, curveTable);
    curveTable[SaturationTable::kSize] = saturationTable.table[SaturationTable::kSize - 1];

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
// (none of which depends on the signal), into one record per frame; then
// the signal path frame by frame, both channels at once in two lanes,
// reading the lines before writing them as a single loop would. Each lane
// takes the same single-precision steps in the same order as the scalar
// blocks, so the output is theirs to the bit. The state lives in locals for
// the block: every store into the host's buffers could otherwise alias a
// float member and force it to be reloaded.
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
    const float* const sine = sineTable;
    const float increment = lfo->increment;
    float phase = lfo->phase;
    apFDelay::Cursor lineL = delayL->cursor();
    apFDelay::Cursor lineR = delayR->cursor();
    FilterPair feedback(*filterL, *filterR);
    float* const bufferL = lineL.buffer;
    float* const bufferR = lineR.buffer;
    float dry = dryGain;
    float wet = wetGain;
    float depth = modDepth;
    float base = baseDelay;

    alignas(16) float phaseAt[kChunk], depthAt[kChunk], baseAt[kChunk];
    alignas(16) float writeAtL[kChunk], writeAtR[kChunk];
    FramePlan plan[kChunk];
    int32_t writeL = lineL.writeIndex;
    int32_t writeR = lineR.writeIndex;

    // The values that carry from frame to frame, for frame k of a chunk.
    const auto carry = [&](int k, FramePlan& frame) __attribute__((always_inline))
    {
        phaseAt[k] = apLFO::inCycle(phase);
        depthAt[k] = depth;
        baseAt[k] = base;
        frame.dry = dry;
        frame.wet = wet;
        frame.writeL = writeL;
        frame.writeR = writeR;
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
    };

    for (VstInt32 start = 0; start < frames; start += kChunk)
    {
        const int count = static_cast<int>(std::min<VstInt32>(kChunk, frames - start));
        for (int k = 0; k < count; ++k)
            carry(k, plan[k]);

        // The LFO pair and the taps, four frames at a time. Frames past the
        // end of the block repeat the last one and go unused.
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
                // The table runs on past the cycle, so the entries after i
                // and a quarter cycle on need no wrap.
                Float4 at, next, at90, next90;
                gatherNeighbours(sine, i, at, next);
                gatherNeighbours(sine + apLFO::kTableSize / 4, i, at90, next90);
                const Float4 out = at * (1.0f - frac) + next * frac;
                const Float4 out90 = at90 * (1.0f - frac) + next90 * frac;

                const Float4 depth4 = load4(depthAt + k);
                const Float4 base4 = load4(baseAt + k);
                const Float4 a = out * depth4;
                const Float4 b = out90 * depth4;
                // The left taps at base + a and base + b, the right ones
                // moving the other way at base + depth - a and - b.
                const Float4 far = base4 + depth4;
                const Float4 writeL4 = load4(writeAtL + k);
                const Float4 writeR4 = load4(writeAtR + k);
                placeTaps<0>(plan + k, TapPlace(base4 + a, writeL4, lineL),
                             TapPlace(far - a, writeR4, lineR));
                placeTaps<1>(plan + k, TapPlace(base4 + b, writeL4, lineL),
                             TapPlace(far - b, writeR4, lineR));
            }
        }

        // The signal, both channels at once, the left in lane 0 and the
        // right in lane 1.
        for (int k = 0; k < count; ++k)
        {
            const VstInt32 i = start + k;
            const FramePlan& frame = plan[k];
            // Read everything from the inputs first: they may be the outputs.
            const Float4 in = pair(inputL + i, inputR + i);

            Float4 sum{};
            if constexpr (kLines)
                sum = readTaps(bufferL, bufferR, frame.tapA, frame.weightA) +
                      readTaps(bufferL, bufferR, frame.tapB, frame.weightB);
            // Each line is fed by its own channel and a tenth of the other's.
            const Float4 crossed = __builtin_shufflevector(sum, sum, 1, 0, 2, 3);
            const Float4 to = feedback.step(
                saturatePair(saturationTable, curveTable, 2.0f * in - 0.1f * crossed));
            if constexpr (kLines)
            {
                bufferL[frame.writeL] = to[0];
                bufferR[frame.writeR] = to[1];
            }

            const Float4 out = in * frame.dry + sum * frame.wet;
            if constexpr (kReplacing)
            {
                outputL[i] = out[0];
                outputR[i] = out[1];
            }
            else
            {
                outputL[i] += out[0];
                outputR[i] += out[1];
            }
        }
    }
    lineL.writeIndex = writeL;
    lineR.writeIndex = writeR;

    if constexpr (kLines)
    {
        delayL->store(lineL);
        delayR->store(lineR);
    }
    lfo->phase = phase;
    feedback.store(*filterL, *filterR);
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
