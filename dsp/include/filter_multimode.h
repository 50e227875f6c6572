/*
 * filter_multimode: double-sampled state-variable filter with a soft
 * saturating output, selectable response (attribute 210: 0 low, 1 high,
 * 2 band, 3 notch, 4 peak) or a morph between notch, low, band and high
 * (attribute 20, 0..1).
 */
#ifndef FILTER_MULTIMODE_H
#define FILTER_MULTIMODE_H

#include <stdbool.h>

#ifdef __cplusplus
extern "C"
{
#endif

    /* Process-wide anti-denormal offset, +-1e-15, its sign flipped by every
     * processing call of any filter_multimode instance. */
    extern double gFilterMultimodeAntiDenormal;

    typedef struct _filter_multimode_struct
    {
        float cutoff;    /* Hz, attribute 200 */
        float resonance; /* attribute 201 */
        double f;        /* 2 sin(pi fc / (2 rate)), at most 0.25 */
        double q;        /* 0.1 * resonance */
        double damp;
        double low;
        double high;
        double band;
        double notch;
        int type;    /* attribute 210 */
        float morph; /* attribute 20 */
        float weight_low;
        float weight_high;
        float weight_band;
        float weight_notch;
        float output;
        bool on; /* attribute 299: on when > 0 */
    } filter_multimode_struct;

    /* Cutoff 1000 Hz, resonance 0, low-pass, morph 0 (notch), on. */
    void filter_multimode_init(filter_multimode_struct* state);
    void filter_multimode_free(filter_multimode_struct* state);
    /* 200 cutoff (Hz), 201 resonance, 210 response type, 299 on/off, 20 morph.
     * Every call except 210 and 20 recomputes the damping. */
    void filter_multimode_set_attr(filter_multimode_struct* state, int attribute, float value);
    float filter_multimode_get_attr(const filter_multimode_struct* state, int attribute);
    /* Re-applies the stored cutoff after a sampling-rate change. */
    void filter_multimode_update_sampling_rate(filter_multimode_struct* state);
    void filter_multimode_clear(filter_multimode_struct* state);
    /* The selected response; 0 while the filter is off. */
    float filter_multimode_dsp(filter_multimode_struct* state, float x);
    /* The four responses blended by the morph weights (ignores on/off). */
    float filter_multimode_dsp_morph(filter_multimode_struct* state, float x);
    float filter_multimode_get_output(const filter_multimode_struct* state);

#ifdef __cplusplus
}
#endif

#endif
