#include "filter_average.h"

#include "csd_internal.h"
#include "csd_utilities.h"

#include <float.h>
#include <math.h>

void filter_average_init(filter_average_struct* state)
{
    state->mode = 0;
    state->ring =
        (float*)csd_mem_alloc((FILTER_AVERAGE_MAX_LENGTH + 1) * sizeof(float)); /* zeroed */
    state->length = 0;
    filter_average_set_attr(state, 230, 1.0f);
    state->output = 0.0f;
}

void filter_average_free(filter_average_struct* state)
{
    csd_mem_free(state->ring);
    state->ring = NULL;
}

/* Zeroes the window and places the positions so that the sum covers the
 * last `length` samples: the ring holds length + 1 slots, read runs one slot
 * ahead of write. Both init and a new length go through here. Keeping the old
 * ring contents (or the old write position) with a zeroed sum would subtract
 * samples that were never added, and read and write starting on the same
 * slot would average length + 1 samples. */
static void restart(filter_average_struct* s)
{
    if (s->ring)
        for (int i = 0; i <= FILTER_AVERAGE_MAX_LENGTH; ++i)
            s->ring[i] = 0.0f;
    s->sum = 0.0;
    s->write = 0;
    s->read = s->write - s->length;
    if (s->read < 0)
        s->read += s->length + 1;
}

void filter_average_set_attr(filter_average_struct* state, int attribute, float value)
{
    if (attribute == 230)
    {
        /* Lengths below 1 would leave an empty window; a fractional length
         * is truncated and the mean divides by the truncated count, the
         * number of samples actually summed. */
        if (!(value >= 1.0f && value <= (float)FILTER_AVERAGE_MAX_LENGTH))
            return;
        state->length = (int32_t)value;
        state->length_reciprocal = 1.0 / (double)state->length;
        state->last = state->length;
        restart(state);
    }
    else if (attribute == 231)
    {
        state->mode = csd_truncate(value, -1);
    }
}

float filter_average_get_attr(const filter_average_struct* state, int attribute)
{
    if (attribute == 230)
        return (float)state->length;
    if (attribute == 231)
        return (float)state->mode;
    return 0.0f;
}

void filter_average_clear(filter_average_struct* state)
{
    restart(state);
    state->output = 0.0f;
}

float filter_average_dsp(filter_average_struct* state, float x)
{
    if (!state->ring)
        return 0.0f;
    /* An unknown mode answers the previous output and leaves the window as it
     * is: retiring a slot without writing one would put the read position a
     * slot further ahead for good, and every later average would cover one
     * sample fewer than it divides by. */
    if (state->mode < 0 || state->mode > 2)
        return state->output;
    if (!isfinite(x))
        x = 0.0f;
    if (state->read > state->last)
        state->read = 0;
    if (state->write > state->last)
        state->write = 0;
    state->sum -= (double)state->ring[state->read];
    state->read += 1;
    switch (state->mode)
    {
    case 0:
        state->ring[state->write] = x;
        state->sum += (double)x;
        state->write += 1;
        state->output = (float)(state->sum * state->length_reciprocal);
        break;
    case 1:
    {
        const float magnitude = fabsf(x);
        state->ring[state->write] = magnitude;
        state->sum += (double)magnitude;
        state->write += 1;
        state->output = (float)(state->sum * state->length_reciprocal);
        break;
    }
    case 2:
    {
        float square = x * x;
        if (square > FLT_MAX)
            square = FLT_MAX; /* keep the running sum finite */
        state->ring[state->write] = square;
        state->sum += (double)square;
        state->write += 1;
        /* Rounding in the running sum can leave it a hair below zero. */
        const double mean = state->sum * state->length_reciprocal;
        state->output = (float)sqrt(mean > 0.0 ? mean : 0.0);
        break;
    }
    }
    return state->output;
}

float filter_average_get_output(const filter_average_struct* state)
{
    return state->output;
}
