#include "filter_2_pole_low_pass.h"

#include "csd_utilities.h"

#include <math.h>

void filter_2_pole_low_pass_init(filter_2_pole_low_pass_struct* state)
{
    state->cutoff = 0.0f;
    state->Q = 0.0f;
    state->w = 0.0;
    state->b1 = 0.0;
    state->b2 = 0.0;
    state->a0 = 0.0;
    state->y1 = 0.0;
    state->y2 = 0.0;
    state->output = 0.0f;
    state->k = 1.0;
    filter_2_pole_low_pass_set_attr(state, FILTER_ATTR_FREQUENCY, 1000.0f);
    filter_2_pole_low_pass_set_attr(state, FILTER_ATTR_RESONANCE, 1.0f);
}

void filter_2_pole_low_pass_free(filter_2_pole_low_pass_struct* state)
{
    (void)state;
}

void filter_2_pole_low_pass_set_attr(filter_2_pole_low_pass_struct* state, int attribute,
                                     float value)
{
    if (attribute == FILTER_ATTR_FREQUENCY)
    {
        state->cutoff = value;
        state->w = (double)value * 6.283185307179586 / (double)gAudioSamplingRate;
    }
    else if (attribute == FILTER_ATTR_RESONANCE)
    {
        state->Q = value;
        /* Written so that a NaN Q takes the first branch, as the plain
         * comparison "Q > 0.001" would not. */
        if (!((double)value <= 0.001))
            state->k = -1.0 / (double)value;
        else
            state->k = -1000.0;
    }
    state->b1 = 2.0 * cos(state->w) * exp(0.5 * state->w * state->k);
    state->b2 = exp(state->w * state->k);
    state->a0 = 1.0 - state->b1 + state->b2;
}

float filter_2_pole_low_pass_get_attr(const filter_2_pole_low_pass_struct* state, int attribute)
{
    if (attribute == FILTER_ATTR_FREQUENCY)
        return state->cutoff;
    if (attribute == FILTER_ATTR_RESONANCE)
        return state->Q;
    return 0.0f;
}

void filter_2_pole_low_pass_clear(filter_2_pole_low_pass_struct* state)
{
    state->y1 = 0.0;
    state->y2 = 0.0;
    state->output = 0.0f;
}

float filter_2_pole_low_pass_dsp(filter_2_pole_low_pass_struct* state, float x)
{
    state->output =
        filter_2_pole_low_pass_step(state->b1, state->b2, state->a0, &state->y1, &state->y2, x);
    return state->output;
}

float filter_2_pole_low_pass_get_output(const filter_2_pole_low_pass_struct* state)
{
    return state->output;
}
