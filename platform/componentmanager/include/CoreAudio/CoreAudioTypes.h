// Audio records shared by hosts and units: stream formats, buffer lists,
// time stamps and channel layouts.
#pragma once

#include <CoreServices/MacTypes.h>

struct AudioStreamBasicDescription
{
    Float64 mSampleRate;
    UInt32 mFormatID;
    UInt32 mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};
typedef struct AudioStreamBasicDescription AudioStreamBasicDescription;

enum
{
    kAudioFormatLinearPCM = 0x6C70636D, // 'lpcm'
};

enum
{
    kAudioFormatFlagIsFloat = 1u << 0,
    kAudioFormatFlagIsBigEndian = 1u << 1,
    kAudioFormatFlagIsSignedInteger = 1u << 2,
    kAudioFormatFlagIsPacked = 1u << 3,
    kAudioFormatFlagIsAlignedHigh = 1u << 4,
    kAudioFormatFlagIsNonInterleaved = 1u << 5,
    kAudioFormatFlagIsNonMixable = 1u << 6,
    kAudioFormatFlagsAreAllClear = 1u << 31,
};

#if defined(__BIG_ENDIAN__) || (defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)
#define kAudioFormatFlagsNativeEndian kAudioFormatFlagIsBigEndian
#else
#define kAudioFormatFlagsNativeEndian 0u
#endif

struct AudioBuffer
{
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};
typedef struct AudioBuffer AudioBuffer;

// Variable length: mNumberBuffers buffers follow the count.
struct AudioBufferList
{
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
};
typedef struct AudioBufferList AudioBufferList;

// Bytes needed for a buffer list of n buffers.
#define FxAudioBufferListSize(n)                                                                   \
    (offsetof(AudioBufferList, mBuffers) + (size_t)(n) * sizeof(AudioBuffer))

enum
{
    kAudioTimeStampSampleTimeValid = 1u << 0,
    kAudioTimeStampHostTimeValid = 1u << 1,
    kAudioTimeStampRateScalarValid = 1u << 2,
};

struct AudioTimeStamp
{
    Float64 mSampleTime;
    UInt64 mHostTime;
    Float64 mRateScalar;
    UInt32 mFlags;
    UInt32 mReserved;
};
typedef struct AudioTimeStamp AudioTimeStamp;

typedef UInt32 AudioChannelLayoutTag;
typedef UInt32 AudioChannelLabel;

enum
{
    kAudioChannelLayoutTag_UseChannelDescriptions = 0,
    kAudioChannelLayoutTag_UseChannelBitmap = 0x10000,
};

struct AudioChannelDescription
{
    AudioChannelLabel mChannelLabel;
    UInt32 mChannelFlags;
    Float32 mCoordinates[3];
};
typedef struct AudioChannelDescription AudioChannelDescription;

// Variable length: mNumberChannelDescriptions descriptions follow.
struct AudioChannelLayout
{
    AudioChannelLayoutTag mChannelLayoutTag;
    UInt32 mChannelBitmap;
    UInt32 mNumberChannelDescriptions;
    AudioChannelDescription mChannelDescriptions[1];
};
typedef struct AudioChannelLayout AudioChannelLayout;

#define FxAudioChannelLayoutSize(n)                                                                \
    (offsetof(AudioChannelLayout, mChannelDescriptions) +                                          \
     (size_t)(n) * sizeof(AudioChannelDescription))

#ifdef __cplusplus
static_assert(sizeof(AudioStreamBasicDescription) == 40, "stream format is 40 bytes");
static_assert(sizeof(AudioChannelDescription) == 20, "channel description is 20 bytes");
static_assert(offsetof(AudioChannelLayout, mChannelDescriptions) == 12,
              "channel layout header is 12 bytes");
#endif
