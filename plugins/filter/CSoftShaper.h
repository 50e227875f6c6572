#pragma once

#include <cmath>

namespace Quorlin::Fx
{

// Rational soft saturation y = (k + 1) x / (k |x| + 1): gain k + 1 for small
// signals, approaching +-(k + 1)/k for large ones, +-1 always mapped to +-1.
class CSoftShaper
{
public:
    CSoftShaper() = default;
    virtual ~CSoftShaper() = default;

    // Drive 0..1 (clamped, NaN taken as 0): k runs from about 0.96 to 99.
    virtual void setDrive(float drive);
    // The drive as a percentage, 0..100, for display.
    virtual float getDrive() const { return drive; }

    // The curve; the identity until the first setDrive (k = 0).
    float shape(float x) const { return curve(k, x); }
    // The curve for a given k, for block loops that keep k in a register.
    static float curve(float k, float x)
    {
        const float numerator = (k + 1.0f) * x;
        const double denominator = static_cast<double>(k) * std::fabs(static_cast<double>(x)) + 1.0;
        return static_cast<float>(static_cast<double>(numerator) / denominator);
    }

    float drive = 0.0f;
    float k = 0.0f;
};

} // namespace Quorlin::Fx
