#include "apFDelay.h"

#include <algorithm>
#include <new>

namespace
{

// Beyond 2^24 slots (over six minutes at 44.1 kHz) the slot count would no
// longer be exact as a float read position.
constexpr float kMaxSlots = 16777216.0f;

} // namespace

apFDelay::apFDelay()
{
    reset();
}

apFDelay::~apFDelay()
{
    delete[] buffer;
}

void apFDelay::setSampleRate(double hz)
{
    sampleRate = hz;
    samplesPerMs = static_cast<float>(hz * 0.001);
    setMaxDelay(maxDelay);
}

void apFDelay::setMaxDelay(float ms)
{
    maxDelay = ms;
    float slots = ms * samplesPerMs;
    if (!(slots >= 0.0f)) // negative, or NaN from a broken rate or length
        slots = 0.0f;
    slots = std::min(slots, kMaxSlots - 1.0f);
    size = static_cast<int32_t>(slots) + 1;
    sizeF = static_cast<float>(size);

    // A line that fits the present buffer keeps it: a rate change back and
    // forth between blocks then costs no allocation.
    if (buffer == nullptr || size > capacity)
    {
        delete[] buffer;
        buffer = new (std::nothrow) float[static_cast<size_t>(size)];
        capacity = buffer != nullptr ? size : 0;
    }
    if (buffer == nullptr)
    {
        // Out of memory: an empty line that reads silence and ignores writes.
        size = 0;
        sizeF = 0.0f;
    }
    reset();
}

void apFDelay::reset()
{
    writeIndex = 0;
    if (buffer != nullptr)
        std::fill(buffer, buffer + size, 0.0f);
}
