#include "filter_multimode.h"

#include "csd_internal.h"
#include "csd_utilities.h"

#include <math.h>

double gFilterMultimodeAntiDenormal = 1e-15;

static const double kPi = 3.14159265358979323846;

static double min_of(double a, double b)
{
    return a < b ? a : b;
}

static double tuning(float cutoff)
{
    const double f = 2.0 * sin(kPi * (double)cutoff / (2.0 * (double)gAudioSamplingRate));
    return min_of(f, 0.25);
}

static void set_morph(filter_multimode_struct* s, float m)
{
    s->morph = m;
    if (m < 1.0f / 3.0f)
    {
        s->weight_low = 3.0f * m;
        s->weight_high = 0.0f;
        s->weight_band = 0.0f;
        s->weight_notch = 1.0f - 3.0f * m;
    }
    else if (m < 2.0f / 3.0f)
    {
        s->weight_low = 2.0f - 3.0f * m;
        s->weight_high = 0.0f;
        s->weight_band = 3.0f * m - 1.0f;
        s->weight_notch = 0.0f;
    }
    else
    {
        s->weight_low = 0.0f;
        s->weight_high = 3.0f * m - 2.0f;
        s->weight_band = 3.0f - 3.0f * m;
        s->weight_notch = 0.0f;
    }
}

void filter_multimode_set_attr(filter_multimode_struct* state, int attribute, float value)
{
    switch (attribute)
    {
    case 210:
        state->type = csd_truncate(value, -1);
        return;
    case 20:
        set_morph(state, value);
        return;
    case 200:
        state->cutoff = value;
        state->f = tuning(value);
        break;
    case 201:
        state->resonance = value;
        state->q = 0.1 * (double)value;
        break;
    case 299:
        state->on = value > 0.0f;
        break;
    default:
        break;
    }
    const double f = state->f;
    state->damp = min_of(min_of(2.0, 2.0 / f - f / 2.0), 2.0 * (1.0 - pow(state->q, 0.25)));
}

float filter_multimode_get_attr(const filter_multimode_struct* state, int attribute)
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

void filter_multimode_init(filter_multimode_struct* state)
{
    state->f = 0.0;
    state->q = 0.0;
    state->type = 0;
    state->weight_low = state->weight_high = state->weight_band = state->weight_notch = 0.0f;
    filter_multimode_clear(state);
    filter_multimode_set_attr(state, 200, 1000.0f);
    filter_multimode_set_attr(state, 201, 0.0f);
    set_morph(state, 0.0f);
    state->on = true;
}

void filter_multimode_free(filter_multimode_struct* state)
{
    (void)state;
}

void filter_multimode_update_sampling_rate(filter_multimode_struct* state)
{
    filter_multimode_set_attr(state, 200, state->cutoff);
}

void filter_multimode_clear(filter_multimode_struct* state)
{
    state->low = state->high = state->band = state->notch = 0.0;
    state->output = 0.0f;
}

typedef struct
{
    double low, high, band, notch;
} responses;

/* Both passes of one sample; the second pass runs on silence. */
static void run_passes(filter_multimode_struct* s, float x, double r, responses* pass)
{
    s->notch = ((double)x + r) * 0.5 - s->damp * s->band;
    s->low = s->f * s->band - r + s->low;
    s->high = s->notch - s->low;
    s->band = s->f * s->high + s->band;
    pass[0] = (responses){s->low, s->high, s->band, s->notch};

    s->notch = -s->damp * s->band;
    s->low = s->f * s->band + s->low;
    s->high = s->notch - s->low;
    s->band = s->f * s->high + s->band;
    pass[1] = (responses){s->low, s->high, s->band, s->notch};
}

static float saturate(filter_multimode_struct* s, double sum)
{
    s->output = (float)(sum / (0.28 * sum * sum + 1.0));
    return s->output;
}

static double take_anti_denormal(void)
{
    const double r = gFilterMultimodeAntiDenormal;
    gFilterMultimodeAntiDenormal = -r;
    return r;
}

static double select_response(int type, const responses* p)
{
    switch (type)
    {
    case 0:
        return p->low;
    case 1:
        return p->high;
    case 2:
        return p->band;
    case 3:
        return p->notch;
    case 4:
        return p->low - p->high;
    default:
        return 0.0;
    }
}

float filter_multimode_dsp(filter_multimode_struct* state, float x)
{
    const double r = take_anti_denormal();
    if (!state->on)
    {
        state->output = 0.0f;
        return 0.0f;
    }
    responses pass[2];
    run_passes(state, x, r, pass);
    double sum;
    if (state->type >= 0 && state->type <= 4)
        sum = select_response(state->type, &pass[0]) + select_response(state->type, &pass[1]);
    else
        sum = pass[0].high;
    return saturate(state, sum);
}

float filter_multimode_dsp_morph(filter_multimode_struct* state, float x)
{
    const double r = take_anti_denormal();
    responses pass[2];
    run_passes(state, x, r, pass);
    double sum = 0.0;
    for (int k = 0; k < 2; ++k)
        sum += state->weight_low * pass[k].low + state->weight_band * pass[k].band +
               state->weight_high * pass[k].high + state->weight_notch * pass[k].notch;
    return saturate(state, sum);
}

float filter_multimode_get_output(const filter_multimode_struct* state)
{
    return state->output;
}
