/*
 * filter_chamberlin_multimode: single-pass state-variable filter in double
 * precision; response (attribute 210) 0 low, 1 high, 2 band, 3 notch.
 * The tuning f = 2 sin(pi fc / (2 rate)) is the one of the double-sampled
 * filter, so in this single pass the centre lies an octave below fc.
 */
#ifndef FILTER_CHAMBERLIN_MULTIMODE_H
#define FILTER_CHAMBERLIN_MULTIMODE_H

#ifdef __cplusplus
extern "C"
{
#endif

    typedef struct _filter_chamberlin_multimode_struct
    {
        float cutoff;    /* Hz, attribute 200 */
        float resonance; /* attribute 201 */
        double f;        /* 2 sin(pi fc / (2 rate)), at most 0.25 */
        double damp;     /* 1 / (resonance + 0.5) */
        double low;
        double high;
        double band;
        double notch;
        int type; /* attribute 210 */
        float output;
    } filter_chamberlin_multimode_struct;

    /* Cutoff 1000 Hz, resonance 0 (damping 2), low-pass. */
    void filter_chamberlin_multimode_init(filter_chamberlin_multimode_struct* state);
    void filter_chamberlin_multimode_free(filter_chamberlin_multimode_struct* state);
    void filter_chamberlin_multimode_set_attr(filter_chamberlin_multimode_struct* state,
                                              int attribute, float value);
    float filter_chamberlin_multimode_get_attr(const filter_chamberlin_multimode_struct* state,
                                               int attribute);
    void filter_chamberlin_multimode_clear(filter_chamberlin_multimode_struct* state);
    /* An unknown response type returns 0 and keeps the stored output. */
    float filter_chamberlin_multimode_dsp(filter_chamberlin_multimode_struct* state, float x);
    float filter_chamberlin_multimode_get_output(const filter_chamberlin_multimode_struct* state);

#ifdef __cplusplus
}
#endif

#endif
