/*
 * filter_average: moving average over the last `length` samples (1..256),
 * as a running mean (mode 0), mean absolute value (mode 1) or RMS (mode 2).
 * The ring buffer is the one module allocation of the library.
 */
#ifndef FILTER_AVERAGE_H
#define FILTER_AVERAGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C"
{
#endif

#define FILTER_AVERAGE_MAX_LENGTH 256

    typedef struct _filter_average_struct
    {
        int32_t mode;             /* attribute 231 */
        int32_t length;           /* attribute 230 */
        double sum;               /* running sum over the window */
        double length_reciprocal; /* 1 / length */
        float* ring;              /* FILTER_AVERAGE_MAX_LENGTH + 1 floats */
        int32_t write;            /* ring index of the next write */
        int32_t read;             /* ring index of the next sample to leave */
        int32_t last;             /* last ring index in use: length */
        float output;
    } filter_average_struct;

    /* Mode 0, length 1. If the ring cannot be allocated, dsp answers 0. */
    void filter_average_init(filter_average_struct* state);
    /* Returns the ring to the heap. */
    void filter_average_free(filter_average_struct* state);
    /* 230: window length; values outside 1..256 (and NaN) are refused, fractions
     * truncated. A new length starts a fresh window (the ring is emptied).
     * 231: mode, truncated. */
    void filter_average_set_attr(filter_average_struct* state, int attribute, float value);
    float filter_average_get_attr(const filter_average_struct* state, int attribute);
    /* Empties the window. */
    void filter_average_clear(filter_average_struct* state);
    /* Non-finite input samples enter the window as 0 so one bad sample cannot
     * poison the running sum for good. Other modes than 0..2 return the
     * previous output. */
    float filter_average_dsp(filter_average_struct* state, float x);
    float filter_average_get_output(const filter_average_struct* state);

#ifdef __cplusplus
}
#endif

#endif
