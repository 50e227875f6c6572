#include "csd_table.h"

#include "csd_utilities.h"

#include <math.h>

static const double kPi = 3.14159265358979323846;

float* table_init(table_struct* table, int32_t n)
{
    table->count = n;
    table->data = n >= 1 ? (float*)csd_mem_alloc(((size_t)n + 1) * sizeof(float)) : NULL;
    table->output = 0.0f;
    return table->data;
}

void table_free(table_struct* table)
{
    csd_mem_free(table->data);
}

static double limit_unit(double v)
{
    if (v > 1.0)
        return 1.0;
    if (v >= 0.0)
        return v;
    return 0.0; /* below 0, and NaN from a zero a * b */
}

static double curve_entry(int32_t type, int32_t i, float u, double a, double b)
{
    const double du = (double)u;
    switch (type)
    {
    case TABLE_EXPONENTIAL:
        return a * pow(2.0, du * log(b / a) / log(2.0));
    case TABLE_LOG_TAPER:
        return i == 0 ? 0.0 : (log10(0.9 * du + 0.1) + 1.0) * b;
    case TABLE_DECIBEL_FADER:
        return i == 0 ? a : b - 0.25 + 44.0 * log10(du + 0.0131);
    case TABLE_DECIBEL_POSITION:
        return i == 0 ? 0.0 : limit_unit(20.0 * log10(du) / (a * b) + 1.0);
    case TABLE_HALF_SINE:
        return sin((du - 0.5) * kPi);
    case TABLE_QUARTER_SINE:
        return sin(du * kPi / 2.0);
    case TABLE_QUARTER_COSINE:
        return cos(du * kPi / 2.0);
    case TABLE_SQUARED_SINE:
    {
        const double s = sin(du * kPi / 2.0);
        return s * s;
    }
    default:
        return 0.0;
    }
}

static int known_type(int32_t type)
{
    switch (type)
    {
    case TABLE_EXPONENTIAL:
    case TABLE_LOG_TAPER:
    case TABLE_DECIBEL_FADER:
    case TABLE_DECIBEL_POSITION:
    case TABLE_HALF_SINE:
    case TABLE_QUARTER_SINE:
    case TABLE_QUARTER_COSINE:
    case TABLE_SQUARED_SINE:
        return 1;
    default:
        return 0;
    }
}

void table_fill(table_struct* table, int32_t type, float a, float b)
{
    if (!table->data || table->count < 1)
        return;
    const int32_t n = table->count;
    if (type == TABLE_LOG_TAPER && b == 0.0f)
        b = 1.0f;
    if (known_type(type))
    {
        /* A one-entry table has no span; its single entry sits at u = 0. */
        const float span = n > 1 ? (float)(n - 1) : 1.0f;
        for (int32_t i = 0; i < n; ++i)
        {
            const float u = (float)i / span;
            table->data[i] = (float)curve_entry(type, i, u, (double)a, (double)b);
        }
        if (type == TABLE_DECIBEL_FADER)
            table->data[n - 1] = b;
    }
    table->data[n] = table->data[n - 1];
    table_lookup(table, 0.0f);
}

float table_lookup(table_struct* table, float x)
{
    if (!table->data || table->count < 1)
    {
        table->output = 0.0f;
        return 0.0f;
    }
    const float last = (float)(table->count - 1);
    float p = last * x;
    if (!(p >= 0.0f))
        p = 0.0f; /* also NaN */
    else if (p > last)
        p = last;
    const int32_t i = (int32_t)p;
    const float f = p - (float)i;
    const double y = (double)table->data[i] * (1.0 - (double)f) + (double)(f * table->data[i + 1]);
    table->output = (float)y;
    return table->output;
}

float table_lookup_clip(table_struct* table, float x)
{
    if (!(x >= 0.0f))
        x = 0.0f;
    else if (x > 1.0f)
        x = 1.0f;
    return table_lookup(table, x);
}

float table_lookup_clip_bipolar(table_struct* table, float x)
{
    return table_lookup_clip(table, (x + 1.0f) * 0.5f);
}

float table_inverse_lookup(const table_struct* table, float y)
{
    const int32_t n = table->count;
    if (!table->data || n <= 1)
        return 0.0f;
    int32_t lo = 0;
    int32_t hi = n;
    int32_t mid = 0;
    while (hi - lo > 1)
    {
        mid = lo + (hi - lo) / 2;
        if (y > table->data[mid])
            lo = mid;
        else
            hi = mid;
    }
    return (float)mid / (float)n;
}

float table_inverse_calculate(int32_t type, float y, float a, float b)
{
    switch (type)
    {
    case TABLE_EXPONENTIAL:
    {
        const float ratio = y / a; /* the quotients in single precision */
        const float range = b / a;
        return (float)(log((double)ratio) / log((double)range));
    }
    case TABLE_LOG_TAPER:
        return (
            float)((exp(((double)y * 2.302585093 - (double)b * 2.302585093) / (double)b) * 10.0 -
                    1.0) *
                   0.1111111111);
    case TABLE_DECIBEL_FADER:
        return (float)(pow(10.0, ((double)y - ((double)b - 0.25)) / 44.0) - 0.0131);
    default:
        return -999.9f;
    }
}
