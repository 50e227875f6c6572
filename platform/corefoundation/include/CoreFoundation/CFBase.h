// Base types of the CoreFoundation subset: reference counting, type
// identities, equality and hashing shared by every object kind.
#ifndef FX_COREFOUNDATION_CFBASE_H
#define FX_COREFOUNDATION_CFBASE_H

#include <stdint.h>

#ifdef __cplusplus
#define CF_EXTERN_C_BEGIN                                                                          \
    extern "C"                                                                                     \
    {
#define CF_EXTERN_C_END }
#else
#define CF_EXTERN_C_BEGIN
#define CF_EXTERN_C_END
#endif

CF_EXTERN_C_BEGIN

typedef unsigned char Boolean;
typedef long CFIndex;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;
typedef unsigned long CFTypeID;

typedef const void* CFTypeRef;
typedef const void* CFPropertyListRef;

typedef const struct FxCFAllocator* CFAllocatorRef;
typedef const struct FxCFString* CFStringRef;
typedef struct FxCFString* CFMutableStringRef;
typedef const struct FxCFError* CFErrorRef;

// Only the default allocator exists; it is the null pointer, and creation
// functions refuse any other allocator.
extern const CFAllocatorRef kCFAllocatorDefault;

typedef struct
{
    CFIndex location;
    CFIndex length;
} CFRange;

static inline CFRange CFRangeMake(CFIndex location, CFIndex length)
{
    CFRange range;
    range.location = location;
    range.length = length;
    return range;
}

typedef CFIndex CFComparisonResult;
enum
{
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
};

enum
{
    kCFNotFound = -1
};

// Reference counting. Counts are atomic, so objects may be retained and
// released from any thread; everything else about an object belongs to one
// thread at a time. CFRetain(NULL) answers NULL and CFRelease(NULL) does
// nothing. Constant objects (CFSTR strings, the booleans) are never freed.
CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
CFIndex CFGetRetainCount(CFTypeRef object);

CFTypeID CFGetTypeID(CFTypeRef object);
Boolean CFEqual(CFTypeRef a, CFTypeRef b);
CFHashCode CFHash(CFTypeRef object);

// Errors from property-list reading and writing.
typedef CFIndex CFErrorCode;
CFTypeID CFErrorGetTypeID(void);
CFIndex CFErrorGetCode(CFErrorRef error);
// The caller owns the returned string.
CFStringRef CFErrorCopyDescription(CFErrorRef error);

CF_EXTERN_C_END

#endif
