// File URLs: a file-system path plus whether it names a directory.
#ifndef FX_COREFOUNDATION_CFURL_H
#define FX_COREFOUNDATION_CFURL_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct FxCFURL* CFURLRef;

typedef CFIndex CFURLPathStyle;
enum
{
    kCFURLPOSIXPathStyle = 0
};

CFTypeID CFURLGetTypeID(void);

// A relative path is taken relative to the working directory at creation.
// Repeated slashes collapse; an empty path gives NULL.
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef alloc, const uint8_t* buffer,
                                                 CFIndex bufLen, Boolean isDirectory);
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef alloc, CFStringRef filePath,
                                       CFURLPathStyle pathStyle, Boolean isDirectory);
// "/a/b/c.so" -> "/a/b/", "/a/b/" -> "/a/", "/" -> "/".
CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef alloc, CFURLRef url);
CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef alloc, CFURLRef url,
                                               CFStringRef pathComponent, Boolean isDirectory);

// The path without a trailing slash ("/" stays "/"), zero-terminated. With
// resolveAgainstBase a relative URL answers its absolute path. False when the
// buffer is too small.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, uint8_t* buffer,
                                         CFIndex maxBufLen);
// The caller owns the returned strings.
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle pathStyle);
CFStringRef CFURLCopyLastPathComponent(CFURLRef url);
Boolean CFURLHasDirectoryPath(CFURLRef url);

CF_EXTERN_C_END

#endif
