// Immutable strings. Text is kept as Unicode; lengths and ranges count
// UTF-16 code units. Mac Roman, ASCII and UTF-8 convert both ways.
#ifndef FX_COREFOUNDATION_CFSTRING_H
#define FX_COREFOUNDATION_CFSTRING_H

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef uint32_t CFStringEncoding;
enum
{
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100
};

typedef CFOptionFlags CFStringCompareFlags;
enum
{
    kCFCompareCaseInsensitive = 1 // ASCII letters only
};

CFTypeID CFStringGetTypeID(void);

// NULL when the bytes are not valid in the encoding (malformed UTF-8, or a
// byte above 0x7F for ASCII). Every Mac Roman byte is valid.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cString,
                                      CFStringEncoding encoding);
CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const uint8_t* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);
CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef string);

// Writes the text and a terminating zero into buffer. False (and an empty
// buffer when bufferSize > 0) when the text does not fit or has a character
// the encoding cannot express.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
// The string's own zero-terminated bytes in that encoding when it has them
// ready, otherwise NULL; callers must be ready for NULL.
const char* CFStringGetCStringPtr(CFStringRef string, CFStringEncoding encoding);
CFIndex CFStringGetLength(CFStringRef string);
// The largest number of bytes length UTF-16 units can need in the encoding.
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);

CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFStringCompareFlags options);

// Constant strings for literals; each distinct text is made once and lives
// as long as the process. Making one takes a lock, so in C++ each use keeps
// its string in a local static: after the first pass CFSTR costs a load and
// is safe on the audio thread.
CFStringRef FxCFStringMakeConstant(const char* utf8);
#ifdef __cplusplus
#define CFSTR(literal)                                                                             \
    (                                                                                              \
        []() noexcept -> CFStringRef                                                               \
        {                                                                                          \
            static const CFStringRef fxConstantString = FxCFStringMakeConstant("" literal "");     \
            return fxConstantString;                                                               \
        }())
#else
#define CFSTR(literal) FxCFStringMakeConstant("" literal "")
#endif

CF_EXTERN_C_END

#endif
