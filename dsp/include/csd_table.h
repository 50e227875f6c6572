/*
 * Lookup tables: a curve precomputed at n points, read at a position 0..1
 * with linear interpolation, and mapped back from a value to a position.
 */
#ifndef CSD_TABLE_H
#define CSD_TABLE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C"
{
#endif

/* Curve kinds of table_fill; a and b are its two arguments. */
#define TABLE_EXPONENTIAL 800      /* a * (b / a)^u */
#define TABLE_LOG_TAPER 810        /* 0, then (log10(0.9u + 0.1) + 1) * b; b = 0 means 1 */
#define TABLE_DECIBEL_FADER 812    /* a, then b - 0.25 + 44 log10(u + 0.0131), last b */
#define TABLE_DECIBEL_POSITION 830 /* 20 log10(u) / (a * b) + 1, limited to [0, 1] */
#define TABLE_HALF_SINE 840        /* sin((u - 0.5) * pi), -1 .. 1 */
#define TABLE_QUARTER_SINE 842     /* sin(u * pi / 2) */
#define TABLE_QUARTER_COSINE 843   /* cos(u * pi / 2) */
#define TABLE_SQUARED_SINE 845     /* sin^2(u * pi / 2) */

    typedef struct _table_struct
    {
        int32_t count; /* number of entries n */
        float* data;   /* n + 1 floats; the last repeats entry n - 1 once filled */
        float output;  /* result of the most recent lookup */
    } table_struct;

    /* Allocates n + 1 zeroed entries; returns the data pointer, NULL when the
     * heap refuses or n < 1. */
    float* table_init(table_struct* table, int32_t n);
    /* Returns the data to the heap (the pointer is left as it is). */
    void table_free(table_struct* table);
    /* Fills the entries with curve `type` (u = i / (n - 1) in single precision,
     * entries computed in double), sets the guard entry and output = entry 0.
     * Unknown types leave the entries alone; no data, no effect. */
    void table_fill(table_struct* table, int32_t type, float a, float b);

    /* Linear interpolation at position x (0..1). Positions outside [0, 1], and
     * NaN, are held at the nearest end (NaN at 0) so no read leaves the entries.
     * A table without data answers 0. */
    float table_lookup(table_struct* table, float x);
    /* x < 0 (and NaN) reads entry 0, x > 1 the last entry. */
    float table_lookup_clip(table_struct* table, float x);
    /* x in [-1, 1] mapped to [0, 1] by (x + 1) * 0.5, then as table_lookup_clip. */
    float table_lookup_clip_bipolar(table_struct* table, float x);

    /* Bisection over a rising table: the last probe divided by n. A table with
     * fewer than two entries (no probe possible) answers 0. */
    float table_inverse_lookup(const table_struct* table, float y);
    /* Closed-form inverse of curves 800, 810 and 812 (not limited to [0, 1]);
     * -999.9 for any other type. */
    float table_inverse_calculate(int32_t type, float y, float a, float b);

#ifdef __cplusplus
}
#endif

#endif
