/*
 * Shared state and helpers of the DSP module library: the process-wide
 * sampling rate, branch-free arithmetic, level conversions, value-to-text
 * helpers and the heap functions every module allocates through.
 *
 * Module protocol (every module M of the library):
 *   M_init(state)            initial state and default attributes; call first
 *   M_free(state)            releases what init acquired
 *   M_set_attr(state, n, v)  sets attribute n and recomputes what depends on it
 *   M_get_attr(state, n)     the stored attribute, 0.0 for unknown numbers
 *   M_clear(state)           zeroes the signal history (modules with memory)
 *   M_dsp(state, x)          one sample in, one sample out (also stored)
 *   M_get_output(state)      the output of the last dsp call
 *   M_link(src, dst)         copies settings, keeps dst's history (some filters)
 * Records are plain structs owned (usually embedded) by the caller.
 */
#ifndef CSD_UTILITIES_H
#define CSD_UTILITIES_H

#include <stddef.h>

#ifdef __cplusplus
extern "C"
{
#endif

/* Attribute number of the process-wide sampling rate (csd_set_attr). */
#define CSD_ATTR_SAMPLING_RATE (-100)

    /* Process-wide sampling rate and values derived from it. Every module instance
     * in the process reads these when its frequency attribute is set. */
    extern float gAudioSamplingRate;           /* Hz, initially 44100 */
    extern float gAudioSamplingRateReciprocal; /* 1 / rate */
    extern float gSamplesPerMillisecond;       /* rate * 0.001 */
    extern float gMillisecondsPerSample;       /* (1 / rate) * 0.001 */

    /* Attribute -100 sets the sampling rate (Hz) and the three derived values,
     * in single precision. A rate that is not a positive finite number with a
     * finite reciprocal is refused (the globals keep their values). Other
     * numbers are ignored.
     * Existing module instances are not retuned: re-set their frequencies. */
    void csd_set_attr(int attribute, float value);
    /* The sampling rate for -100, 0.0 otherwise. */
    float csd_get_attr(int attribute);

    /* Branch-free single-precision arithmetic. */
    float csd_fast_abs(float x);                      /* x with its sign bit cleared */
    float csd_fast_max(float a, float b);             /* ((a-b)+|a-b|)*0.5 + b */
    float csd_fast_min(float a, float b);             /* b - ((b-a)+|b-a|)*0.5 */
    float csd_fast_clip(float x, float lo, float hi); /* x limited to [lo, hi], lo <= hi */

    /* 20*log10(a) for a >= 0 (0 gives -infinity); 0.0 for a < 0 and NaN. */
    float csd_utilities_amplitude2decibels(float a);
    /* 10^(0.05*d): the product in single precision, the power in double. */
    float csd_utilities_decibels2amplitude(float d);

    /* Writes "On" when x != 0 (NaN counts as non-zero), else "Off".
     * text holds at least 4 bytes. */
    void float2OnOff(float x, char* text);
    /* Writes x*100 truncated toward zero with "%d". Values beyond the int range
     * are limited to it and NaN writes 0, so text needs at most 12 bytes. */
    void float2percent(float x, char* text);

    /* size bytes from the C heap, zero-filled; NULL when the heap refuses. */
    void* csd_mem_alloc(size_t size);
    void csd_mem_free(void* p);
    void csd_memcpy(void* destination, const void* source, size_t size);

#ifdef __cplusplus
}
#endif

#endif
