#include "CTirrow.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

using Quorlin::Fx::CSoftShaper;
using Quorlin::Fx::CStateVariableFilter;
using Quorlin::Fx::SvfResponses;

namespace
{

const char* const kParamNames[CTirrow::kNumParams] = {
    "Cutoff freq", "Resonance", "Drive", "LPF", "BPF", "HPF", "Notch", "Peak",
};
const char* const kParamLabels[CTirrow::kNumParams] = {
    "Hz", "%", "%", " ", " ", " ", " ", " ",
};
const char* const kIdError = "Id error!";

const char* const kCanDos[] = {
    "receiveVstEvents", "receiveVstMidiEvent", "plugAsChannelInsert", "plugAsSend", "1in1out",
    "2in2out",
};

constexpr VstInt32 kFirstController = 50;
constexpr VstInt32 kMaxScratchFrames = 8192;
constexpr int kLeft = 0;
constexpr int kRight = 1;

bool isValidParam(VstInt32 index)
{
    return static_cast<uint32_t>(index) < static_cast<uint32_t>(CTirrow::kNumParams);
}

// Display values are truncated towards zero; the clamp only matters for
// values no parameter reaches (a cutoff of billions of Hz).
int truncated(float value)
{
    if (!(value > static_cast<float>(INT_MIN)))
        return value < 0.0f ? INT_MIN : 0;
    if (value >= static_cast<float>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}

bool copyText(char* to, const char* from)
{
    if (to == nullptr)
        return false;
    std::strcpy(to, from);
    return true;
}

// What one stretch of both channels needs, taken from the filters and shapers
// once per block: the loop keeps it in registers instead of going back to the
// objects for every sample.
struct Chunk
{
    const float* in[2];
    float* out[2];
    float* const* responses[2];
    CStateVariableFilter::State state[2];
    float f[2];
    float damp[2];
    float k[2];
    VstInt32 frames;
};

// The switched-on responses (bit 0 low-pass .. bit 4 peak) added in the order
// low, band, high, notch, peak.
template <unsigned Mask> float mixed(float sum, const SvfResponses& r)
{
    if constexpr ((Mask & 1u) != 0)
        sum += r.low;
    if constexpr ((Mask & 2u) != 0)
        sum += r.band;
    if constexpr ((Mask & 4u) != 0)
        sum += r.high;
    if constexpr ((Mask & 8u) != 0)
        sum += r.notch;
    if constexpr ((Mask & 16u) != 0)
        sum += r.peak;
    return sum;
}

void storeResponses(float* const* set, VstInt32 i, const SvfResponses& r)
{
    set[0][i] = r.low;
    set[1][i] = r.band;
    set[2][i] = r.high;
    set[3][i] = r.notch;
    set[4][i] = r.peak;
}

// Both channels side by side, so that the two filters' recursions overlap.
// Frame i reads both inputs before it writes an output, and writes the left
// output before it reads the right one: shared buffers for inputs and outputs
// give what channel-by-channel processing gives.
template <unsigned Mask, bool Replacing> void runChunk(Chunk& c)
{
    const float* const inLeft = c.in[kLeft];
    const float* const inRight = c.in[kRight];
    float* const outLeft = c.out[kLeft];
    float* const outRight = c.out[kRight];
    float* const* const setLeft = c.responses[kLeft];
    float* const* const setRight = c.responses[kRight];
    CStateVariableFilter::State left = c.state[kLeft];
    CStateVariableFilter::State right = c.state[kRight];
    const float fLeft = c.f[kLeft], fRight = c.f[kRight];
    const float dampLeft = c.damp[kLeft], dampRight = c.damp[kRight];
    const float kLeftShaper = c.k[kLeft], kRightShaper = c.k[kRight];
    const VstInt32 frames = c.frames;

    for (VstInt32 i = 0; i < frames; ++i)
    {
        const float xLeft = inLeft[i];
        const float xRight = inRight[i];
        const SvfResponses rLeft = CStateVariableFilter::step(left, fLeft, dampLeft, xLeft);
        const SvfResponses rRight = CStateVariableFilter::step(right, fRight, dampRight, xRight);
        storeResponses(setLeft, i, rLeft);
        storeResponses(setRight, i, rRight);
        outLeft[i] =
            CSoftShaper::curve(kLeftShaper, mixed<Mask>(Replacing ? 0.0f : outLeft[i], rLeft));
        outRight[i] =
            CSoftShaper::curve(kRightShaper, mixed<Mask>(Replacing ? 0.0f : outRight[i], rRight));
    }

    c.state[kLeft] = left;
    c.state[kRight] = right;
}

using ChunkRunner = void (*)(Chunk&);

template <bool Replacing, unsigned... Masks>
constexpr std::array<ChunkRunner, sizeof...(Masks)>
chunkRunners(std::integer_sequence<unsigned, Masks...>)
{
    return {&runChunk<Masks, Replacing>...};
}

// One specialised loop per combination of responses and per mode.
constexpr auto kReplacingRunners =
    chunkRunners<true>(std::make_integer_sequence<unsigned, 1u << CTirrow::kNumResponses>());
constexpr auto kAccumulatingRunners =
    chunkRunners<false>(std::make_integer_sequence<unsigned, 1u << CTirrow::kNumResponses>());

} // namespace

CTirrow::CTirrow(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams)
{
    setNumInputs(2);
    setNumOutputs(2);
    canMono();
    canProcessReplacing();

    createPresets();

    switches[0] = true; // low-pass
    bufferFrames = getBlockSize();
    filterSampleRate = getSampleRate();

    filters[kLeft] = std::make_unique<CStateVariableFilter>(filterSampleRate);
    filters[kRight] = std::make_unique<CStateVariableFilter>(filterSampleRate);
    shapers[kLeft] = std::make_unique<CSoftShaper>();
    shapers[kRight] = std::make_unique<CSoftShaper>();

    curProgram = 0;
    for (VstInt32 i = 0; i < kNumParams; ++i)
        setParameter(i, programs[0].values[i]);
}

CTirrow::~CTirrow() = default;

// ---------------------------------------------------------------------------
// Parameters

void CTirrow::setParameter(VstInt32 index, float value)
{
    if (!isValidParam(index))
        return;
    programs[curProgram].values[index] = value;
    params[index] = value;

    switch (index)
    {
    case kCutoff:
        filters[kLeft]->setFrequency(value);
        filters[kRight]->setFrequency(value);
        break;
    case kResonance:
        filters[kLeft]->setResonance(value);
        filters[kRight]->setResonance(value);
        break;
    case kDrive:
        shapers[kLeft]->setDrive(value);
        shapers[kRight]->setDrive(value);
        break;
    default:
        switches[index - kLowPass] = value >= 0.5f;
        break;
    }

#ifdef FX_AU_ADAPTER
    // The Audio Unit's parameter store follows, and an open view is told.
    AUBase::SetParameter(static_cast<AudioUnitParameterID>(index), kAudioUnitScope_Global, 0, value,
                         0);
    if (editor != nullptr)
    {
        editor->postUpdate();
        editor->setParameter(index, value);
    }
#endif
}

float CTirrow::getParameter(VstInt32 index)
{
    return isValidParam(index) ? params[index] : 0.0f;
}

void CTirrow::getParameterName(VstInt32 index, char* text)
{
    copyText(text, isValidParam(index) ? kParamNames[index] : kIdError);
}

void CTirrow::getParameterLabel(VstInt32 index, char* text)
{
    copyText(text, isValidParam(index) ? kParamLabels[index] : kIdError);
}

void CTirrow::getParameterDisplay(VstInt32 index, char* text)
{
    if (text == nullptr)
        return;
    // Every text fits the host's eight characters except "Id error!", which
    // is what hosts of this effect have always been shown.
    switch (index)
    {
    case kCutoff:
        std::sprintf(text, "%.05d", truncated(filters[kLeft]->cutoff));
        return;
    case kResonance:
        std::sprintf(text, "%.03d", truncated(100.0f * filters[kLeft]->resonance));
        return;
    case kDrive:
        std::sprintf(text, "%.03d", truncated(shapers[kLeft]->getDrive()));
        return;
    default:
        if (!isValidParam(index))
        {
            std::strcpy(text, kIdError);
            return;
        }
        std::strcpy(text, switches[index - kLowPass] ? " On" : "Off");
        return;
    }
}

// ---------------------------------------------------------------------------
// Programs

void CTirrow::setProgram(VstInt32 program)
{
    if (static_cast<uint32_t>(program) >= static_cast<uint32_t>(kNumPrograms))
        return;
    curProgram = program;
    for (VstInt32 i = 0; i < kNumParams; ++i)
        setParameter(i, programs[program].values[i]);
}

void CTirrow::getProgramName(char* name)
{
    copyText(name, programs[curProgram].name);
}

void CTirrow::setProgramName(char* name)
{
    if (name == nullptr)
        return;
    char* const to = programs[curProgram].name;
    std::strncpy(to, name, kProgramNameSize - 1);
    to[kProgramNameSize - 1] = '\0';
}

bool CTirrow::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(kNumPrograms))
        return false;
    return copyText(text, programs[index].name);
}

// ---------------------------------------------------------------------------
// Rate, block size, suspend and resume

void CTirrow::setSampleRate(float rate)
{
    if (rate == filterSampleRate)
        return;
    AudioEffectX::setSampleRate(rate);
    filterSampleRate = rate;
    filters[kLeft]->setSampleRate(rate);
    filters[kRight]->setSampleRate(rate);
}

void CTirrow::setBlockSize(VstInt32 frames)
{
    AudioEffectX::setBlockSize(frames);
    bufferFrames = frames;
}

void CTirrow::suspend()
{
    reallocate = true;
}

void CTirrow::resume()
{
    if (reallocate)
    {
        allocateScratch();
        reallocate = false;
    }
    AudioEffectX::resume();
}

void CTirrow::allocateScratch()
{
    // At least one frame, so that a block size of 0 from a host still leaves
    // something to process longer blocks through in pieces; at most
    // kMaxScratchFrames, so that an absurd block size announced by a host
    // does not ask for gigabytes (longer blocks go through in pieces too).
    scratchFrames = std::clamp<VstInt32>(bufferFrames, 1, kMaxScratchFrames);
    scratch.assign(static_cast<size_t>(scratchFrames) * 2 * kNumResponses, 0.0f);
    for (int channel = 0; channel < 2; ++channel)
        for (int r = 0; r < kNumResponses; ++r)
            responseSets[channel][r] =
                scratch.data() + static_cast<size_t>(channel * kNumResponses + r) * scratchFrames;
}

// ---------------------------------------------------------------------------
// Processing

void CTirrow::processReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    doProcess(inputs, outputs, frames, true);
}

void CTirrow::process(float** inputs, float** outputs, VstInt32 frames)
{
    doProcess(inputs, outputs, frames, false);
}

void CTirrow::doProcess(float** inputs, float** outputs, VstInt32 frames, bool replacing)
{
    if (frames <= 0 || inputs == nullptr || outputs == nullptr || inputs[0] == nullptr ||
        inputs[1] == nullptr || outputs[0] == nullptr || outputs[1] == nullptr)
        return;
    // A host that never resumed the effect gets its buffers here, once.
    if (scratchFrames == 0)
        allocateScratch();

    unsigned mask = 0;
    for (int r = 0; r < kNumResponses; ++r)
        mask |= switches[r] ? 1u << r : 0u;
    const ChunkRunner run = replacing ? kReplacingRunners[mask] : kAccumulatingRunners[mask];

    Chunk chunk{};
    for (int channel = 0; channel < 2; ++channel)
    {
        const CStateVariableFilter& filter = *filters[channel];
        chunk.responses[channel] = responseSets[channel];
        chunk.state[channel] = filter.state();
        chunk.f[channel] = filter.f;
        chunk.damp[channel] = filter.damp;
        chunk.k[channel] = shapers[channel]->k;
    }

    // A block longer than the scratch buffers goes through in pieces: the
    // result is the same, and nothing is allocated on the audio thread.
    for (VstInt32 offset = 0; offset < frames;)
    {
        chunk.frames = std::min(scratchFrames, frames - offset);
        for (int channel = 0; channel < 2; ++channel)
        {
            chunk.in[channel] = inputs[channel] + offset;
            chunk.out[channel] = outputs[channel] + offset;
        }
        run(chunk);
        offset += chunk.frames; // never past frames, so it cannot overflow
    }

    filters[kLeft]->setState(chunk.state[kLeft]);
    filters[kRight]->setState(chunk.state[kRight]);

    // A NaN or infinite input would otherwise stay in the filter state and
    // silence the effect for good; from the next block on it is gone.
    filters[kLeft]->resetStateIfNotFinite();
    filters[kRight]->resetStateIfNotFinite();
}

// ---------------------------------------------------------------------------
// MIDI

VstInt32 CTirrow::processEvents(VstEvents* events)
{
    if (events == nullptr)
        return 1;
    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
        const VstEvent* event = vstEventAt(events, i);
        if (event == nullptr || event->type != kVstMidiType)
            continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const auto status = static_cast<unsigned char>(midi->midiData[0]);
        if ((status & 0xF0) != 0xB0)
            continue;
        setControllers(midi->midiData[1] & 0x7F, midi->midiData[2] & 0x7F);
    }
    return 1;
}

void CTirrow::setControllers(VstInt32 controller, VstInt32 value)
{
    const VstInt32 index = controller - kFirstController;
    if (!isValidParam(index))
        return;
    setParameter(index, midiToFloat(value));
}

// ---------------------------------------------------------------------------
// Identity

VstInt32 CTirrow::canDo(char* text)
{
    if (text == nullptr)
        return -1;
    for (const char* capability : kCanDos)
        if (std::strcmp(text, capability) == 0)
            return 1;
    return -1;
}

bool CTirrow::getEffectName(char* name)
{
    return copyText(name, "Tirrow");
}

bool CTirrow::getVendorString(char* text)
{
    return copyText(text, "Quorlin-Audio");
}

bool CTirrow::getProductString(char* text)
{
    return copyText(text, "SV Filter");
}
