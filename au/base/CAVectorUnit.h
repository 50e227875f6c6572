// Which vector unit the processor has, probed once per process.
#pragma once

#include <CoreServices/MacTypes.h>

enum
{
    kVecUninitialized = -1,
    kVecNone = 0,
    kVecSSE2 = 100,
    kVecSSE3 = 101,
};

class CAVectorUnit
{
public:
    // kVecSSE3, kVecSSE2 or kVecNone; the first call probes the processor.
    static SInt32 GetVectorUnitType();
    static SInt32 CheckVectorUnit();

private:
    static SInt32 sVectorUnitType;
};
