#include "CAVectorUnit.h"

#include <mutex>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

SInt32 CAVectorUnit::sVectorUnitType = kVecUninitialized;

SInt32 CAVectorUnit::CheckVectorUnit()
{
    SInt32 result = kVecNone;
#if defined(__x86_64__) || defined(__i386__)
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0)
    {
        if ((ecx & (1u << 0)) != 0)
            result = kVecSSE3;
        else if ((edx & (1u << 26)) != 0)
            result = kVecSSE2;
    }
#endif
    return result;
}

SInt32 CAVectorUnit::GetVectorUnitType()
{
    static std::once_flag probed;
    std::call_once(probed, [] { sVectorUnitType = CheckVectorUnit(); });
    return sVectorUnitType;
}
