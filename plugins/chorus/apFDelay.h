#pragma once

#include <cstdint>

// A circular delay line sized in milliseconds, read at fractional delays with
// linear interpolation. The owner reads its taps for a sample first, then
// writes the sample.
class apFDelay
{
public:
    apFDelay();
    ~apFDelay();

    apFDelay(const apFDelay&) = delete;
    apFDelay& operator=(const apFDelay&) = delete;

    // Sample rate in Hz; rebuilds (and so clears) the line at the same length
    // in milliseconds.
    void setSampleRate(double hz);
    // Length in milliseconds; clears the line. The only call that allocates,
    // and only when the line outgrows the buffer it has.
    void setMaxDelay(float ms);
    // Clears the samples and rewinds the write position; keeps the length.
    void reset();

    // The signal delayMs milliseconds back. A delay of 0 reads the slot about
    // to be overwritten, i.e. the oldest sample. Delays outside the line
    // (negative, NaN, longer than the line) are held at its ends.
    float read(float delayMs) const
    {
        if (buffer == nullptr)
            return 0.0f;
        float back = delayMs * samplesPerMs;
        if (!(back >= 0.0f))
            back = 0.0f;
        if (back > sizeF)
            back = sizeF;
        float pos = static_cast<float>(writeIndex) - back;
        if (pos < 0.0f)
            pos += sizeF;
        if (pos >= sizeF) // -tiny + size rounds to size: that is slot 0
            pos -= sizeF;
        const int i = static_cast<int>(pos);
        const float frac = pos - static_cast<float>(i);
        const int next = i == size - 1 ? 0 : i + 1;
        return buffer[i] * (1.0f - frac) + buffer[next] * frac;
    }

    void write(float x)
    {
        if (buffer == nullptr)
            return;
        buffer[writeIndex] = x;
        if (++writeIndex >= size)
            writeIndex -= size;
    }

    // A copy of the fields for a block loop that reads the line in its own
    // way: kept in locals, they stay in registers instead of being reloaded
    // after every store into an audio buffer. Only for a line that has a
    // buffer; hand it back with store() when the block is done.
    struct Cursor
    {
        float* buffer;
        int32_t writeIndex;
        int32_t size;
        float sizeF;
        float samplesPerMs;

        void write(float x)
        {
            buffer[writeIndex] = x;
            if (++writeIndex >= size)
                writeIndex -= size;
        }
    };

    Cursor cursor() const { return {buffer, writeIndex, size, sizeF, samplesPerMs}; }
    void store(const Cursor& c) { writeIndex = c.writeIndex; }

    float* buffer = nullptr;
    int32_t writeIndex = 0;
    int32_t size = 0;
    float sizeF = 0.0f;
    float maxDelay = 0.0f;
    double sampleRate = 0.0;
    float samplesPerMs = 0.0f;

private:
    int32_t capacity = 0; // slots allocated, at least size
};
