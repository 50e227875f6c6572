#include "CStateVariableFilter.h"

#include <algorithm>
#include <cmath>

namespace Quorlin::Fx
{

namespace
{

constexpr float kMinCutoffHz = 50.0f;
constexpr float kMaxCutoffOfRate = 0.75f;
constexpr float kInitialFrequency = 0.9f;
// The coefficient is formed in double precision from the single-precision pi.
constexpr double kPiFromFloat = static_cast<double>(3.14159265358979f);

} // namespace

CStateVariableFilter::CStateVariableFilter(float sampleRate)
    : sampleRate(sampleRate), mapper(new Utility::CExpMapper(
                                  kMinCutoffHz, kMaxCutoffOfRate * sampleRate, kInitialFrequency))
{
    cutoff = mapper->setAndGetValue(kInitialFrequency);
    cookParameters();
}

CStateVariableFilter::~CStateVariableFilter()
{
    delete mapper;
}

void CStateVariableFilter::setFrequency(float normalised)
{
    frequency = normalised;
    cutoff = mapper->setAndGetValue(normalised);
    cookParameters();
}

void CStateVariableFilter::setResonance(float r)
{
    // Above 1 the damping turns negative and the state grows without bound;
    // below 0 (or NaN) the fourth root is undefined.
    resonance = r > 0.0f ? std::min(r, 1.0f) : 0.0f;
    cookParameters();
}

void CStateVariableFilter::setSampleRate(float hz)
{
    sampleRate = hz;
    mapper->setRange(kMinCutoffHz, kMaxCutoffOfRate * hz);
    cutoff = mapper->setAndGetValue(frequency);
    cookParameters();
}

void CStateVariableFilter::cookParameters()
{
    // The cutoff relative to the doubled rate; f stops rising at half the
    // sample rate. A NaN (a broken sample rate) takes the top as well, and a
    // negative one the bottom, so f always lies in [0, sqrt 2].
    float ratio = cutoff / (2.0f * sampleRate);
    if (!(ratio <= 0.25f))
        ratio = 0.25f;
    if (ratio < 0.0f)
        ratio = 0.0f;
    f = static_cast<float>(2.0 * std::sin(kPiFromFloat * static_cast<double>(ratio)));

    // Beyond 2/f - f/2 the double-sampled recursion becomes unstable.
    const float limit = std::min(2.0f, 2.0f / f - 0.5f * f);
    const float fromResonance =
        static_cast<float>(2.0 * (1.0 - std::pow(static_cast<double>(resonance), 0.25)));
    damp = std::min(fromResonance, limit);
}

bool CStateVariableFilter::resetStateIfNotFinite()
{
    if (std::isfinite(notch) && std::isfinite(low) && std::isfinite(high) && std::isfinite(band))
        return false;
    notch = low = high = band = 0.0f;
    return true;
}

} // namespace Quorlin::Fx
