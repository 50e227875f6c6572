#pragma once

#include <CoreAudio/CoreAudioTypes.h>

namespace CAAudioChannelLayout
{
// Channels described by a layout: the set bits of the bitmap, the number of
// descriptions, or the low 16 bits of any other tag.
UInt32 NumberChannels(const AudioChannelLayout& layout);
} // namespace CAAudioChannelLayout
