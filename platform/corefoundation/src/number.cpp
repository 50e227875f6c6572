#include "object.h"

#include <cmath>
#include <cstring>
#include <limits>

struct FxCFBoolean final : FxCFObject
{
    constexpr explicit FxCFBoolean(bool v) : FxCFObject(kFxTypeBoolean, true), value(v) {}
    const bool value;
};

struct FxCFNumber final : FxCFObject
{
    FxCFNumber(CFNumberType storage, int64_t i, double d)
        : FxCFObject(kFxTypeNumber), type(storage), integer(i), real(d)
    {
    }
    bool isFloat() const { return type == kCFNumberFloat32Type || type == kCFNumberFloat64Type; }
    bool equals(const FxCFObject& other) const override;
    CFHashCode hash() const override;

    const CFNumberType type; // one of SInt8/16/32/64, Float32/64
    const int64_t integer;   // the value of an integer number
    const double real;       // the value of a real number (a Float32 is widened exactly)
};

namespace
{

// Constant-initialised, so they are whole before any static constructor of
// another file can use them.
constinit const FxCFBoolean sTrue(true);
constinit const FxCFBoolean sFalse(false);

// The storage type of each requested type on this platform (LP64).
CFNumberType storageType(CFNumberType type)
{
    switch (type)
    {
    case kCFNumberSInt8Type:
    case kCFNumberCharType:
        return kCFNumberSInt8Type;
    case kCFNumberSInt16Type:
    case kCFNumberShortType:
        return kCFNumberSInt16Type;
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
        return kCFNumberSInt32Type;
    case kCFNumberSInt64Type:
    case kCFNumberLongType:
    case kCFNumberLongLongType:
    case kCFNumberCFIndexType:
        return kCFNumberSInt64Type;
    case kCFNumberFloat32Type:
    case kCFNumberFloatType:
        return kCFNumberFloat32Type;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
        return kCFNumberFloat64Type;
    default:
        return 0;
    }
}

// The exact int64 of a real when it has one.
bool realAsInteger(double d, int64_t& out)
{
    // 2^63 is the first double beyond int64's range.
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) || std::trunc(d) != d)
        return false;
    out = static_cast<int64_t>(d);
    return true;
}

template <typename T> bool storeInteger(const FxCFNumber& n, void* valuePtr)
{
    constexpr auto lo = std::numeric_limits<T>::min();
    constexpr auto hi = std::numeric_limits<T>::max();
    T result = 0;
    bool exact = true;
    if (n.isFloat())
    {
        const double d = n.real;
        if (std::isnan(d))
        {
            result = 0;
            exact = false;
        }
        else if (d <= static_cast<double>(lo))
        {
            result = lo;
            exact = d == static_cast<double>(lo);
        }
        else if (d >= static_cast<double>(hi))
        {
            // For 64 bits (double)hi rounds up to 2^63, so equality is never exact.
            result = hi;
            exact = d == static_cast<double>(hi) && sizeof(T) < 8;
        }
        else
        {
            result = static_cast<T>(d); // truncates toward zero
            exact = static_cast<double>(result) == d;
        }
    }
    else
    {
        const int64_t i = n.integer;
        if (i < static_cast<int64_t>(lo))
        {
            result = lo;
            exact = false;
        }
        else if (i > static_cast<int64_t>(hi))
        {
            result = hi;
            exact = false;
        }
        else
        {
            result = static_cast<T>(i);
        }
    }
    std::memcpy(valuePtr, &result, sizeof result);
    return exact;
}

const FxCFNumber* numberOf(CFNumberRef ref)
{
    return fxCast<const FxCFNumber>(ref, kFxTypeNumber);
}

} // namespace

const CFBooleanRef kCFBooleanTrue = &sTrue;
const CFBooleanRef kCFBooleanFalse = &sFalse;

bool FxCFNumber::equals(const FxCFObject& other) const
{
    const auto& n = static_cast<const FxCFNumber&>(other);
    if (!isFloat() && !n.isFloat())
        return integer == n.integer;
    if (isFloat() && n.isFloat())
        return real == n.real || (std::isnan(real) && std::isnan(n.real));
    const double d = isFloat() ? real : n.real;
    const int64_t i = isFloat() ? n.integer : integer;
    int64_t asInteger = 0;
    return realAsInteger(d, asInteger) && asInteger == i;
}

CFHashCode FxCFNumber::hash() const
{
    // Equal numbers hash alike: a real with an integer value hashes as that integer.
    int64_t i = integer;
    if (isFloat() && !realAsInteger(real, i))
    {
        const double d = std::isnan(real) ? std::numeric_limits<double>::quiet_NaN() : real;
        return fxHashBytes(&d, sizeof d);
    }
    return fxHashBytes(&i, sizeof i);
}

CFTypeID CFBooleanGetTypeID(void)
{
    return kFxTypeBoolean;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    const auto* b = fxCast<const FxCFBoolean>(boolean, kFxTypeBoolean);
    return b != nullptr && b->value;
}

CFTypeID CFNumberGetTypeID(void)
{
    return kFxTypeNumber;
}

CFNumberRef CFNumberCreate(CFAllocatorRef alloc, CFNumberType type, const void* valuePtr)
{
    if (!fxAllocatorAccepted(alloc) || valuePtr == nullptr)
        return nullptr;
    const CFNumberType storage = storageType(type);
    switch (storage)
    {
    case kCFNumberSInt8Type:
    {
        int8_t v;
        std::memcpy(&v, valuePtr, sizeof v);
        return new FxCFNumber(storage, v, 0.0);
    }
    case kCFNumberSInt16Type:
    {
        int16_t v;
        std::memcpy(&v, valuePtr, sizeof v);
        return new FxCFNumber(storage, v, 0.0);
    }
    case kCFNumberSInt32Type:
    {
        int32_t v;
        std::memcpy(&v, valuePtr, sizeof v);
        return new FxCFNumber(storage, v, 0.0);
    }
    case kCFNumberSInt64Type:
    {
        int64_t v;
        std::memcpy(&v, valuePtr, sizeof v);
        return new FxCFNumber(storage, v, 0.0);
    }
    case kCFNumberFloat32Type:
    {
        float v;
        std::memcpy(&v, valuePtr, sizeof v);
        return new FxCFNumber(storage, 0, static_cast<double>(v));
    }
    case kCFNumberFloat64Type:
    {
        double v;
        std::memcpy(&v, valuePtr, sizeof v);
        return new FxCFNumber(storage, 0, v);
    }
    default:
        return nullptr;
    }
}

CFNumberType CFNumberGetType(CFNumberRef ref)
{
    const FxCFNumber* n = numberOf(ref);
    return n != nullptr ? n->type : 0;
}

Boolean CFNumberIsFloatType(CFNumberRef ref)
{
    const FxCFNumber* n = numberOf(ref);
    return n != nullptr && n->isFloat();
}

Boolean CFNumberGetValue(CFNumberRef ref, CFNumberType type, void* valuePtr)
{
    const FxCFNumber* n = numberOf(ref);
    if (n == nullptr || valuePtr == nullptr)
        return false;
    switch (storageType(type))
    {
    case kCFNumberSInt8Type:
        return storeInteger<int8_t>(*n, valuePtr);
    case kCFNumberSInt16Type:
        return storeInteger<int16_t>(*n, valuePtr);
    case kCFNumberSInt32Type:
        return storeInteger<int32_t>(*n, valuePtr);
    case kCFNumberSInt64Type:
        return storeInteger<int64_t>(*n, valuePtr);
    case kCFNumberFloat32Type:
    {
        const double d = n->isFloat() ? n->real : static_cast<double>(n->integer);
        const float f = static_cast<float>(d);
        std::memcpy(valuePtr, &f, sizeof f);
        if (n->isFloat())
            return static_cast<double>(f) == d || std::isnan(d);
        int64_t back = 0;
        return realAsInteger(static_cast<double>(f), back) && back == n->integer;
    }
    case kCFNumberFloat64Type:
    {
        const double d = n->isFloat() ? n->real : static_cast<double>(n->integer);
        std::memcpy(valuePtr, &d, sizeof d);
        int64_t back = 0;
        return n->isFloat() || (realAsInteger(d, back) && back == n->integer);
    }
    default:
        return false;
    }
}
