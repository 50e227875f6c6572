/*
 * Fixed-slope (12 dB/octave) Butterworth low- and high-pass sections.
 * Any set_attr call sets the cutoff, whatever the attribute number; there is
 * no get_attr. The last output doubles as the module's output.
 */
#ifndef FILTER_BUTTERWORTH_H
#define FILTER_BUTTERWORTH_H

#ifdef __cplusplus
extern "C"
{
#endif

    typedef struct _filter_butterworth_2P_struct
    {
        float cutoff; /* Hz */
        float a0;
        float a1;
        float a2;
        float b1;
        float b2;
        float x1; /* last two inputs */
        float x2;
        float y1; /* last two outputs; y1 is the output */
        float y2;
    } filter_butterworth_2P_struct;

    typedef filter_butterworth_2P_struct filter_butterworth_2P_LP_struct;
    typedef filter_butterworth_2P_struct filter_butterworth_2P_HP_struct;

    /* Low-pass: c = 1 / tan(fc * pi / rate), the angle in single precision and
     * the tangent in double. Cutoff 1000 Hz after init. */
    void filter_butterworth_2P_LP_init(filter_butterworth_2P_LP_struct* state);
    void filter_butterworth_2P_LP_free(filter_butterworth_2P_LP_struct* state);
    void filter_butterworth_2P_LP_set_attr(filter_butterworth_2P_LP_struct* state, int attribute,
                                           float cutoff);
    void filter_butterworth_2P_LP_clear(filter_butterworth_2P_LP_struct* state);
    float filter_butterworth_2P_LP_dsp(filter_butterworth_2P_LP_struct* state, float x);
    float filter_butterworth_2P_LP_get_output(const filter_butterworth_2P_LP_struct* state);

    /* High-pass: c = tan(fc * pi / rate) in single precision. */
    void filter_butterworth_2P_HP_init(filter_butterworth_2P_HP_struct* state);
    void filter_butterworth_2P_HP_free(filter_butterworth_2P_HP_struct* state);
    void filter_butterworth_2P_HP_set_attr(filter_butterworth_2P_HP_struct* state, int attribute,
                                           float cutoff);
    void filter_butterworth_2P_HP_clear(filter_butterworth_2P_HP_struct* state);
    float filter_butterworth_2P_HP_dsp(filter_butterworth_2P_HP_struct* state, float x);
    float filter_butterworth_2P_HP_get_output(const filter_butterworth_2P_HP_struct* state);

#ifdef __cplusplus
}
#endif

#endif
