#include "dist_waveshapers.h"

#include <math.h>

static const double kTwoPi = 6.283185307179586;

/* ---- hard clipper ---- */

void dist_clip_init(dist_clip_struct* state)
{
    state->upper = 0.9f;
    state->lower = -0.9f;
    state->gain = 1.0f;
    state->output = 0.0f;
}

void dist_clip_free(dist_clip_struct* state)
{
    (void)state;
}

void dist_clip_set_attr(dist_clip_struct* state, int attribute, float value)
{
    switch (attribute)
    {
    case 600:
        state->lower = value;
        break;
    case 601:
        state->upper = value;
        break;
    case 610:
        state->gain = value;
        break;
    default:
        break;
    }
}

float dist_clip_get_attr(const dist_clip_struct* state, int attribute)
{
    switch (attribute)
    {
    case 600:
        return state->lower;
    case 601:
        return state->upper;
    case 610:
        return state->gain;
    default:
        return 0.0f;
    }
}

float dist_clip_dsp(dist_clip_struct* state, float x)
{
    const float y = x * state->gain;
    if (y > state->upper)
        state->output = state->upper;
    else
        state->output = state->lower > y ? state->lower : y;
    return state->output;
}

float dist_clip_get_output(const dist_clip_struct* state)
{
    return state->output;
}

/* ---- parabolic saturator ---- */

void dist_warp_parabola_init(dist_warp_parabola_struct* state)
{
    (void)state;
}

void dist_warp_parabola_free(dist_warp_parabola_struct* state)
{
    (void)state;
}

float dist_warp_parabola_dsp(dist_warp_parabola_struct* state, float x)
{
    double y;
    if (x > 1.0f)
        y = 1.0;
    else if (x < -1.0f)
        y = -1.0;
    else if (x > 0.0f)
        y = 1.0 - ((double)x - 1.0) * ((double)x - 1.0);
    else
        y = ((double)x + 1.0) * ((double)x + 1.0) - 1.0;
    state->output = (float)y;
    return state->output;
}

float dist_warp_parabola_get_output(const dist_warp_parabola_struct* state)
{
    return state->output;
}

/* ---- sine wavefolder ---- */

void dist_warp_sine_init(dist_warp_sine_struct* state)
{
    state->multiplier = 1.0f;
    state->w = kTwoPi;
    state->output = 0.0f;
}

void dist_warp_sine_free(dist_warp_sine_struct* state)
{
    (void)state;
}

void dist_warp_sine_set_attr(dist_warp_sine_struct* state, int attribute, float value)
{
    if (attribute != 620)
        return;
    state->multiplier = value;
    state->w = (double)value * kTwoPi;
}

float dist_warp_sine_get_attr(const dist_warp_sine_struct* state, int attribute)
{
    return attribute == 620 ? state->multiplier : 0.0f;
}

float dist_warp_sine_dsp(dist_warp_sine_struct* state, float x)
{
    state->output = (float)sin((double)x * state->w);
    return state->output;
}

float dist_warp_sine_get_output(const dist_warp_sine_struct* state)
{
    return state->output;
}
