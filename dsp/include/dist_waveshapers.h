/*
 * Memoryless waveshapers beside dist_mxr: a hard clipper with adjustable
 * limits and input gain, a parabolic soft saturator and a sine wavefolder.
 */
#ifndef DIST_WAVESHAPERS_H
#define DIST_WAVESHAPERS_H

#ifdef __cplusplus
extern "C"
{
#endif

    /* Hard clipper: 600 lower limit, 601 upper limit, 610 input gain. */
    typedef struct _dist_clip_struct
    {
        float upper; /* attribute 601 */
        float lower; /* attribute 600 */
        float gain;  /* attribute 610 */
        float output;
    } dist_clip_struct;

    /* Limits +-0.9, gain 1. */
    void dist_clip_init(dist_clip_struct* state);
    void dist_clip_free(dist_clip_struct* state);
    void dist_clip_set_attr(dist_clip_struct* state, int attribute, float value);
    float dist_clip_get_attr(const dist_clip_struct* state, int attribute);
    float dist_clip_dsp(dist_clip_struct* state, float x);
    float dist_clip_get_output(const dist_clip_struct* state);

    /* Parabolic saturator: slope 2 at zero, flat at +-1, no attributes. */
    typedef struct _dist_warp_parabola_struct
    {
        float output;
    } dist_warp_parabola_struct;

    void dist_warp_parabola_init(dist_warp_parabola_struct* state);
    void dist_warp_parabola_free(dist_warp_parabola_struct* state);
    float dist_warp_parabola_dsp(dist_warp_parabola_struct* state, float x);
    float dist_warp_parabola_get_output(const dist_warp_parabola_struct* state);

    /* Sine wavefolder: sin(x * 2 pi * multiplier); attribute 620 the multiplier. */
    typedef struct _dist_warp_sine_struct
    {
        float multiplier; /* attribute 620 */
        double w;         /* multiplier * 2 pi */
        float output;
    } dist_warp_sine_struct;

    /* Multiplier 1: an input sweeping -1..1 passes through two full periods. */
    void dist_warp_sine_init(dist_warp_sine_struct* state);
    void dist_warp_sine_free(dist_warp_sine_struct* state);
    void dist_warp_sine_set_attr(dist_warp_sine_struct* state, int attribute, float value);
    float dist_warp_sine_get_attr(const dist_warp_sine_struct* state, int attribute);
    float dist_warp_sine_dsp(dist_warp_sine_struct* state, float x);
    float dist_warp_sine_get_output(const dist_warp_sine_struct* state);

#ifdef __cplusplus
}
#endif

#endif
