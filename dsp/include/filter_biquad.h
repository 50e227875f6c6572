/*
 * filter_biquad: multi-type second-order section after the widely published
 * audio-EQ formulas, in single precision.
 *
 * Types (attribute 210): 0 low-pass, 1 high-pass, 2 band-pass (peak gain Q),
 * 3 notch, 4 peaking, 5 all-pass, 6 band-pass (0 dB peak), 7 low shelf,
 * 8 high shelf. Any other type keeps the coefficients it has.
 *
 * The width is given by whichever of Q (201), bandwidth in octaves (214) or
 * shelf slope (213) was set last. The shelf term beta is the usual one, with
 * beta * sin(w0) = 2 * sqrt(A) * alpha:
 *   Q:         alpha = sin(w0) / (2Q),       beta = sqrt(A) / Q
 *   bandwidth: alpha = sin(w0) * sinh(ln2/2 * bw * w0 / sin(w0)) (double),
 *              beta = 2 * sqrt(A) * alpha / sin(w0)
 *   slope S:   beta = sqrt((A^2 + 1) / S - (A - 1)^2) (0 where negative),
 *              alpha = beta * sin(w0) / (2 * sqrt(A));
 *              S = 1 is the steepest slope that stays monotone; a slope that
 *              is not positive counts as 1.
 */
#ifndef FILTER_BIQUAD_H
#define FILTER_BIQUAD_H

#ifdef __cplusplus
extern "C"
{
#endif

    enum
    {
        FILTER_BIQUAD_LOWPASS = 0,
        FILTER_BIQUAD_HIGHPASS = 1,
        FILTER_BIQUAD_BANDPASS_Q = 2,
        FILTER_BIQUAD_NOTCH = 3,
        FILTER_BIQUAD_PEAKING = 4,
        FILTER_BIQUAD_ALLPASS = 5,
        FILTER_BIQUAD_BANDPASS = 6,
        FILTER_BIQUAD_LOW_SHELF = 7,
        FILTER_BIQUAD_HIGH_SHELF = 8,
    };

    typedef struct _filter_biquad_struct
    {
        float frequency; /* Hz, attribute 200 */
        float gain;      /* dB, attribute 212 */
        float bandwidth; /* octaves, attribute 214 */
        float Q;         /* attribute 201 */
        float slope;     /* shelf slope, attribute 213 */
        int type;        /* attribute 210 */
        float output;
        float A; /* 10^(gain / 40) */
        float w0;
        float sin_w0;
        float cos_w0;
        float alpha;
        float beta;
        float a0;
        float a1;
        float a2;
        float b0;
        float b1;
        float b2;
        float a0_reciprocal;
        int alpha_mode; /* 0 bandwidth, 1 Q, 2 shelf slope */
        float x1;
        float x2;
        float y1;
        float y2;
    } filter_biquad_struct;

    /* Low-pass at 1000 Hz with Q 1. */
    void filter_biquad_init(filter_biquad_struct* state);
    void filter_biquad_free(filter_biquad_struct* state);
    /* 200 frequency (Hz), 201 Q, 210 type, 212 gain (dB), 213 shelf slope,
     * 214 bandwidth (octaves). A value equal to the stored one changes nothing;
     * any other call recomputes the coefficients. */
    void filter_biquad_set_attr(filter_biquad_struct* state, int attribute, float value);
    /* Answers 0.0 for every attribute. */
    float filter_biquad_get_attr(const filter_biquad_struct* state, int attribute);
    /* Loads the coefficients directly. */
    void filter_biquad_set_coeffs(filter_biquad_struct* state, float a0, float a1, float a2,
                                  float b0, float b1, float b2);
    void filter_biquad_clear(filter_biquad_struct* state);
    float filter_biquad_dsp(filter_biquad_struct* state, float x);
    float filter_biquad_get_output(const filter_biquad_struct* state);
    /* Copies settings and coefficients except type and width mode; the
     * destination keeps its history. */
    void filter_biquad_link(const filter_biquad_struct* source, filter_biquad_struct* destination);

#ifdef __cplusplus
}
#endif

#endif
