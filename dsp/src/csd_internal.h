/* Helpers shared by the library's sources; not part of the public interface. */
#ifndef CSD_INTERNAL_H
#define CSD_INTERNAL_H

#include <stdint.h>

/* Truncation toward zero that is defined for every float: values beyond the
 * int32 range saturate, NaN gives nan_value. Attribute values arrive from
 * callers unchecked, and a plain cast of such values is undefined. */
static inline int32_t csd_truncate(float v, int32_t nan_value)
{
    if (v != v)
        return nan_value;
    if (v >= 2147483648.0f)
        return INT32_MAX;
    if (v <= -2147483648.0f)
        return INT32_MIN;
    return (int32_t)v;
}

#endif
