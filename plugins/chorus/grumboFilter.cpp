#include "grumboFilter.h"

#include <cmath>

namespace
{

constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfLn2 = 0.34657359027997264;

} // namespace

void grumboFilter::setSampleRate(double hz)
{
    sampleRate = hz;
    set2(centre, bandwidth);
}

void grumboFilter::set(float lowHz, float highHz)
{
    const float mean = (lowHz + highHz) * 0.5f;
    const float c = static_cast<float>(static_cast<double>(mean) / sampleRate);
    const float octaves = static_cast<float>(std::log2(static_cast<double>(highHz / lowHz)));
    set2(c, octaves);
}

void grumboFilter::set2(float c, float octaves)
{
    if (c == centre && octaves == bandwidth)
        return;
    centre = c;
    bandwidth = octaves;

    // Band-pass with constant 0 dB peak gain, from the widely published
    // audio-EQ biquad formulas.
    const float w0 = static_cast<float>(static_cast<double>(c) * kTwoPi);
    const float s = static_cast<float>(std::sin(static_cast<double>(w0)));
    const float alpha = static_cast<float>(
        s * std::sinh(kHalfLn2 * octaves * static_cast<double>(w0) / static_cast<double>(s)));
    const float a0 = 1.0f + alpha;
    const float nb0 = alpha / a0;
    const float na1 = static_cast<float>(-2.0 * std::cos(static_cast<double>(w0)) / a0);
    const float na2 = (1.0f - alpha) / a0;

    // A centre at 0 or at half the rate, a zero or infinite bandwidth or a
    // broken sample rate leave no usable filter: pass nothing rather than
    // feed infinities or NaN into the recursion.
    if (!std::isfinite(nb0) || !std::isfinite(na1) || !std::isfinite(na2) || !(alpha > 0.0f))
    {
        b0 = b2 = a1 = a2 = 0.0f;
        return;
    }
    b0 = nb0;
    b2 = -nb0;
    a1 = na1;
    a2 = na2;
}

bool grumboFilter::resetStateIfNotFinite()
{
    if (std::isfinite(x1) && std::isfinite(x2) && std::isfinite(y1) && std::isfinite(y2))
        return false;
    reset();
    return true;
}
