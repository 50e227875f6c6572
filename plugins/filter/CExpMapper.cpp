#include "CExpMapper.h"

#include <cmath>

namespace Quorlin::Utility
{

CExpMapper::CExpMapper(float min, float max, float initial)
{
    if (min > 0.0f)
    {
        setRange(min, max);
    }
    else
    {
        this->min = 1.0f;
        this->max = max;
        logMin = 0.0f;
        logRange = std::log(max);
    }
    setValue(initial);
}

void CExpMapper::setRange(float min, float max)
{
    this->min = min;
    this->max = max;
    logMin = std::log(min);
    logRange = std::log(max) - logMin;
}

float CExpMapper::map(float x) const
{
    const float raw = std::exp(x * logRange + logMin);
    // Written so that a NaN (from a NaN input or a broken range) lands on min:
    // the result stays inside the range whatever comes in.
    if (!(raw >= min))
        return min;
    return raw > max ? max : raw;
}

void CExpMapper::setValue(float x)
{
    value = map(x);
}

float CExpMapper::setAndGetValue(float x)
{
    setValue(x);
    return value;
}

} // namespace Quorlin::Utility
