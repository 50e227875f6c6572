// Host side for the adapter tests: opens an Audio Unit through the Component
// Manager, sets its formats, feeds it from an input callback and renders it,
// all through the calls a host makes.
#pragma once

#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace adapter_host
{

inline AudioStreamBasicDescription CanonicalFormat(UInt32 channels, Float64 rate = 44100.0)
{
    AudioStreamBasicDescription format{};
    format.mSampleRate = rate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    format.mBitsPerChannel = 32;
    format.mFramesPerPacket = 1;
    format.mChannelsPerFrame = channels;
    format.mBytesPerFrame = 4;
    format.mBytesPerPacket = 4;
    return format;
}

// Non-interleaved audio: one vector per channel, and the buffer list that
// describes it.
struct Audio
{
    std::vector<std::vector<float>> channels;
    std::vector<std::byte> listMemory;

    Audio(UInt32 channelCount, UInt32 frames)
        : channels(channelCount, std::vector<float>(frames, 0.0f)),
          listMemory(FxAudioBufferListSize(channelCount))
    {
    }

    AudioBufferList* list()
    {
        auto* result = reinterpret_cast<AudioBufferList*>(listMemory.data());
        result->mNumberBuffers = static_cast<UInt32>(channels.size());
        for (size_t i = 0; i < channels.size(); ++i)
            result->mBuffers[i] = {1, static_cast<UInt32>(channels[i].size() * sizeof(float)),
                                   channels[i].data()};
        return result;
    }
};

// The unit's input: copies the next frames of a signal into whatever buffers
// the unit hands over, and can report silence.
struct InputSource
{
    std::vector<std::vector<float>> signal; // per channel
    size_t position = 0;
    bool reportSilence = false;
    int calls = 0;

    static OSStatus Callback(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*,
                             UInt32, UInt32 frames, AudioBufferList* data)
    {
        auto& self = *static_cast<InputSource*>(refCon);
        ++self.calls;
        for (UInt32 b = 0; b < data->mNumberBuffers; ++b)
        {
            auto* out = static_cast<float*>(data->mBuffers[b].mData);
            const auto& channel = self.signal[std::min<size_t>(b, self.signal.size() - 1)];
            for (UInt32 i = 0; i < frames; ++i)
            {
                const size_t at = self.position + i;
                out[i] = at < channel.size() ? channel[at] : 0.0f;
            }
        }
        self.position += frames;
        if (self.reportSilence)
            *flags |= kAudioUnitRenderAction_OutputIsSilence;
        return noErr;
    }
};

class Unit
{
public:
    explicit Unit(Component component) { status = OpenAComponent(component, &unit); }
    ~Unit()
    {
        if (unit != nullptr)
            CloseComponent(unit);
    }
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    OSStatus setFormats(UInt32 inputChannels, UInt32 outputChannels, Float64 rate = 44100.0)
    {
        AudioStreamBasicDescription in = CanonicalFormat(inputChannels, rate);
        AudioStreamBasicDescription out = CanonicalFormat(outputChannels, rate);
        OSStatus result = AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat,
                                               kAudioUnitScope_Input, 0, &in, sizeof in);
        if (result != noErr)
            return result;
        return AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                    0, &out, sizeof out);
    }

    OSStatus connect(InputSource& source)
    {
        AURenderCallbackStruct callback{&InputSource::Callback, &source};
        return AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback,
                                    kAudioUnitScope_Input, 0, &callback, sizeof callback);
    }

    OSStatus initialize() { return AudioUnitInitialize(unit); }

    OSStatus render(Audio& out, UInt32 frames, AudioUnitRenderActionFlags flags = 0)
    {
        AudioTimeStamp time{};
        time.mSampleTime = sampleTime;
        time.mFlags = kAudioTimeStampSampleTimeValid;
        sampleTime += frames;
        return AudioUnitRender(unit, &flags, &time, 0, frames, out.list());
    }

    template <typename T>
    OSStatus get(AudioUnitPropertyID id, T& value, AudioUnitScope scope = kAudioUnitScope_Global)
    {
        UInt32 size = sizeof value;
        return AudioUnitGetProperty(unit, id, scope, 0, &value, &size);
    }

    template <typename T>
    OSStatus set(AudioUnitPropertyID id, const T& value,
                 AudioUnitScope scope = kAudioUnitScope_Global)
    {
        return AudioUnitSetProperty(unit, id, scope, 0, &value, sizeof value);
    }

    float parameter(AudioUnitParameterID id)
    {
        AudioUnitParameterValue value = -1.0f;
        EXPECT_EQ(noErr, AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &value));
        return value;
    }

    OSStatus setParameter(AudioUnitParameterID id, float value)
    {
        return AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value, 0);
    }

    AudioUnit unit = nullptr;
    OSStatus status = noErr;
    Float64 sampleTime = 0.0;
};

// The text of a CF string (UTF-8), or "<null>".
inline std::string Text(CFStringRef string)
{
    if (string == nullptr)
        return "<null>";
    char buffer[512] = {};
    CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
    return buffer;
}

// Parameter display text as the host reads it, for a value or the current one.
inline std::string DisplayText(AudioUnit unit, AudioUnitParameterID id, const float* value)
{
    AudioUnitParameterStringFromValue request{id, value, nullptr};
    UInt32 size = sizeof request;
    const OSStatus result = AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterStringFromValue,
                                                 kAudioUnitScope_Global, 0, &request, &size);
    if (result != noErr)
        return "<error " + std::to_string(result) + ">";
    std::string text = Text(request.outString);
    if (request.outString != nullptr)
        CFRelease(request.outString);
    return text;
}

// The names of the factory presets, in order.
inline std::vector<std::string> PresetNames(AudioUnit unit)
{
    CFArrayRef presets = nullptr;
    UInt32 size = sizeof presets;
    std::vector<std::string> names;
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0,
                             &presets, &size) != noErr)
        return names;
    for (CFIndex i = 0; i < CFArrayGetCount(presets); ++i)
        names.push_back(
            Text(static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i))->presetName));
    CFRelease(presets);
    return names;
}

// Tells the units opened next which host application they run in.
inline void SetHostIdentity(const char* id, const char* version)
{
    CFStringRef idString = CFStringCreateWithCString(nullptr, id, kCFStringEncodingUTF8);
    CFStringRef versionString = CFStringCreateWithCString(nullptr, version, kCFStringEncodingUTF8);
    FxSetMainBundleInfo(idString, versionString);
    CFRelease(idString);
    CFRelease(versionString);
}

// The host flags an effect derives from the host's identifier and version.
struct HostFlagsCase
{
    const char* id;
    const char* version;
    bool logic6, apple, aulab, spark, dp, dp41;
};

template <typename Effect> void ExpectHostFlags(const HostFlagsCase& c, const Effect* effect)
{
    EXPECT_EQ(c.logic6, effect->isLogic6) << c.id;
    EXPECT_EQ(c.apple, effect->isAppleHost) << c.id;
    EXPECT_EQ(c.aulab, effect->isAULab) << c.id;
    EXPECT_EQ(c.spark, effect->isSparkXL) << c.id;
    EXPECT_EQ(c.dp, effect->isDigitalPerformer) << c.id;
    EXPECT_EQ(c.dp41, effect->isDigitalPerformer41) << c.id;
}

} // namespace adapter_host
