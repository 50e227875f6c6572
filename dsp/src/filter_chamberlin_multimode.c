#include "filter_chamberlin_multimode.h"

#include "csd_internal.h"
#include "csd_utilities.h"

#include <math.h>

static const double kPi = 3.14159265358979323846;

void filter_chamberlin_multimode_init(filter_chamberlin_multimode_struct* state)
{
    filter_chamberlin_multimode_clear(state);
    filter_chamberlin_multimode_set_attr(state, 200, 1000.0f);
    filter_chamberlin_multimode_set_attr(state, 201, 0.0f);
    state->type = 0;
}

void filter_chamberlin_multimode_free(filter_chamberlin_multimode_struct* state)
{
    (void)state;
}

void filter_chamberlin_multimode_set_attr(filter_chamberlin_multimode_struct* state, int attribute,
                                          float value)
{
    switch (attribute)
    {
    case 200:
    {
        state->cutoff = value;
        const double f = 2.0 * sin(kPi * (double)value / (2.0 * (double)gAudioSamplingRate));
        state->f = f < 0.25 ? f : 0.25;
        break;
    }
    case 201:
        state->resonance = value;
        state->damp = 1.0 / ((double)value + 0.5);
        break;
    case 210:
        state->type = csd_truncate(value, -1);
        break;
    default:
        break;
    }
}

float filter_chamberlin_multimode_get_attr(const filter_chamberlin_multimode_struct* state,
                                           int attribute)
{
    switch (attribute)
    {
    case 200:
        return state->cutoff;
    case 201:
        return state->resonance;
    case 210:
        return (float)state->type;
    default:
        return 0.0f;
    }
}

void filter_chamberlin_multimode_clear(filter_chamberlin_multimode_struct* state)
{
    state->low = state->high = state->band = state->notch = 0.0;
    state->output = 0.0f;
}

float filter_chamberlin_multimode_dsp(filter_chamberlin_multimode_struct* state, float x)
{
    state->low = state->f * state->band + state->low;
    state->high = (double)x - state->low - state->damp * state->band;
    state->band = state->f * state->high + state->band;
    state->notch = state->high + state->low;
    double y;
    switch (state->type)
    {
    case 0:
        y = state->low;
        break;
    case 1:
        y = state->high;
        break;
    case 2:
        y = state->band;
        break;
    case 3:
        y = state->notch;
        break;
    default:
        return 0.0f;
    }
    state->output = (float)y;
    return state->output;
}

float filter_chamberlin_multimode_get_output(const filter_chamberlin_multimode_struct* state)
{
    return state->output;
}
