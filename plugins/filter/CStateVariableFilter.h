#pragma once

#include "CExpMapper.h"

namespace Quorlin::Fx
{

// The five responses of one input sample, each the mean of the two
// oversampled passes.
struct SvfResponses
{
    float low = 0.0f;
    float band = 0.0f;
    float high = 0.0f;
    float notch = 0.0f;
    float peak = 0.0f; // low - high
};

// A state-variable filter run twice per input sample (double-sampled), so its
// cutoff can reach half the sample rate. The owner runs step() inline in its
// block loop; the class keeps the coefficients, the state and the cutoff
// mapping (50 Hz to three quarters of the sample rate, exponential).
class CStateVariableFilter
{
public:
    explicit CStateVariableFilter(float sampleRate);
    virtual ~CStateVariableFilter();

    CStateVariableFilter(const CStateVariableFilter&) = delete;
    CStateVariableFilter& operator=(const CStateVariableFilter&) = delete;

    // Normalised cutoff, 0..1, mapped exponentially to 50 Hz .. 0.75 x rate.
    void setFrequency(float normalised);
    // Resonance 0..1: 0 damps most, 1 rings without decay. Values outside
    // the range (NaN included) are clamped, so the filter never grows.
    void setResonance(float resonance);
    // Sample rate in Hz; re-maps the cutoff, keeps the state.
    void setSampleRate(float hz);

    // Recomputes f and damp from cutoff, resonance and sampleRate.
    virtual void cookParameters();

    // The recursion's state on its own, so that a block loop can keep it in
    // registers and hand it back afterwards.
    struct State
    {
        float notch = 0.0f;
        float low = 0.0f;
        float high = 0.0f;
        float band = 0.0f;
    };
    State state() const { return {notch, low, high, band}; }
    void setState(const State& s)
    {
        notch = s.notch;
        low = s.low;
        high = s.high;
        band = s.band;
    }

    // One input sample through both passes with the coefficients f and damp;
    // advances s.
    static SvfResponses step(State& s, float f, float damp, float x)
    {
        const float in = x + 1e-15f; // keeps the recursion clear of denormals
        SvfResponses out;
        for (int pass = 0; pass < 2; ++pass)
        {
            s.notch = in - damp * s.band;
            s.low = s.low + f * s.band;
            s.high = s.notch - s.low;
            s.band = f * s.high + s.band;
            out.low += 0.5f * s.low;
            out.band += 0.5f * s.band;
            out.high += 0.5f * s.high;
            out.notch += 0.5f * s.notch;
            out.peak += 0.5f * (s.low - s.high);
        }
        return out;
    }

    // One input sample through both passes; advances the state.
    SvfResponses step(float x)
    {
        State s = state();
        const SvfResponses out = step(s, f, damp, x);
        setState(s);
        return out;
    }

    // Clears the state if a non-finite input has reached it; answers whether
    // it did. Without this a single NaN sample would silence the filter for
    // good. Cheap enough to call once per block.
    bool resetStateIfNotFinite();

    float frequency = 0.9f;
    float cutoff = 0.0f;
    float resonance = 0.5f;
    float f = 0.0f;
    float damp = 0.0f;
    float notch = 0.0f;
    float low = 0.0f;
    float high = 0.0f;
    float band = 0.0f;
    float sampleRate;
    Utility::CExpMapper* mapper;
};

} // namespace Quorlin::Fx
