#include "CTirrow.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

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

    // A block longer than the scratch buffers goes through in pieces: the
    // result is the same, and nothing is allocated on the audio thread.
    for (VstInt32 offset = 0; offset < frames;)
    {
        const VstInt32 chunk = std::min(scratchFrames, frames - offset);
        processChunk(inputs, outputs, offset, chunk, replacing);
        offset += chunk; // never past frames, so it cannot overflow
    }

    // A NaN or infinite input would otherwise stay in the filter state and
    // silence the effect for good; from the next block on it is gone.
    filters[kLeft]->resetStateIfNotFinite();
    filters[kRight]->resetStateIfNotFinite();
}

void CTirrow::processChunk(float** inputs, float** outputs, VstInt32 offset, VstInt32 frames,
                           bool replacing)
{
    // Both channels consume their input before any output is written, so the
    // host may hand the same buffers for both.
    for (int channel = 0; channel < 2; ++channel)
    {
        CStateVariableFilter& filter = *filters[channel];
        const float* in = inputs[channel] + offset;
        float* const* set = responseSets[channel];
        for (VstInt32 i = 0; i < frames; ++i)
        {
            const SvfResponses r = filter.step(in[i]);
            set[0][i] = r.low;
            set[1][i] = r.band;
            set[2][i] = r.high;
            set[3][i] = r.notch;
            set[4][i] = r.peak;
        }
    }

    for (int channel = 0; channel < 2; ++channel)
    {
        float* out = outputs[channel] + offset;
        if (replacing)
            std::fill(out, out + frames, 0.0f);
        for (int r = 0; r < kNumResponses; ++r)
        {
            if (!switches[r])
                continue;
            const float* response = responseSets[channel][r];
            for (VstInt32 i = 0; i < frames; ++i)
                out[i] += response[i];
        }
        const CSoftShaper& shaper = *shapers[channel];
        for (VstInt32 i = 0; i < frames; ++i)
            out[i] = shaper.shape(out[i]);
    }
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
