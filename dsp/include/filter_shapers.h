/*
 * Small signal shapers of the filter family: bit-depth reducer, sample-and-
 * hold down-sampler, exponential overdrive curve, and the do-nothing all-pass.
 */
#ifndef FILTER_SHAPERS_H
#define FILTER_SHAPERS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C"
{
#endif

    /* Bit-depth reducer: attribute 210 is the bit depth (24 passes 24-bit steps,
     * 8 clears the 16 low bits of a 24-bit sample). */
    typedef struct _filter_derez_struct
    {
        int32_t shift; /* 24 - bits */
        float output;
    } filter_derez_struct;

    void filter_derez_init(filter_derez_struct* state);
    void filter_derez_free(filter_derez_struct* state);
    void filter_derez_set_attr(filter_derez_struct* state, int attribute, float value);
    float filter_derez_get_attr(const filter_derez_struct* state, int attribute);
    void filter_derez_clear(filter_derez_struct* state);
    /* Samples beyond the 24-bit full scale (|x| >= 256) saturate; NaN gives 0. */
    float filter_derez_dsp(filter_derez_struct* state, float x);
    float filter_derez_get_output(const filter_derez_struct* state);

    /* Down-sampler: attribute 220 is the hold rate as a fraction of the sampling
     * rate (0.25 keeps every fourth sample and repeats it). */
    typedef struct _filter_downsample_struct
    {
        float rate;
        float phase;
        float held; /* also the output */
    } filter_downsample_struct;

    void filter_downsample_init(filter_downsample_struct* state);
    void filter_downsample_free(filter_downsample_struct* state);
    void filter_downsample_set_attr(filter_downsample_struct* state, int attribute, float value);
    float filter_downsample_get_attr(const filter_downsample_struct* state, int attribute);
    void filter_downsample_clear(filter_downsample_struct* state);
    float filter_downsample_dsp(filter_downsample_struct* state, float x);
    float filter_downsample_get_output(const filter_downsample_struct* state);

    /* Overdrive curve: sign(x) * (1 - (1 - |x|)^k), +-1 beyond full scale;
     * attribute 240 is the exponent k (1 is linear). */
    typedef struct _filter_overdrive_struct
    {
        float exponent;
        float output;
    } filter_overdrive_struct;

    void filter_overdrive_init(filter_overdrive_struct* state);
    void filter_overdrive_free(filter_overdrive_struct* state);
    void filter_overdrive_set_attr(filter_overdrive_struct* state, int attribute, float value);
    float filter_overdrive_get_attr(const filter_overdrive_struct* state, int attribute);
    void filter_overdrive_clear(filter_overdrive_struct* state);
    float filter_overdrive_dsp(filter_overdrive_struct* state, float x);
    float filter_overdrive_get_output(const filter_overdrive_struct* state);

    /* All-pass placeholder: every operation does nothing and answers 0. */
    typedef struct _filter_all_pass_struct
    {
        char unused; /* C has no empty records */
    } filter_all_pass_struct;

    void filter_all_pass_init(filter_all_pass_struct* state);
    void filter_all_pass_free(filter_all_pass_struct* state);
    void filter_all_pass_set_attr(filter_all_pass_struct* state, int attribute, float value);
    float filter_all_pass_get_attr(const filter_all_pass_struct* state, int attribute);
    void filter_all_pass_clear(filter_all_pass_struct* state);
    float filter_all_pass_dsp(filter_all_pass_struct* state, float x);
    float filter_all_pass_get_output(const filter_all_pass_struct* state);

#ifdef __cplusplus
}
#endif

#endif
