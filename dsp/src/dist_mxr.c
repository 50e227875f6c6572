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
    state->output = dist_mxr_step(dist_mxr_drive(state->gain), state->level, x);
    return state->output;
}

float dist_mxr_get_output(const dist_mxr_struct* state)
{
    return state->output;
}
