#include "filter_4P_LP.h"

#include "csd_utilities.h"

#include <math.h>

void filter_4P_LP_init(filter_4P_LP_struct* state)
{
    filter_4P_LP_clear(state);
    state->fc = 0.0;
    state->feedback = 0.0;
    state->fk = 0.0;
    state->fb = 0.0;
    state->decay = 1.0;
    state->gain = 0.0;
    /* A fresh record holds no settings yet: NaN compares unequal to every
     * value, so the two calls below always recompute. */
    state->cutoff = NAN;
    state->resonance = NAN;
    filter_4P_LP_set_attr(state, 200, 20.0f);
    filter_4P_LP_set_attr(state, 201, 0.0f);
}

void filter_4P_LP_free(filter_4P_LP_struct* state)
{
    (void)state;
}

void filter_4P_LP_set_attr(filter_4P_LP_struct* state, int attribute, float value)
{
    if (attribute == 200 && value != state->cutoff)
    {
        state->cutoff = value;
        state->fc = 2.0 * (double)value / (double)gAudioSamplingRate;
        state->fk = 1.16 * state->fc;
        state->fb = state->feedback * (1.0 - 0.15 * state->fk * state->fk);
        state->decay = 1.0 - state->fk;
        state->gain = state->fk * state->fk * state->fk * state->fk;
    }
    else if (attribute == 201 && value != state->resonance)
    {
        state->resonance = value;
        state->feedback = 0.4 * (double)value;
        state->fb = state->feedback * (1.0 - 0.15 * state->fk * state->fk);
    }
}

float filter_4P_LP_get_attr(const filter_4P_LP_struct* state, int attribute)
{
    if (attribute == 200)
        return state->cutoff;
    if (attribute == 201)
        return state->resonance;
    return 0.0f;
}

void filter_4P_LP_clear(filter_4P_LP_struct* state)
{
    for (int k = 0; k < 4; ++k)
    {
        state->in[k] = 0.0;
        state->out[k] = 0.0;
    }
    state->output = 0.0f;
}

float filter_4P_LP_dsp(filter_4P_LP_struct* state, float x)
{
    double s = ((double)x - state->out[3] * state->fb) * (0.35013 * state->gain);
    for (int k = 0; k < 4; ++k)
    {
        state->out[k] = s + 0.3 * state->in[k] + state->decay * state->out[k];
        state->in[k] = s;
        s = state->out[k];
    }
    state->output = (float)state->out[3];
    return state->output;
}

float filter_4P_LP_get_output(const filter_4P_LP_struct* state)
{
    return state->output;
}

void filter_4P_LP_link(const filter_4P_LP_struct* source, filter_4P_LP_struct* destination)
{
    destination->cutoff = source->cutoff;
    destination->resonance = source->resonance;
    destination->fc = source->fc;
    destination->feedback = source->feedback;
    destination->fb = source->fb;
    destination->fk = source->fk;
    destination->decay = source->decay;
    destination->gain = source->gain;
}
