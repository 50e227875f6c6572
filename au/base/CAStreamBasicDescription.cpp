#include "CAStreamBasicDescription.h"

namespace
{

template <typename T> bool Matches(T x, T y)
{
    return x == 0 || y == 0 || x == y;
}

// Drops the flag bits that do not distinguish these two linear-PCM formats.
void NormaliseLinearPCMFlags(const AudioStreamBasicDescription& x,
                             const AudioStreamBasicDescription& y, UInt32& xFlags, UInt32& yFlags)
{
    xFlags &= ~kAudioFormatFlagsAreAllClear;
    yFlags &= ~kAudioFormatFlagsAreAllClear;
    if ((xFlags & yFlags & kAudioFormatFlagIsPacked) != 0)
    {
        xFlags &= ~kAudioFormatFlagIsAlignedHigh;
        yFlags &= ~kAudioFormatFlagIsAlignedHigh;
    }
    if ((xFlags & yFlags & kAudioFormatFlagIsFloat) != 0)
    {
        xFlags &= ~kAudioFormatFlagIsSignedInteger;
        yFlags &= ~kAudioFormatFlagIsSignedInteger;
    }
    // Byte order means nothing for single-byte samples.
    if (x.mBitsPerChannel <= 8 && (xFlags & kAudioFormatFlagIsPacked) != 0)
        xFlags &= ~kAudioFormatFlagIsBigEndian;
    if (y.mBitsPerChannel <= 8 && (yFlags & kAudioFormatFlagIsPacked) != 0)
        yFlags &= ~kAudioFormatFlagIsBigEndian;
    // Interleaving means nothing for a single channel.
    if (x.mChannelsPerFrame < 2 && y.mChannelsPerFrame < 2)
    {
        xFlags &= ~kAudioFormatFlagIsNonInterleaved;
        yFlags &= ~kAudioFormatFlagIsNonInterleaved;
    }
}

} // namespace

bool operator==(const AudioStreamBasicDescription& x, const AudioStreamBasicDescription& y)
{
    if (!Matches(x.mSampleRate, y.mSampleRate) || !Matches(x.mFormatID, y.mFormatID))
        return false;
    if (x.mFormatID != 0 && y.mFormatID != 0 && x.mFormatFlags != 0 && y.mFormatFlags != 0)
    {
        UInt32 xFlags = x.mFormatFlags;
        UInt32 yFlags = y.mFormatFlags;
        if (x.mFormatID == kAudioFormatLinearPCM)
            NormaliseLinearPCMFlags(x, y, xFlags, yFlags);
        if (xFlags != yFlags)
            return false;
    }
    return Matches(x.mBytesPerPacket, y.mBytesPerPacket) &&
           Matches(x.mFramesPerPacket, y.mFramesPerPacket) &&
           Matches(x.mBytesPerFrame, y.mBytesPerFrame) &&
           Matches(x.mChannelsPerFrame, y.mChannelsPerFrame) &&
           Matches(x.mBitsPerChannel, y.mBitsPerChannel);
}
