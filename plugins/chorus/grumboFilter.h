#pragma once

#include <cmath>

// A band-pass biquad with 0 dB peak gain, set from two corner frequencies or
// from a centre and a bandwidth in octaves. The owner runs step() inline.
class grumboFilter
{
public:
    grumboFilter() { reset(); }

    // Stores the rate; the normalised centre stays as it is, so the centre in
    // Hz moves with the rate until the next set().
    void setSampleRate(double hz);
    // Corners in Hz: centre at their arithmetic mean, bandwidth log2(high/low).
    void set(float lowHz, float highHz);
    // Centre as a fraction of the sample rate (0..0.5), bandwidth in octaves.
    // Recomputes only when a value differs from the stored one.
    void set2(float centre, float octaves);
    // Clears the signal state, keeps the coefficients.
    void reset() { x1 = x2 = y1 = y2 = 0.0f; }

    float step(float x)
    {
        // b1 is always 0; the tiny offset keeps the recursion out of denormals.
        const float sum = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        const float y = withOffset(sum);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    // sum + 1e-25, added in double precision and rounded back to float.
    // Wherever |sum| >= 2^-57 the offset is below a quarter of the float
    // spacing there, so the rounding gives sum itself: only values near zero
    // take the conversions, which would otherwise lengthen the recursion's
    // dependency chain on every sample.
    static float withOffset(float sum)
    {
        if (std::fabs(sum) >= 0x1p-57f) [[likely]]
            return sum;
        return static_cast<float>(static_cast<double>(sum) + 1e-25);
    }

    // Clears the state if a non-finite input has reached it; answers whether
    // it did. Without it a single NaN would stay in the recursion for good.
    bool resetStateIfNotFinite();

    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f;
    float a1 = 0.0f, a2 = 0.0f;
    float x1 = 0.0f, x2 = 0.0f;
    float y1 = 0.0f, y2 = 0.0f;
    float centre = 0.5f;
    float bandwidth = 0.1f;
    double sampleRate = 0.0;
};
