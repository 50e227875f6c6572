#include "au_plugin.h"

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

namespace fxhost
{

namespace
{

namespace fs = std::filesystem;

constexpr UInt8 kControlChange = 0xB0; // on MIDI channel 1

// Releases a CF object at the end of a scope.
template <typename T> class Owned
{
public:
    explicit Owned(T object = nullptr) : object_(object) {}
    ~Owned()
    {
        if (object_ != nullptr)
            CFRelease(object_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T get() const { return object_; }
    T* out() { return &object_; }

private:
    T object_;
};

std::string errorText(CFErrorRef error)
{
    if (error == nullptr)
        return "unknown error";
    Owned<CFStringRef> description(CFErrorCopyDescription(error));
    const std::string text = cfText(description.get());
    return text.empty() ? "error " + std::to_string(CFErrorGetCode(error)) : text;
}

std::string statusText(OSStatus status)
{
    return "status " + std::to_string(status);
}

// The bundle folder PATH stands for: the folder itself, or for a library
// inside a bundle (Name.component/Contents/x86_64-linux/Name.so) the folder
// three levels up.
fs::path bundleFolder(const std::string& path)
{
    fs::path p(path);
    if (p.has_filename() == false)
        p = p.parent_path();
    if (p.extension() == ".so")
        return p.parent_path().parent_path().parent_path();
    return p;
}

bool listsComponents(const fs::path& bundle)
{
    const fs::path info = bundle / "Contents" / "Info.plist";
    std::error_code ignored;
    if (!fs::is_regular_file(info, ignored))
        return false;
    Owned<CFDictionaryRef> dictionary(
        FxPropertyListReadDictionaryFile(info.string().c_str(), nullptr));
    if (dictionary.get() == nullptr)
        return false;
    CFTypeRef list = CFDictionaryGetValue(dictionary.get(), CFSTR("Components"));
    return list != nullptr && CFGetTypeID(list) == CFArrayGetTypeID();
}

// Whether a side of a channel configuration admits count channels: a
// number is exact, -1 and -2 admit any count, -N admits up to N.
bool admits(SInt16 side, int count)
{
    if (side >= 0)
        return side == count;
    if (side == -1 || side == -2)
        return true;
    return count <= -side;
}

bool admits(const AUChannelInfo& configuration, int inputs, int outputs)
{
    if (configuration.inChannels == -1 && configuration.outChannels == -1)
        return inputs == outputs;
    return admits(configuration.inChannels, inputs) && admits(configuration.outChannels, outputs);
}

AudioStreamBasicDescription floatFormat(double sampleRate, int channels)
{
    AudioStreamBasicDescription format{};
    format.mSampleRate = sampleRate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    format.mBytesPerPacket = sizeof(float);
    format.mFramesPerPacket = 1;
    format.mBytesPerFrame = sizeof(float);
    format.mChannelsPerFrame = static_cast<UInt32>(channels);
    format.mBitsPerChannel = 32;
    return format;
}

template <typename T> OSStatus getGlobal(AudioUnit unit, AudioUnitPropertyID id, T& value)
{
    UInt32 size = sizeof value;
    return AudioUnitGetProperty(unit, id, kAudioUnitScope_Global, 0, &value, &size);
}

} // namespace

bool isComponentBundle(const std::string& path)
{
    const fs::path bundle = bundleFolder(path);
    std::error_code ignored;
    if (bundle.extension() == ".component" && fs::is_directory(bundle, ignored))
        return true;
    return listsComponents(bundle);
}

void declareHostIdentity()
{
    static bool declared = false;
    if (declared)
        return;
    declared = true;
    FxSetMainBundleInfo(CFSTR("com.quorlin.audio.fxhost"), CFSTR("1.0"));
}

std::string fourCharText(OSType code)
{
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const auto c = static_cast<unsigned char>((code >> shift) & 0xff);
        if (c >= 0x20 && c < 0x7f && c != '\'')
        {
            text += static_cast<char>(c);
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
        text += escaped;
    }
    return text + "'";
}

std::string cfText(CFStringRef string)
{
    if (string == nullptr)
        return "";
    char buffer[1024] = {};
    if (!CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8))
        return "";
    return buffer;
}

std::unique_ptr<AuPlugin> AuPlugin::load(const std::string& path, std::string& error)
{
    declareHostIdentity();
    std::error_code failed;
    if (!fs::exists(path, failed))
    {
        error = "'" + path + "' does not exist";
        return nullptr;
    }
    const fs::path bundle = bundleFolder(path);
    const fs::path canonical = fs::canonical(bundle, failed);
    const std::string bundlePath = failed ? bundle.string() : canonical.string();

    const SInt32 before = CountComponents(nullptr);
    SInt32 registered = 0;
    const OSStatus status = FxRegisterComponentsFromBundle(bundlePath.c_str(), &registered);
    if (status == invalidComponentID)
    {
        error = "'" + bundlePath +
                "' lists no usable components in Contents/Info.plist (type, subtype, "
                "manufacturer, entry and name each)";
        return nullptr;
    }
    if (status != noErr)
    {
        error = "cannot load the component bundle '" + bundlePath +
                "': its Info.plist or its library under Contents/x86_64-linux cannot be read "
                "(" +
                statusText(status) + ")";
        return nullptr;
    }

    // This call's components are the last ones registered.
    std::vector<Component> all;
    for (Component c = FindNextComponent(nullptr, nullptr); c != nullptr;
         c = FindNextComponent(c, nullptr))
        all.push_back(c);
    const size_t first = all.size() >= static_cast<size_t>(registered)
                             ? all.size() - static_cast<size_t>(registered)
                             : static_cast<size_t>(std::max(before, 0));
    Component effect = nullptr;
    ComponentDescription description{};
    for (size_t i = first; i < all.size() && effect == nullptr; ++i)
    {
        GetComponentInfo(all[i], &description);
        if (description.componentType == kAudioUnitType_Effect ||
            description.componentType == kAudioUnitType_MusicEffect)
            effect = all[i];
    }
    if (effect == nullptr)
    {
        error = "'" + bundlePath + "' lists no effect component ('aufx' or 'aumf')";
        return nullptr;
    }

    std::unique_ptr<AuPlugin> plugin(new AuPlugin());
    plugin->bundlePath_ = bundlePath;
    plugin->description_ = description;
    plugin->version_ = FxGetComponentVersionNumber(effect);
    if (const char* name = FxGetComponentName(effect))
        plugin->name_ = name;
    const OSStatus opened = OpenAComponent(effect, &plugin->unit_);
    if (opened != noErr || plugin->unit_ == nullptr)
    {
        plugin->unit_ = nullptr;
        error = "the effect component of '" + bundlePath + "' could not be opened (" +
                statusText(opened) + ")";
        return nullptr;
    }
    return plugin;
}

AuPlugin::~AuPlugin()
{
    if (unit_ == nullptr)
        return;
    if (initialized_)
        AudioUnitUninitialize(unit_);
    CloseComponent(unit_);
}

std::vector<AUChannelInfo> AuPlugin::channelConfigurations()
{
    UInt32 size = 0;
    Boolean writable = false;
    if (AudioUnitGetPropertyInfo(unit_, kAudioUnitProperty_SupportedNumChannels,
                                 kAudioUnitScope_Global, 0, &size, &writable) != noErr ||
        size < sizeof(AUChannelInfo))
        return {};
    std::vector<AUChannelInfo> configurations(size / sizeof(AUChannelInfo));
    size = static_cast<UInt32>(configurations.size() * sizeof(AUChannelInfo));
    if (AudioUnitGetProperty(unit_, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global,
                             0, configurations.data(), &size) != noErr)
        return {};
    configurations.resize(size / sizeof(AUChannelInfo));
    return configurations;
}

bool AuPlugin::configure(double sampleRate, UInt32 maxFrames, int sourceChannels,
                         std::string& error)
{
    const int source = std::clamp(sourceChannels, 1, 2);
    const std::pair<int, int> wishes[] = {{source, 2}, {2, 2}, {1, 2}, {source, source},
                                          {1, 1},      {2, 1}, {0, 2}, {0, 1}};
    const std::vector<AUChannelInfo> configurations = channelConfigurations();
    bool found = false;
    for (const auto& wish : wishes)
    {
        const int in = wish.first, out = wish.second;
        const bool allowed =
            configurations.empty()
                ? in == out
                : std::any_of(configurations.begin(), configurations.end(),
                              [&](const AUChannelInfo& c) { return admits(c, in, out); });
        if (!allowed)
            continue;
        inputs_ = in;
        outputs_ = out;
        found = true;
        break;
    }
    if (!found)
    {
        error = "'" + bundlePath_ + "' offers no mono or stereo channel configuration";
        return false;
    }

    const AudioStreamBasicDescription output = floatFormat(sampleRate, outputs_);
    OSStatus status = AudioUnitSetProperty(unit_, kAudioUnitProperty_StreamFormat,
                                           kAudioUnitScope_Output, 0, &output, sizeof output);
    if (status == noErr && inputs_ > 0)
    {
        const AudioStreamBasicDescription input = floatFormat(sampleRate, inputs_);
        status = AudioUnitSetProperty(unit_, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input,
                                      0, &input, sizeof input);
    }
    if (status != noErr)
    {
        error = "the effect refused " + std::to_string(inputs_) + " in, " +
                std::to_string(outputs_) + " out at " + std::to_string(sampleRate) + " Hz (" +
                statusText(status) + ")";
        return false;
    }
    status = AudioUnitSetProperty(unit_, kAudioUnitProperty_MaximumFramesPerSlice,
                                  kAudioUnitScope_Global, 0, &maxFrames, sizeof maxFrames);
    if (status != noErr)
    {
        error = "the effect refused slices of " + std::to_string(maxFrames) + " frames (" +
                statusText(status) + ")";
        return false;
    }
    if (inputs_ > 0)
    {
        const AURenderCallbackStruct callback{&AuPlugin::pullInput, this};
        status = AudioUnitSetProperty(unit_, kAudioUnitProperty_SetRenderCallback,
                                      kAudioUnitScope_Input, 0, &callback, sizeof callback);
        if (status != noErr)
        {
            error = "the effect refused its input callback (" + statusText(status) + ")";
            return false;
        }
    }
    return true;
}

bool AuPlugin::initialize(std::string& error)
{
    const OSStatus status = AudioUnitInitialize(unit_);
    if (status != noErr)
    {
        error = "the effect could not be initialised (" + statusText(status) + ")";
        return false;
    }
    initialized_ = true;
    return true;
}

std::vector<AuParameter> AuPlugin::parameters()
{
    UInt32 size = 0;
    Boolean writable = false;
    std::vector<AuParameter> result;
    if (AudioUnitGetPropertyInfo(unit_, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                 &size, &writable) != noErr ||
        size == 0)
        return result;
    std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
    if (AudioUnitGetProperty(unit_, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                             ids.data(), &size) != noErr)
        return result;
    ids.resize(size / sizeof(AudioUnitParameterID));

    for (const AudioUnitParameterID id : ids)
    {
        AuParameter parameter;
        parameter.id = id;
        UInt32 infoSize = sizeof parameter.info;
        if (AudioUnitGetProperty(unit_, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global,
                                 id, &parameter.info, &infoSize) != noErr)
            continue;
        // The unit keeps the names it hands out in the record.
        parameter.name =
            (parameter.info.flags & kAudioUnitParameterFlag_HasCFNameString) != 0
                ? cfText(parameter.info.cfNameString)
                : std::string(parameter.info.name,
                              strnlen(parameter.info.name, sizeof parameter.info.name));
        if (parameter.info.unit == kAudioUnitParameterUnit_Indexed)
        {
            CFArrayRef strings = nullptr;
            UInt32 stringsSize = sizeof strings;
            if (AudioUnitGetProperty(unit_, kAudioUnitProperty_ParameterValueStrings,
                                     kAudioUnitScope_Global, id, &strings, &stringsSize) == noErr &&
                strings != nullptr)
            {
                for (CFIndex i = 0; i < CFArrayGetCount(strings); ++i)
                    parameter.valueStrings.push_back(
                        cfText(static_cast<CFStringRef>(CFArrayGetValueAtIndex(strings, i))));
                CFRelease(strings);
            }
        }
        result.push_back(std::move(parameter));
    }
    return result;
}

bool AuPlugin::setParameter(AudioUnitParameterID id, float value, std::string& error)
{
    const OSStatus status = AudioUnitSetParameter(unit_, id, kAudioUnitScope_Global, 0, value, 0);
    if (status != noErr)
    {
        error = "the effect refused parameter " + std::to_string(id) + " = " +
                std::to_string(value) + " (" + statusText(status) + ")";
        return false;
    }
    return true;
}

float AuPlugin::parameterValue(AudioUnitParameterID id)
{
    AudioUnitParameterValue value = 0.0f;
    AudioUnitGetParameter(unit_, id, kAudioUnitScope_Global, 0, &value);
    return value;
}

std::string AuPlugin::displayText(AudioUnitParameterID id)
{
    AudioUnitParameterStringFromValue request{id, nullptr, nullptr};
    UInt32 size = sizeof request;
    if (AudioUnitGetProperty(unit_, kAudioUnitProperty_ParameterStringFromValue,
                             kAudioUnitScope_Global, 0, &request, &size) != noErr)
        return "";
    Owned<CFStringRef> text(request.outString);
    return cfText(text.get());
}

std::vector<AuPreset> AuPlugin::factoryPresets()
{
    std::vector<AuPreset> result;
    CFArrayRef presets = nullptr;
    if (getGlobal(unit_, kAudioUnitProperty_FactoryPresets, presets) != noErr || presets == nullptr)
        return result;
    Owned<CFArrayRef> owned(presets);
    for (CFIndex i = 0; i < CFArrayGetCount(presets); ++i)
    {
        const auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
        if (preset != nullptr)
            result.push_back({preset->presetNumber, cfText(preset->presetName)});
    }
    return result;
}

bool AuPlugin::selectPreset(SInt32 number, std::string& error)
{
    const AUPreset preset{number, nullptr};
    const OSStatus status = AudioUnitSetProperty(unit_, kAudioUnitProperty_PresentPreset,
                                                 kAudioUnitScope_Global, 0, &preset, sizeof preset);
    if (status != noErr)
    {
        error =
            "the effect refused preset " + std::to_string(number) + " (" + statusText(status) + ")";
        return false;
    }
    return true;
}

double AuPlugin::latency()
{
    Float64 seconds = 0.0;
    return getGlobal(unit_, kAudioUnitProperty_Latency, seconds) == noErr ? seconds : 0.0;
}

double AuPlugin::tailTime()
{
    Float64 seconds = 0.0;
    return getGlobal(unit_, kAudioUnitProperty_TailTime, seconds) == noErr ? seconds : 0.0;
}

bool AuPlugin::saveState(const std::string& path, std::string& error)
{
    CFPropertyListRef state = nullptr;
    const OSStatus status = getGlobal(unit_, kAudioUnitProperty_ClassInfo, state);
    if (status != noErr || state == nullptr)
    {
        error = "the effect gave none (" + statusText(status) + ")";
        return false;
    }
    Owned<CFPropertyListRef> owned(state);
    Owned<CFErrorRef> failed;
    if (!FxPropertyListWriteFile(state, path.c_str(), kCFPropertyListXMLFormat_v1_0, failed.out()))
    {
        error = errorText(failed.get());
        return false;
    }
    return true;
}

bool AuPlugin::restoreState(const std::string& path, std::string& error)
{
    Owned<CFErrorRef> failed;
    Owned<CFDictionaryRef> state(FxPropertyListReadDictionaryFile(path.c_str(), failed.out()));
    if (state.get() == nullptr)
    {
        error = "cannot read the saved state '" + path + "': " + errorText(failed.get());
        return false;
    }
    const CFPropertyListRef value = state.get();
    const OSStatus status = AudioUnitSetProperty(unit_, kAudioUnitProperty_ClassInfo,
                                                 kAudioUnitScope_Global, 0, &value, sizeof value);
    if (status != noErr)
    {
        error = "the effect refused the saved state in '" + path + "' (" + statusText(status) +
                ": another effect's, or damaged)";
        return false;
    }
    return true;
}

OSStatus AuPlugin::pullInput(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                             UInt32, UInt32 frames, AudioBufferList* data)
{
    auto& self = *static_cast<AuPlugin*>(refCon);
    if (self.source_ == nullptr || data == nullptr)
        return kAudioUnitErr_NoConnection;
    float* buffers[64] = {};
    const size_t count = std::min<size_t>(data->mNumberBuffers, 64);
    for (size_t i = 0; i < count; ++i)
    {
        buffers[i] = static_cast<float*>(data->mBuffers[i].mData);
        if (buffers[i] == nullptr || data->mBuffers[i].mDataByteSize < frames * sizeof(float))
            return kAudioUnitErr_TooManyFramesToProcess;
    }
    copyInputBlock(*self.source_, self.sourcePosition_, frames, buffers, count);
    return noErr;
}

AuPlugin::Result AuPlugin::render(const Audio& input, size_t frames, UInt32 blockSize,
                                  const std::vector<ControllerChange>& changes, const Sink& sink)
{
    Result result;
    std::vector<std::vector<float>> outputs(static_cast<size_t>(outputs_),
                                            std::vector<float>(blockSize));
    std::vector<float*> pointers;
    for (auto& b : outputs)
        pointers.push_back(b.data());
    std::vector<std::byte> listMemory(FxAudioBufferListSize(outputs.size()));
    auto* list = reinterpret_cast<AudioBufferList*>(listMemory.data());

    std::vector<ControllerChange> pending(changes);
    std::stable_sort(pending.begin(), pending.end(),
                     [](const ControllerChange& a, const ControllerChange& b)
                     { return a.frame < b.frame; });
    size_t next = 0;

    source_ = &input;
    size_t position = 0;
    while (position < frames)
    {
        // Controller changes at this frame go with this slice; the slice
        // ends where the next one is due.
        for (; next < pending.size() && pending[next].frame <= position; ++next)
        {
            const OSStatus sent = MusicDeviceMIDIEvent(
                unit_, kControlChange, pending[next].controller, pending[next].value, 0);
            if (sent != noErr)
            {
                result.status = sent;
                result.midiRefused = true;
                source_ = nullptr;
                return result;
            }
        }
        size_t end = std::min(frames, position + blockSize);
        if (next < pending.size() && pending[next].frame < end)
            end = pending[next].frame;
        const auto n = static_cast<UInt32>(end - position);

        list->mNumberBuffers = static_cast<UInt32>(outputs.size());
        for (size_t c = 0; c < outputs.size(); ++c)
            list->mBuffers[c] = {1, n * static_cast<UInt32>(sizeof(float)), pointers[c]};
        AudioTimeStamp time{};
        time.mSampleTime = static_cast<Float64>(position);
        time.mFlags = kAudioTimeStampSampleTimeValid;
        AudioUnitRenderActionFlags flags = 0;
        sourcePosition_ = position;

        const auto before = std::chrono::steady_clock::now();
        const OSStatus status = AudioUnitRender(unit_, &flags, &time, 0, n, list);
        const auto after = std::chrono::steady_clock::now();
        result.pluginNanoseconds +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(after - before).count();
        if (status != noErr)
        {
            result.status = status;
            source_ = nullptr;
            return result;
        }
        // The unit may answer with buffers of its own.
        float* rendered[64] = {};
        for (size_t c = 0; c < outputs.size() && c < 64; ++c)
        {
            rendered[c] = static_cast<float*>(list->mBuffers[c].mData);
            if ((flags & kAudioUnitRenderAction_OutputIsSilence) != 0)
                std::fill(rendered[c], rendered[c] + n, 0.0f);
        }
        position = end;
        result.frames = position;
        if (sink && !sink(rendered, n, position))
        {
            source_ = nullptr;
            return result;
        }
    }
    source_ = nullptr;
    result.completed = true;
    return result;
}

} // namespace fxhost
