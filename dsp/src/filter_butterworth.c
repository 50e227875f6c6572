#include "filter_butterworth.h"

#include "csd_utilities.h"

#include <math.h>

static const float kPiF = 3.14159265358979f;
static const float kSqrt2F = 1.41421356237f;

static void clear_history(filter_butterworth_2P_struct* s)
{
    s->x1 = 0.0f;
    s->x2 = 0.0f;
    s->y1 = 0.0f;
    s->y2 = 0.0f;
}

/* The same recursion serves both sections. */
static float step(filter_butterworth_2P_struct* s, float x)
{
    const float y = s->a0 * x + s->a1 * s->x1 + s->a2 * s->x2 - s->b1 * s->y1 - s->b2 * s->y2;
    s->x2 = s->x1;
    s->x1 = x;
    s->y2 = s->y1;
    s->y1 = y;
    return y;
}

void filter_butterworth_2P_LP_init(filter_butterworth_2P_LP_struct* state)
{
    clear_history(state);
    filter_butterworth_2P_LP_set_attr(state, 200, 1000.0f);
}

void filter_butterworth_2P_LP_free(filter_butterworth_2P_LP_struct* state)
{
    (void)state;
}

void filter_butterworth_2P_LP_set_attr(filter_butterworth_2P_LP_struct* state, int attribute,
                                       float cutoff)
{
    (void)attribute;
    state->cutoff = cutoff;
    const float angle = cutoff * kPiF * gAudioSamplingRateReciprocal;
    const float c = (float)(1.0 / tan((double)angle));
    state->a0 = 1.0f / (1.0f + kSqrt2F * c + c * c);
    state->a1 = 2.0f * state->a0;
    state->a2 = state->a0;
    state->b1 = 2.0f * state->a0 * (1.0f - c * c);
    state->b2 = state->a0 * (1.0f - kSqrt2F * c + c * c);
}

void filter_butterworth_2P_LP_clear(filter_butterworth_2P_LP_struct* state)
{
    clear_history(state);
}

float filter_butterworth_2P_LP_dsp(filter_butterworth_2P_LP_struct* state, float x)
{
    return step(state, x);
}

float filter_butterworth_2P_LP_get_output(const filter_butterworth_2P_LP_struct* state)
{
    return state->y1;
}

void filter_butterworth_2P_HP_init(filter_butterworth_2P_HP_struct* state)
{
    clear_history(state);
    filter_butterworth_2P_HP_set_attr(state, 200, 1000.0f);
}

void filter_butterworth_2P_HP_free(filter_butterworth_2P_HP_struct* state)
{
    (void)state;
}

void filter_butterworth_2P_HP_set_attr(filter_butterworth_2P_HP_struct* state, int attribute,
                                       float cutoff)
{
    (void)attribute;
    state->cutoff = cutoff;
    const float c = tanf(cutoff * kPiF / gAudioSamplingRate);
    state->a0 = 1.0f / (1.0f + kSqrt2F * c + c * c);
    state->a1 = -2.0f * state->a0;
    state->a2 = state->a0;
    state->b1 = 2.0f * state->a0 * (c * c - 1.0f);
    state->b2 = state->a0 * (1.0f - kSqrt2F * c + c * c);
}

void filter_butterworth_2P_HP_clear(filter_butterworth_2P_HP_struct* state)
{
    clear_history(state);
}

float filter_butterworth_2P_HP_dsp(filter_butterworth_2P_HP_struct* state, float x)
{
    return step(state, x);
}

float filter_butterworth_2P_HP_get_output(const filter_butterworth_2P_HP_struct* state)
{
    return state->y1;
}
