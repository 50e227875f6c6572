#include "filter_biquad.h"

#include "csd_internal.h"
#include "csd_utilities.h"

#include <math.h>

enum
{
    ALPHA_FROM_BANDWIDTH = 0,
    ALPHA_FROM_Q = 1,
    ALPHA_FROM_SLOPE = 2,
};

static const float kTwoPiF = 6.28318530718f;
static const double kHalfLn2 = 0.34657359027997264;

/* Stores the attribute; answers 0 when the value equals the stored one. */
static int store(filter_biquad_struct* s, int attribute, float value)
{
    switch (attribute)
    {
    case 200:
        if (value == s->frequency)
            return 0;
        s->frequency = value;
        return 1;
    case 201:
        if (value == s->Q)
            return 0;
        s->Q = value;
        s->alpha_mode = ALPHA_FROM_Q;
        return 1;
    case 210:
        if (value == (float)s->type)
            return 0;
        s->type = csd_truncate(value, -1); /* NaN: no known type */
        return 1;
    case 212:
        if (value == s->gain)
            return 0;
        s->gain = value;
        s->A = (float)pow(10.0, (double)(value / 40.0f));
        return 1;
    case 213:
        if (value == s->slope)
            return 0;
        s->slope = value;
        s->alpha_mode = ALPHA_FROM_SLOPE;
        return 1;
    case 214:
        if (value == s->bandwidth)
            return 0;
        s->bandwidth = value;
        s->alpha_mode = ALPHA_FROM_BANDWIDTH;
        return 1;
    default:
        return 1;
    }
}

static void update_width(filter_biquad_struct* s)
{
    const float sqrtA = sqrtf(s->A);
    switch (s->alpha_mode)
    {
    case ALPHA_FROM_BANDWIDTH:
    {
        const double t = sinh(kHalfLn2 * (double)s->bandwidth * (double)s->w0 / (double)s->sin_w0);
        s->alpha = (float)((double)s->sin_w0 * t);
        s->beta = 2.0f * sqrtA * (float)t;
        break;
    }
    case ALPHA_FROM_Q:
        s->alpha = s->sin_w0 / (2.0f * s->Q);
        s->beta = sqrtA / s->Q;
        break;
    case ALPHA_FROM_SLOPE:
    {
        const float slope = s->slope > 0.0f ? s->slope : 1.0f;
        const float A = s->A;
        const float square = (A * A + 1.0f) / slope - (A - 1.0f) * (A - 1.0f);
        s->beta = square > 0.0f ? sqrtf(square) : 0.0f;
        s->alpha = s->beta * s->sin_w0 / (2.0f * sqrtA);
        break;
    }
    default:
        break;
    }
}

static void update_coefficients(filter_biquad_struct* s)
{
    const float c = s->cos_w0;
    const float alpha = s->alpha;
    const float A = s->A;
    const float bs = s->beta * s->sin_w0;
    switch (s->type)
    {
    case FILTER_BIQUAD_LOWPASS:
        s->b0 = (1.0f - c) / 2.0f;
        s->b1 = 1.0f - c;
        s->b2 = (1.0f - c) / 2.0f;
        break;
    case FILTER_BIQUAD_HIGHPASS:
        s->b0 = (1.0f + c) / 2.0f;
        s->b1 = -(1.0f + c);
        s->b2 = (1.0f + c) / 2.0f;
        break;
    case FILTER_BIQUAD_BANDPASS_Q:
        s->b0 = s->sin_w0 / 2.0f;
        s->b1 = 0.0f;
        s->b2 = -s->sin_w0 / 2.0f;
        break;
    case FILTER_BIQUAD_NOTCH:
        s->b0 = 1.0f;
        s->b1 = -2.0f * c;
        s->b2 = 1.0f;
        break;
    case FILTER_BIQUAD_PEAKING:
        s->b0 = 1.0f + alpha * A;
        s->b1 = -2.0f * c;
        s->b2 = 1.0f - alpha * A;
        s->a0 = 1.0f + alpha / A;
        s->a1 = -2.0f * c;
        s->a2 = 1.0f - alpha / A;
        break;
    case FILTER_BIQUAD_ALLPASS:
        s->b0 = 1.0f - alpha;
        s->b1 = -2.0f * c;
        s->b2 = 1.0f + alpha;
        break;
    case FILTER_BIQUAD_BANDPASS:
        s->b0 = alpha;
        s->b1 = 0.0f;
        s->b2 = -alpha;
        break;
    case FILTER_BIQUAD_LOW_SHELF:
        s->b0 = A * ((A + 1.0f) - (A - 1.0f) * c + bs);
        s->b1 = 2.0f * A * ((A - 1.0f) - (A + 1.0f) * c);
        s->b2 = A * ((A + 1.0f) - (A - 1.0f) * c - bs);
        s->a0 = (A + 1.0f) + (A - 1.0f) * c + bs;
        s->a1 = -2.0f * ((A - 1.0f) + (A + 1.0f) * c);
        s->a2 = (A + 1.0f) + (A - 1.0f) * c - bs;
        break;
    case FILTER_BIQUAD_HIGH_SHELF:
        s->b0 = A * ((A + 1.0f) + (A - 1.0f) * c + bs);
        s->b1 = -2.0f * A * ((A - 1.0f) + (A + 1.0f) * c);
        s->b2 = A * ((A + 1.0f) + (A - 1.0f) * c - bs);
        s->a0 = (A + 1.0f) - (A - 1.0f) * c + bs;
        s->a1 = 2.0f * ((A - 1.0f) - (A + 1.0f) * c);
        s->a2 = (A + 1.0f) - (A - 1.0f) * c - bs;
        break;
    default:
        break; /* unknown type: the coefficients stay */
    }
    /* Types 0-3, 5 and 6 share the denominator. */
    switch (s->type)
    {
    case FILTER_BIQUAD_LOWPASS:
    case FILTER_BIQUAD_HIGHPASS:
    case FILTER_BIQUAD_BANDPASS_Q:
    case FILTER_BIQUAD_NOTCH:
    case FILTER_BIQUAD_ALLPASS:
    case FILTER_BIQUAD_BANDPASS:
        s->a0 = 1.0f + alpha;
        s->a1 = -2.0f * c;
        s->a2 = 1.0f - alpha;
        break;
    default:
        break;
    }
    s->a0_reciprocal = 1.0f / s->a0;
}

void filter_biquad_set_attr(filter_biquad_struct* state, int attribute, float value)
{
    if (!store(state, attribute, value))
        return;
    state->w0 = state->frequency * kTwoPiF * gAudioSamplingRateReciprocal;
    state->sin_w0 = sinf(state->w0);
    state->cos_w0 = cosf(state->w0);
    update_width(state);
    update_coefficients(state);
}

void filter_biquad_init(filter_biquad_struct* state)
{
    state->frequency = 0.0f;
    state->gain = 0.0f;
    state->bandwidth = 0.0f;
    state->slope = 0.0f;
    state->alpha = 0.0f;
    state->beta = 0.0f;
    state->a0 = 1.0f;
    state->a1 = state->a2 = state->b0 = state->b1 = state->b2 = 0.0f;
    state->a0_reciprocal = 1.0f;
    state->A = 1.0f;
    state->alpha_mode = ALPHA_FROM_Q;
    state->Q = 1.0f;
    state->type = FILTER_BIQUAD_LOWPASS;
    filter_biquad_set_attr(state, 200, 1000.0f);
    filter_biquad_set_attr(state, 210, 0.0f);
    filter_biquad_clear(state);
}

void filter_biquad_free(filter_biquad_struct* state)
{
    (void)state;
}

float filter_biquad_get_attr(const filter_biquad_struct* state, int attribute)
{
    (void)state;
    (void)attribute;
    return 0.0f;
}

void filter_biquad_set_coeffs(filter_biquad_struct* state, float a0, float a1, float a2, float b0,
                              float b1, float b2)
{
    state->a0 = a0;
    state->a1 = a1;
    state->a2 = a2;
    state->b0 = b0;
    state->b1 = b1;
    state->b2 = b2;
    state->a0_reciprocal = 1.0f / a0;
}

void filter_biquad_clear(filter_biquad_struct* state)
{
    state->x1 = state->x2 = state->y1 = state->y2 = 0.0f;
    state->output = 0.0f;
}

float filter_biquad_dsp(filter_biquad_struct* state, float x)
{
    const float y = (state->b0 * x + state->b1 * state->x1 + state->b2 * state->x2 -
                     state->a1 * state->y1 - state->a2 * state->y2) *
                    state->a0_reciprocal;
    state->x2 = state->x1;
    state->x1 = x;
    state->y2 = state->y1;
    state->y1 = y;
    state->output = y;
    return y;
}

float filter_biquad_get_output(const filter_biquad_struct* state)
{
    return state->output;
}

void filter_biquad_link(const filter_biquad_struct* source, filter_biquad_struct* destination)
{
    destination->frequency = source->frequency;
    destination->gain = source->gain;
    destination->bandwidth = source->bandwidth;
    destination->Q = source->Q;
    destination->slope = source->slope;
    destination->A = source->A;
    destination->w0 = source->w0;
    destination->sin_w0 = source->sin_w0;
    destination->cos_w0 = source->cos_w0;
    destination->alpha = source->alpha;
    destination->beta = source->beta;
    destination->a0_reciprocal = source->a0_reciprocal;
    destination->a0 = source->a0;
    destination->a1 = source->a1;
    destination->a2 = source->a2;
    destination->b0 = source->b0;
    destination->b1 = source->b1;
    destination->b2 = source->b2;
}
