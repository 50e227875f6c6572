#include "csd_utilities.h"

#include <limits.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

float gAudioSamplingRate = 44100.0f;
float gAudioSamplingRateReciprocal = 1.0f / 44100.0f;
float gSamplesPerMillisecond = 44100.0f * 0.001f;
float gMillisecondsPerSample = (1.0f / 44100.0f) * 0.001f;

void csd_set_attr(int attribute, float value)
{
    if (attribute != CSD_ATTR_SAMPLING_RATE)
        return;
    /* A zero, negative or non-finite rate, or one so small that its
     * reciprocal overflows, would turn every coefficient computed from it
     * into inf/NaN; keep the current rate instead. */
    if (!(value > 0.0f) || isinf(value) || isinf(1.0f / value))
        return;
    gAudioSamplingRate = value;
    gAudioSamplingRateReciprocal = 1.0f / value;
    gSamplesPerMillisecond = value * 0.001f;
    gMillisecondsPerSample = (1.0f / value) * 0.001f;
}

float csd_get_attr(int attribute)
{
    return attribute == CSD_ATTR_SAMPLING_RATE ? gAudioSamplingRate : 0.0f;
}

float csd_fast_abs(float x)
{
    uint32_t bits;
    memcpy(&bits, &x, sizeof bits);
    bits &= 0x7fffffffu;
    memcpy(&x, &bits, sizeof x);
    return x;
}

float csd_fast_max(float a, float b)
{
    const float d = a - b;
    return (d + csd_fast_abs(d)) * 0.5f + b;
}

float csd_fast_min(float a, float b)
{
    const float d = b - a;
    return b - (d + csd_fast_abs(d)) * 0.5f;
}

float csd_fast_clip(float x, float lo, float hi)
{
    return (csd_fast_abs(x - lo) + lo + hi - csd_fast_abs(x - hi)) * 0.5f;
}

float csd_utilities_amplitude2decibels(float a)
{
    if (!(a >= 0.0f))
        return 0.0f;
    return (float)(20.0 * log10((double)a));
}

float csd_utilities_decibels2amplitude(float d)
{
    const float exponent = 0.05f * d; /* single precision on purpose */
    return (float)pow(10.0, (double)exponent);
}

void float2OnOff(float x, char* text)
{
    strcpy(text, x != 0.0f ? "On" : "Off");
}

void float2percent(float x, char* text)
{
    const float percent = x * 100.0f;
    int whole = 0;
    if (percent >= (float)INT_MAX)
        whole = INT_MAX;
    else if (percent <= (float)INT_MIN)
        whole = INT_MIN;
    else if (percent == percent)
        whole = (int)percent;
    sprintf(text, "%d", whole);
}

void* csd_mem_alloc(size_t size)
{
    return calloc(1, size);
}

void csd_mem_free(void* p)
{
    free(p);
}

void csd_memcpy(void* destination, const void* source, size_t size)
{
    memcpy(destination, source, size);
}
