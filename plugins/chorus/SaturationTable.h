#pragma once

// The chorus's saturation: tanh from a 1000-entry table (inputs 0 to 9.99 in
// steps of 0.01), linearly interpolated, odd-symmetric.
class SaturationTable
{
public:
    static constexpr int kSize = 1000;

    SaturationTable();

    float saturate(float x) const
    {
        if (x >= 0.0f)
        {
            if (x >= 10.0f)
                return table[kSize - 1];
            return lookup(x * 100.0f);
        }
        if (x < 0.0f)
        {
            if (x <= -10.0f)
                return -table[kSize - 1];
            return -lookup(x * -100.0f);
        }
        return 0.0f; // NaN: silence, so it never reaches the feedback path
    }

    float table[kSize];

private:
    // p in [0, 1000). From 9.99 up to 10 the upper neighbour would lie one
    // entry beyond the table; the last entry stands in for it, so the curve
    // is flat there and meets the value returned from 10 on.
    float lookup(float p) const
    {
        int i = static_cast<int>(p);
        if (i > kSize - 1)
            i = kSize - 1;
        const float frac = p - static_cast<float>(i);
        const float upper = i < kSize - 1 ? table[i + 1] : table[kSize - 1];
        return table[i] * (1.0f - frac) + upper * frac;
    }
};
