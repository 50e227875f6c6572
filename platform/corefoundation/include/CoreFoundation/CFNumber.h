// Immutable numbers and the two boolean constants.
#ifndef FX_COREFOUNDATION_CFNUMBER_H
#define FX_COREFOUNDATION_CFNUMBER_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct FxCFBoolean* CFBooleanRef;
typedef const struct FxCFNumber* CFNumberRef;

extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;

CFTypeID CFBooleanGetTypeID(void);
Boolean CFBooleanGetValue(CFBooleanRef boolean);

typedef CFIndex CFNumberType;
enum
{
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,
    kCFNumberShortType = 8,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberLongLongType = 11,
    kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,
    kCFNumberCFIndexType = 14,
    kCFNumberMaxType = 14
};

CFTypeID CFNumberGetTypeID(void);
// NULL for an unknown type or a null valuePtr.
CFNumberRef CFNumberCreate(CFAllocatorRef alloc, CFNumberType type, const void* valuePtr);
// The storage type: one of SInt8/16/32/64 or Float32/64.
CFNumberType CFNumberGetType(CFNumberRef number);
Boolean CFNumberIsFloatType(CFNumberRef number);
// Converts into the requested type; integers are truncated from reals and
// out-of-range values are clamped. Answers whether the conversion was exact.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr);

CF_EXTERN_C_END

#endif
