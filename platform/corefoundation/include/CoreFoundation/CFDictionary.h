// Key-value collections. With the CF-type callbacks keys and values are
// retained and keys are compared with CFEqual/CFHash.
#ifndef FX_COREFOUNDATION_CFDICTIONARY_H
#define FX_COREFOUNDATION_CFDICTIONARY_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct FxCFDictionary* CFDictionaryRef;
typedef struct FxCFDictionary* CFMutableDictionaryRef;

typedef const void* (*CFDictionaryRetainCallBack)(CFAllocatorRef alloc, const void* value);
typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef alloc, const void* value);
typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFDictionaryEqualCallBack)(const void* a, const void* b);
typedef CFHashCode (*CFDictionaryHashCallBack)(const void* value);

typedef struct
{
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
    CFDictionaryHashCallBack hash;
} CFDictionaryKeyCallBacks;

typedef struct
{
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
} CFDictionaryValueCallBacks;

extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

typedef void (*CFDictionaryApplierFunction)(const void* key, const void* value, void* context);

CFTypeID CFDictionaryGetTypeID(void);
// Null callback pointers store plain pointers compared by identity. When a
// key repeats, the later value wins.
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef alloc, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks);
CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef alloc, CFDictionaryRef dict);
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef alloc, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef alloc, CFIndex capacity,
                                                     CFDictionaryRef dict);

CFIndex CFDictionaryGetCount(CFDictionaryRef dict);
Boolean CFDictionaryContainsKey(CFDictionaryRef dict, const void* key);
// The stored value, not retained for the caller; NULL when absent.
const void* CFDictionaryGetValue(CFDictionaryRef dict, const void* key);
Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef dict, const void* key, const void** value);
// Fills keys and values (either may be NULL) in the dictionary's order.
void CFDictionaryGetKeysAndValues(CFDictionaryRef dict, const void** keys, const void** values);
void CFDictionaryApplyFunction(CFDictionaryRef dict, CFDictionaryApplierFunction applier,
                               void* context);

// Adds or replaces.
void CFDictionarySetValue(CFMutableDictionaryRef dict, const void* key, const void* value);
// Adds only when the key is absent.
void CFDictionaryAddValue(CFMutableDictionaryRef dict, const void* key, const void* value);
// Replaces only when the key is present.
void CFDictionaryReplaceValue(CFMutableDictionaryRef dict, const void* key, const void* value);
void CFDictionaryRemoveValue(CFMutableDictionaryRef dict, const void* key);
void CFDictionaryRemoveAllValues(CFMutableDictionaryRef dict);

CF_EXTERN_C_END

#endif
