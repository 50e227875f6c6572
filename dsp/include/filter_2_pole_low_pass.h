/*
 * filter_2_pole_low_pass: resonant two-pole low-pass with unity gain at DC.
 * Poles at r*e^(+-jw), r = exp(-w / (2Q)). Coefficients in double precision.
 */
#ifndef FILTER_2_POLE_LOW_PASS_H
#define FILTER_2_POLE_LOW_PASS_H

#ifdef __cplusplus
extern "C"
{
#endif

#define FILTER_ATTR_FREQUENCY 200 /* cutoff or centre frequency, Hz */
#define FILTER_ATTR_RESONANCE 201 /* resonance or Q */

    typedef struct _filter_2_pole_low_pass_struct
    {
        float cutoff; /* Hz, attribute 200 */
        float Q;      /* attribute 201 */
        double b1;
        double b2;
        double a0;
        double k; /* damping term -1/Q */
        double w; /* radians per sample */
        double y1;
        double y2;
        float output;
    } filter_2_pole_low_pass_struct;

    /* One sample through the filter with the coefficients b1, b2, a0 and the
     * history y1 (last output) and y2 (the one before), which it advances: the
     * step that filter_2_pole_low_pass_dsp takes, without a record, so that a
     * caller may read the coefficients once per block. The output is rounded
     * to single precision and the history keeps that rounded value. The sums
     * are to be evaluated as written: code including this header is compiled
     * with -ffp-contract=off, as the library is. */
    static inline float filter_2_pole_low_pass_step(double b1, double b2, double a0, double* y1,
                                                    double* y2, float x)
    {
        const double y = b1 * *y1 - b2 * *y2 + a0 * (double)x;
        const float output = (float)y;
        *y2 = *y1;
        *y1 = (double)output;
        return output;
    }

    /* Cutoff 1000 Hz at the current sampling rate, Q 1. */
    void filter_2_pole_low_pass_init(filter_2_pole_low_pass_struct* state);
    void filter_2_pole_low_pass_free(filter_2_pole_low_pass_struct* state);
    /* 200: cutoff in Hz (read against gAudioSamplingRate now); 201: Q, where
     * Q <= 0.001 gives the heaviest damping (k = -1000). Every call, whatever the
     * number, recomputes the coefficients. */
    void filter_2_pole_low_pass_set_attr(filter_2_pole_low_pass_struct* state, int attribute,
                                         float value);
    float filter_2_pole_low_pass_get_attr(const filter_2_pole_low_pass_struct* state,
                                          int attribute);
    void filter_2_pole_low_pass_clear(filter_2_pole_low_pass_struct* state);
    float filter_2_pole_low_pass_dsp(filter_2_pole_low_pass_struct* state, float x);
    float filter_2_pole_low_pass_get_output(const filter_2_pole_low_pass_struct* state);

#ifdef __cplusplus
}
#endif

#endif
