#pragma once

namespace Quorlin::Utility
{

// Maps a normalised control value onto [min, max] along an equal-ratio curve:
// x = 0 gives min, x = 1 gives max, x = 0.5 their geometric mean. The input is
// not clamped, the result is.
class CExpMapper
{
public:
    // min and max in the caller's unit (Hz for the filter); a min of 0 or less
    // is taken as 1 so that the logarithm exists. initial is mapped at once.
    CExpMapper(float min, float max, float initial);
    virtual ~CExpMapper() = default;

    // Replaces the range without re-mapping; min must be positive.
    void setRange(float min, float max);
    // Maps x (nominally 0..1) and keeps the result.
    void setValue(float x);
    float setAndGetValue(float x);
    float getValue() const { return value; }

    float value = 0.0f;
    float min = 1.0f;
    float max = 1.0f;
    float logMin = 0.0f;
    float logRange = 0.0f;

private:
    float map(float x) const;
};

} // namespace Quorlin::Utility
