#include "filter_shapers.h"

#include "csd_internal.h"

#include <math.h>

/* ---- bit-depth reducer ---- */

void filter_derez_init(filter_derez_struct* state)
{
    state->shift = 0;
    state->output = 0.0f;
}

void filter_derez_free(filter_derez_struct* state)
{
    (void)state;
}

void filter_derez_set_attr(filter_derez_struct* state, int attribute, float value)
{
    if (attribute == 210)
        state->shift = csd_truncate(24.0f - value, 0);
}

float filter_derez_get_attr(const filter_derez_struct* state, int attribute)
{
    return attribute == 210 ? (float)(24 - (int64_t)state->shift) : 0.0f;
}

void filter_derez_clear(filter_derez_struct* state)
{
    state->output = 0.0f;
}

float filter_derez_dsp(filter_derez_struct* state, float x)
{
    const int32_t n = csd_truncate(x * 8388608.0f, 0);
    /* An arithmetic right shift followed by a left shift by the same count
     * (taken modulo 32, as the processor does) clears the low bits. */
    const uint32_t count = (uint32_t)state->shift & 31u;
    const uint32_t mask = ~((1u << count) - 1u);
    const int32_t reduced = (int32_t)((uint32_t)n & mask);
    state->output = (float)reduced * 1.1920928955e-7f;
    return state->output;
}

float filter_derez_get_output(const filter_derez_struct* state)
{
    return state->output;
}

/* ---- down-sampler ---- */

void filter_downsample_init(filter_downsample_struct* state)
{
    state->rate = 1.0f;
    state->phase = 0.0f;
    state->held = 0.0f;
}

void filter_downsample_free(filter_downsample_struct* state)
{
    (void)state;
}

void filter_downsample_set_attr(filter_downsample_struct* state, int attribute, float value)
{
    if (attribute != 220)
        return;
    state->rate = value;
    state->phase = 0.0f;
}

float filter_downsample_get_attr(const filter_downsample_struct* state, int attribute)
{
    return attribute == 220 ? state->rate : 0.0f;
}

void filter_downsample_clear(filter_downsample_struct* state)
{
    state->phase = 0.0f;
    state->held = 0.0f;
}

float filter_downsample_dsp(filter_downsample_struct* state, float x)
{
    state->phase += state->rate;
    if (state->phase >= 1.0f)
    {
        state->held = x;
        state->phase -= 1.0f;
    }
    return state->held;
}

float filter_downsample_get_output(const filter_downsample_struct* state)
{
    return state->held;
}

/* ---- overdrive curve ---- */

void filter_overdrive_init(filter_overdrive_struct* state)
{
    state->exponent = 1.0f;
    state->output = 0.0f;
}

void filter_overdrive_free(filter_overdrive_struct* state)
{
    (void)state;
}

void filter_overdrive_set_attr(filter_overdrive_struct* state, int attribute, float value)
{
    if (attribute == 240)
        state->exponent = value;
}

float filter_overdrive_get_attr(const filter_overdrive_struct* state, int attribute)
{
    return attribute == 240 ? state->exponent : 0.0f;
}

void filter_overdrive_clear(filter_overdrive_struct* state)
{
    state->output = 0.0f;
}

float filter_overdrive_dsp(filter_overdrive_struct* state, float x)
{
    float sign = 1.0f;
    if (x < 0.0f)
    {
        sign = -1.0f;
        x = -x;
    }
    if (x >= 1.0f)
    {
        state->output = sign;
        return sign;
    }
    const double bent = 1.0 - exp((double)state->exponent * log(1.0 - (double)x));
    state->output = (float)((double)sign * bent);
    return state->output;
}

float filter_overdrive_get_output(const filter_overdrive_struct* state)
{
    return state->output;
}

/* ---- all-pass placeholder ---- */

void filter_all_pass_init(filter_all_pass_struct* state)
{
    (void)state;
}

void filter_all_pass_free(filter_all_pass_struct* state)
{
    (void)state;
}

void filter_all_pass_set_attr(filter_all_pass_struct* state, int attribute, float value)
{
    (void)state;
    (void)attribute;
    (void)value;
}

float filter_all_pass_get_attr(const filter_all_pass_struct* state, int attribute)
{
    (void)state;
    (void)attribute;
    return 0.0f;
}

void filter_all_pass_clear(filter_all_pass_struct* state)
{
    (void)state;
}

float filter_all_pass_dsp(filter_all_pass_struct* state, float x)
{
    (void)state;
    (void)x;
    return 0.0f;
}

float filter_all_pass_get_output(const filter_all_pass_struct* state)
{
    (void)state;
    return 0.0f;
}
