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
