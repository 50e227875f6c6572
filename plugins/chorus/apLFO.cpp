#include "apLFO.h"

#include <cmath>

namespace
{

// 2 pi / 1000 as a single-precision constant.
constexpr float kRadiansPerEntry = 0.006283185910433531f;

} // namespace

apLFO::apLFO()
{
    for (int i = 0; i < kTableSize; ++i)
        table[i] = (std::sin(static_cast<float>(i) * kRadiansPerEntry) + 1.0f) * 0.5f;
}

void apLFO::setSpeed(float hz)
{
    speed = hz;
    increment = static_cast<float>(static_cast<double>(hz) / sampleRate * 1000.0);
}

float apLFO::wrapIntoCycle(float p)
{
    constexpr float size = static_cast<float>(kTableSize);
    if (!std::isfinite(p))
        return 0.0f;
    p = std::fmod(p, size);
    if (p < 0.0f)
        p += size;
    return p < size ? p : 0.0f;
}

float apLFO::getValueWithPhase(float offset) const
{
    // fmod gives exactly what repeated subtraction of 1000 would; a negative
    // or NaN offset ends up inside the cycle too instead of outside the table.
    const float p = inCycle(phase + offset);
    const int i = static_cast<int>(p);
    return interpolate(i, p - static_cast<float>(i));
}
