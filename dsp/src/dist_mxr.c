#include "dist_mxr.h"

void dist_mxr_init(dist_mxr_struct* state)
{
    state->gain = 0.0f;
    state->level = 0.0f;
    state->output = 0.0f;
}

void dist_mxr_free(dist_mxr_struct* state)
{
    (void)state;
}

void dist_mxr_set_attr(dist_mxr_struct* state, int attribute, float value)
{
    if (attribute == DIST_MXR_ATTR_GAIN)
        state->gain = value;
    else if (attribute == DIST_MXR_ATTR_LEVEL)
        state->level = value;
}

float dist_mxr_get_attr(const dist_mxr_struct* state, int attribute)
{
    if (attribute == DIST_MXR_ATTR_GAIN)
        return state->gain;
    if (attribute == DIST_MXR_ATTR_LEVEL)
        return state->level;
    return 0.0f;
}

float dist_mxr_dsp(dist_mxr_struct* state, float x)
{
    const double drive = (double)state->gain * 31.415926536 + 1.0;
    float a = (float)((double)x * drive);
    if (a > 1.0f)
        a = 255.0f;
    else if (a < -1.0f)
        a = -255.0f;
    else if (a == a)
        a = a * 255.0f;
    else
        a = 0.0f;   /* NaN: the centre of the curve, like silence */
    a = a + 256.0f; /* now in [1, 511] */

    const int i = (int)a;
    const float f = a - (float)i;
    /* At i = 511 the fraction is 0 and the neighbour contributes nothing;
     * reading entry 511 again keeps the index inside the table. */
    const int next = i < MXR_DISTORTION_PLUS_SIZE - 1 ? i + 1 : i;
    const double y = ((double)mxr_distortion_plus_data[i] * (1.0 - (double)f) +
                      (double)(f * mxr_distortion_plus_data[next])) *
                     (double)state->level;
    state->output = (float)y;
    return state->output;
}

float dist_mxr_get_output(const dist_mxr_struct* state)
{
    return state->output;
}
