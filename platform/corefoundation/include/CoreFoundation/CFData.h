// Byte buffers, immutable or growable.
#ifndef FX_COREFOUNDATION_CFDATA_H
#define FX_COREFOUNDATION_CFDATA_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct FxCFData* CFDataRef;
typedef struct FxCFData* CFMutableDataRef;

CFTypeID CFDataGetTypeID(void);
CFDataRef CFDataCreate(CFAllocatorRef alloc, const uint8_t* bytes, CFIndex length);
CFDataRef CFDataCreateCopy(CFAllocatorRef alloc, CFDataRef data);
// capacity is a hint only; 0 means no limit.
CFMutableDataRef CFDataCreateMutable(CFAllocatorRef alloc, CFIndex capacity);
CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef alloc, CFIndex capacity, CFDataRef data);

CFIndex CFDataGetLength(CFDataRef data);
const uint8_t* CFDataGetBytePtr(CFDataRef data);
uint8_t* CFDataGetMutableBytePtr(CFMutableDataRef data);
// Copies the bytes of range; a range outside the data copies nothing.
void CFDataGetBytes(CFDataRef data, CFRange range, uint8_t* buffer);
void CFDataAppendBytes(CFMutableDataRef data, const uint8_t* bytes, CFIndex length);
// Growing fills the new bytes with zeros.
void CFDataSetLength(CFMutableDataRef data, CFIndex length);

CF_EXTERN_C_END

#endif
