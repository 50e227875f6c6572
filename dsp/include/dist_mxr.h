/*
 * dist_mxr: table-driven asymmetric clipper. The input is driven, limited to
 * +-1 and mapped through a measured 512-point transfer curve with linear
 * interpolation, then scaled by the output level.
 */
#ifndef DIST_MXR_H
#define DIST_MXR_H

#ifdef __cplusplus
extern "C"
{
#endif

#define DIST_MXR_ATTR_GAIN 630  /* fuzz amount 0..1: drive = 1 + 31.415926536 * gain */
#define DIST_MXR_ATTR_LEVEL 632 /* output level, linear amplitude */

#define MXR_DISTORTION_PLUS_SIZE 512

    /* The transfer curve, rising from about -0.989 to +0.981. Entry 255 is 0.0 and
     * entry 256 (reached by a zero input) is 0.001333. */
    extern const float mxr_distortion_plus_data[MXR_DISTORTION_PLUS_SIZE];

    typedef struct _dist_mxr_struct
    {
        float gain;   /* attribute 630 */
        float level;  /* attribute 632 */
        float output; /* last result */
    } dist_mxr_struct;

    /* The drive factor for a gain (attribute 630), in double precision. */
    static inline double dist_mxr_drive(float gain)
    {
        return (double)gain * 31.415926536 + 1.0;
    }

    /* One sample through the clipper, for a drive from dist_mxr_drive and an
     * output level: the step that dist_mxr_dsp takes, without a record, so that
     * a caller may read the record once per block. The sums and products are
     * to be evaluated as written: code including this header is compiled with
     * -ffp-contract=off, as the library is. A NaN input reads the centre of the
     * curve, as silence does. */
    static inline float dist_mxr_step(double drive, float level, float x)
    {
        float a = (float)((double)x * drive);
        if (a > 1.0f)
            a = 255.0f;
        else if (a < -1.0f)
            a = -255.0f;
        else if (a == a)
            a = a * 255.0f;
        else
            a = 0.0f;   /* NaN */
        a = a + 256.0f; /* now in [1, 511] */

        const int i = (int)a;
        const float f = a - (float)i;
        /* At i = 511 the fraction is 0 and the neighbour contributes nothing;
         * reading entry 511 again keeps the index inside the table. */
        const int next = i < MXR_DISTORTION_PLUS_SIZE - 1 ? i + 1 : i;
        const double y = ((double)mxr_distortion_plus_data[i] * (1.0 - (double)f) +
                          (double)(f * mxr_distortion_plus_data[next])) *
                         (double)level;
        return (float)y;
    }

    /* Gain, level and output 0: silent until a level is set. */
    void dist_mxr_init(dist_mxr_struct* state);
    void dist_mxr_free(dist_mxr_struct* state);
    /* 630 stores the gain, 632 the level; nothing is recomputed. */
    void dist_mxr_set_attr(dist_mxr_struct* state, int attribute, float value);
    float dist_mxr_get_attr(const dist_mxr_struct* state, int attribute);
    /* A NaN input reads the centre of the curve, as silence does. */
    float dist_mxr_dsp(dist_mxr_struct* state, float x);
    float dist_mxr_get_output(const dist_mxr_struct* state);

#ifdef __cplusplus
}
#endif

#endif
