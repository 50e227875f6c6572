#pragma once

// A table-driven low-frequency oscillator with two outputs a quarter cycle
// apart, both unipolar (0..1). The owner reads the outputs, then calls
// advance() once per sample.
class apLFO
{
public:
    static constexpr int kTableSize = 1000;

    apLFO();

    // Only stores the rate: the increment follows at the next setSpeed.
    void setSampleRate(double hz) { sampleRate = hz; }
    // Rate in Hz.
    void setSpeed(float hz);

    // The oscillator `offset` table entries (0..1000 per cycle, not negative)
    // ahead of the current phase.
    float getValueWithPhase(float offset) const;
    // The value at the current phase, and the value a quarter cycle ahead.
    void get90Values(float* out, float* out90) const
    {
        const float p = inCycle(phase);
        const int i = static_cast<int>(p);
        const float frac = p - static_cast<float>(i);
        int j = i + kTableSize / 4;
        if (j > kTableSize - 1)
            j -= kTableSize;
        *out = interpolate(i, frac);
        *out90 = interpolate(j, frac);
    }

    void advance() { phase = advanced(phase, increment); }
    // Phase p moved on by one sample's increment.
    static float advanced(float p, float increment)
    {
        p += increment;
        if (p >= static_cast<float>(kTableSize))
            p -= static_cast<float>(kTableSize);
        // Only a broken increment (a speed beyond the sample rate, a NaN)
        // gets past the single wrap; bring the phase back into the cycle.
        if (!(p >= 0.0f && p < static_cast<float>(kTableSize)))
            p = inCycle(p);
        return p;
    }

    float table[kTableSize];
    double sampleRate = 0.0;
    float phase = 0.0f;
    float speed = 0.0f;
    float increment = 0.0f;

    // p wrapped into [0, kTableSize); anything not finite gives 0.
    static float inCycle(float p)
    {
        if (p >= 0.0f && p < static_cast<float>(kTableSize))
            return p;
        return wrapIntoCycle(p);
    }

private:
    static float wrapIntoCycle(float p);

    float interpolate(int i, float frac) const
    {
        const int next = i == kTableSize - 1 ? 0 : i + 1;
        return table[i] * (1.0f - frac) + table[next] * frac;
    }
};
