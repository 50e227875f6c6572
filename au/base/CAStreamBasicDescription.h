// The stream-format record with the comparison the base layer uses to decide
// whether a format change is a change at all.
#pragma once

#include <CoreAudio/CoreAudioTypes.h>

class CAStreamBasicDescription : public AudioStreamBasicDescription
{
public:
    CAStreamBasicDescription() : AudioStreamBasicDescription{} {}
    CAStreamBasicDescription(const AudioStreamBasicDescription& description)
        : AudioStreamBasicDescription(description)
    {
    }

    bool IsPCM() const { return mFormatID == kAudioFormatLinearPCM; }
    bool IsInterleaved() const
    {
        return !IsPCM() || (mFormatFlags & kAudioFormatFlagIsNonInterleaved) == 0;
    }
    // One stream per channel for non-interleaved linear PCM, else one.
    UInt32 NumberChannelStreams() const { return IsInterleaved() ? 1 : mChannelsPerFrame; }
    UInt32 NumberChannels() const { return mChannelsPerFrame; }
};

// A field that is 0 in either format matches anything; linear-PCM flags are
// compared after dropping the bits that make no difference for the two
// formats at hand.
bool operator==(const AudioStreamBasicDescription& x, const AudioStreamBasicDescription& y);
inline bool operator!=(const AudioStreamBasicDescription& x, const AudioStreamBasicDescription& y)
{
    return !(x == y);
}
