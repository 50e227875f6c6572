// Property lists: dictionaries, arrays, strings, numbers, booleans and data
// read from and written to XML or binary plist form.
#ifndef FX_COREFOUNDATION_CFPROPERTYLIST_H
#define FX_COREFOUNDATION_CFPROPERTYLIST_H

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>

CF_EXTERN_C_BEGIN

typedef CFIndex CFPropertyListFormat;
enum
{
    kCFPropertyListXMLFormat_v1_0 = 100,
    kCFPropertyListBinaryFormat_v1_0 = 200
};

typedef CFOptionFlags CFPropertyListMutabilityOptions;
enum
{
    kCFPropertyListImmutable = 0,
    kCFPropertyListMutableContainers = 1,
    kCFPropertyListMutableContainersAndLeaves = 2
};

// Error codes carried by CFErrorRef.
enum
{
    kFxPropertyListReadCorruptError = 3840,
    kFxPropertyListReadUnknownVersionError = 3841,
    kFxPropertyListReadStreamError = 3842,
    kFxPropertyListWriteStreamError = 3851,
    kFxPropertyListWriteInvalidError = 3852,
    kFxPropertyListNotDictionaryError = 3853
};

// Nesting deeper than this is refused as malformed.
enum
{
    kFxPropertyListMaxDepth = 256
};

// Reads XML or binary. On failure answers NULL and, when error is not NULL,
// a new error the caller releases. format (may be NULL) receives the form read.
CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef alloc, CFDataRef data,
                                               CFOptionFlags options, CFPropertyListFormat* format,
                                               CFErrorRef* error);
CFDataRef CFPropertyListCreateData(CFAllocatorRef alloc, CFPropertyListRef propertyList,
                                   CFPropertyListFormat format, CFOptionFlags options,
                                   CFErrorRef* error);
Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format);

// File helpers. Reading takes either form.
CFPropertyListRef FxPropertyListReadFile(const char* path, CFErrorRef* error);
// As FxPropertyListReadFile, but a root that is not a dictionary is an error.
CFDictionaryRef FxPropertyListReadDictionaryFile(const char* path, CFErrorRef* error);
// Writes through a temporary file in the same folder renamed into place, so
// the old file stays whole when anything fails.
Boolean FxPropertyListWriteFile(CFPropertyListRef plist, const char* path,
                                CFPropertyListFormat format, CFErrorRef* error);

CF_EXTERN_C_END

#endif
