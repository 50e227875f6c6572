#include "CSoftShaper.h"

#include <algorithm>

namespace Quorlin::Fx
{

void CSoftShaper::setDrive(float d)
{
    // Past d = 1.02 the constant a reaches 1 and k turns infinite or negative.
    d = d > 0.0f ? std::min(d, 1.0f) : 0.0f;
    drive = 100.0f * d;
    const float a = 0.5f * d + 0.49f;
    k = a / (1.0f - a);
}

} // namespace Quorlin::Fx
