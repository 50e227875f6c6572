#include "CAAudioChannelLayout.h"
#include "CAStreamBasicDescription.h"
#include "CAVectorUnit.h"

#include <gtest/gtest.h>

namespace
{

CAStreamBasicDescription FloatFormat(UInt32 channels, bool nonInterleaved)
{
    CAStreamBasicDescription format;
    format.mSampleRate = 48000.0;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                          (nonInterleaved ? kAudioFormatFlagIsNonInterleaved : 0u);
    format.mFramesPerPacket = 1;
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 32;
    format.mBytesPerFrame = nonInterleaved ? 4 : 4 * channels;
    format.mBytesPerPacket = format.mBytesPerFrame;
    return format;
}

struct FormatCase
{
    const char* what;
    CAStreamBasicDescription x;
    CAStreamBasicDescription y;
    bool equal;
};

CAStreamBasicDescription With(CAStreamBasicDescription format,
                              void (*change)(AudioStreamBasicDescription&))
{
    change(format);
    return format;
}

} // namespace

TEST(StreamFormatEquality, FieldsFlagsAndWildcards)
{
    const auto stereo = FloatFormat(2, true);
    const auto mono = FloatFormat(1, true);
    const FormatCase cases[] = {
        {"identical", stereo, stereo, true},
        {"rate 0 matches any rate", With(stereo, [](auto& f) { f.mSampleRate = 0.0; }), stereo,
         true},
        {"different rates", With(stereo, [](auto& f) { f.mSampleRate = 44100.0; }), stereo, false},
        {"mono ignores interleaving", FloatFormat(1, false), mono, true},
        {"stereo keeps interleaving",
         With(FloatFormat(2, false), [](auto& f) { f.mBytesPerFrame = f.mBytesPerPacket = 4; }),
         stereo, false},
        {"all-clear bit ignored",
         With(stereo, [](auto& f) { f.mFormatFlags |= kAudioFormatFlagsAreAllClear; }), stereo,
         true},
        {"aligned-high ignored when both packed",
         With(stereo, [](auto& f) { f.mFormatFlags |= kAudioFormatFlagIsAlignedHigh; }), stereo,
         true},
        {"signed ignored when both float",
         With(stereo, [](auto& f) { f.mFormatFlags |= kAudioFormatFlagIsSignedInteger; }), stereo,
         true},
        {"big-endian counts for 32 bits",
         With(stereo, [](auto& f) { f.mFormatFlags |= kAudioFormatFlagIsBigEndian; }), stereo,
         false},
        {"zero flags match any flags", With(stereo, [](auto& f) { f.mFormatFlags = 0; }), stereo,
         true},
        {"channel count differs", mono, stereo, false},
        {"zero channel count matches", With(stereo, [](auto& f) { f.mChannelsPerFrame = 0; }),
         stereo, true},
        {"other format ids compare raw flags",
         With(stereo,
              [](auto& f)
              {
                  f.mFormatID = 0x61616320;
                  f.mFormatFlags = 1;
              }),
         With(stereo,
              [](auto& f)
              {
                  f.mFormatID = 0x61616320;
                  f.mFormatFlags = 1 | kAudioFormatFlagsAreAllClear;
              }),
         false},
    };
    for (const FormatCase& c : cases)
    {
        EXPECT_EQ(c.x == c.y, c.equal) << c.what;
        EXPECT_EQ(c.y == c.x, c.equal) << c.what << " (reversed)";
    }
}

TEST(StreamFormatEquality, ByteOrderOfSingleBytesIsIgnored)
{
    CAStreamBasicDescription x;
    x.mFormatID = kAudioFormatLinearPCM;
    x.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    x.mBitsPerChannel = 8;
    x.mChannelsPerFrame = 2;
    x.mBytesPerFrame = x.mBytesPerPacket = 2;
    x.mFramesPerPacket = 1;
    CAStreamBasicDescription y = x;
    y.mFormatFlags |= kAudioFormatFlagIsBigEndian;
    EXPECT_TRUE(x == y);
    x.mBitsPerChannel = y.mBitsPerChannel = 16;
    EXPECT_FALSE(x == y);
}

TEST(ChannelLayout, NumberOfChannelsByTag)
{
    AudioChannelLayout layout{};
    layout.mChannelLayoutTag = kAudioChannelLayoutTag_UseChannelBitmap;
    layout.mChannelBitmap = 0b1011;
    EXPECT_EQ(CAAudioChannelLayout::NumberChannels(layout), 3u);

    layout.mChannelLayoutTag = kAudioChannelLayoutTag_UseChannelDescriptions;
    layout.mNumberChannelDescriptions = 5;
    EXPECT_EQ(CAAudioChannelLayout::NumberChannels(layout), 5u);

    layout.mChannelLayoutTag = (101u << 16) | 2; // a tag carrying its channel count
    EXPECT_EQ(CAAudioChannelLayout::NumberChannels(layout), 2u);
}

TEST(VectorUnit, MatchesTheProcessorsFeatures)
{
    __builtin_cpu_init();
    const SInt32 expected = __builtin_cpu_supports("sse3")   ? kVecSSE3
                            : __builtin_cpu_supports("sse2") ? kVecSSE2
                                                             : kVecNone;
    EXPECT_EQ(CAVectorUnit::GetVectorUnitType(), expected);
    EXPECT_EQ(CAVectorUnit::GetVectorUnitType(), CAVectorUnit::CheckVectorUnit());
}
