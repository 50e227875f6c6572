/*
 * filter_4P_LP: four-pole resonant low-pass (four one-pole stages in a
 * feedback loop), all in double precision. Unity gain at DC without
 * resonance; resonance 0..10 gives feedback 0..4.
 */
#ifndef FILTER_4P_LP_H
#define FILTER_4P_LP_H

#ifdef __cplusplus
extern "C"
{
#endif

    typedef struct _filter_4P_LP_struct
    {
        float cutoff;    /* Hz, attribute 200 */
        float resonance; /* attribute 201 */
        double fc;       /* 2 * cutoff / rate */
        double feedback; /* 0.4 * resonance */
        double in[4];    /* stage inputs */
        double out[4];   /* stage outputs */
        double fk;       /* 1.16 * fc */
        double fb;       /* feedback * (1 - 0.15 * fk^2) */
        double decay;    /* 1 - fk */
        double gain;     /* fk^4 */
        float output;
    } filter_4P_LP_struct;

    /* Cutoff 20 Hz, resonance 0. */
    void filter_4P_LP_init(filter_4P_LP_struct* state);
    void filter_4P_LP_free(filter_4P_LP_struct* state);
    /* 200: cutoff in Hz; 201: resonance. A value equal to the stored one
     * recomputes nothing. */
    void filter_4P_LP_set_attr(filter_4P_LP_struct* state, int attribute, float value);
    float filter_4P_LP_get_attr(const filter_4P_LP_struct* state, int attribute);
    void filter_4P_LP_clear(filter_4P_LP_struct* state);
    float filter_4P_LP_dsp(filter_4P_LP_struct* state, float x);
    float filter_4P_LP_get_output(const filter_4P_LP_struct* state);
    /* Copies the settings and coefficients; destination keeps its stage values. */
    void filter_4P_LP_link(const filter_4P_LP_struct* source, filter_4P_LP_struct* destination);

#ifdef __cplusplus
}
#endif

#endif
