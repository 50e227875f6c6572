// Fixed-width scalar types and status codes shared by the Component Manager,
// Core Audio and Audio Unit headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;
typedef unsigned char Boolean;
typedef UInt8 Byte;

typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef UInt32 OSType;
typedef UInt32 FourCharCode;

// Status codes are typed constants so that they mix freely in expressions.
static const OSStatus noErr = 0;
static const OSStatus paramErr = -50;
static const OSStatus memFullErr = -108;
