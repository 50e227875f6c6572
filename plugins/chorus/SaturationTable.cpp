#include "SaturationTable.h"

#include <cmath>

SaturationTable::SaturationTable()
{
    for (int i = 0; i < kSize; ++i)
    {
        const float x = static_cast<float>(i) * 0.01f;
        table[i] = static_cast<float>(std::tanh(static_cast<double>(x)));
    }
}
