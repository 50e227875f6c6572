// AudioEffectX on the Audio Unit base: construction, host detection,
// lifecycle, channel configurations, parameters, the adapter's properties,
// the effect interface's defaults and the string conversions.
#include "audioeffectx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

// The unit's own file selector, bound to its effect and serving one request.
// No file dialog is available to a unit on this platform, so running it
// chooses nothing and leaves the request as the effect filled it.
struct AudioEffectFileSelector
{
    AudioEffectX* effect;
    VstFileSelect* request;

    VstInt32 run(VstFileSelect* select)
    {
        request = select;
        return 0;
    }
};

char AudioEffectX::bundleSTR[256] = {};
char AudioEffectX::versionSTR[256] = {};

namespace
{

constexpr OSType kViewType = 0x61757677;          // 'auvw'
constexpr OSType kFilterViewSubtype = 0x71715446; // 'qqTF'
constexpr OSType kChorusViewSubtype = 0x71764743; // 'qvGC'
constexpr OSType kManufacturer = 0x716F524C;      // 'qoRL'

// Room for any name an effect writes: its program names hold 255 characters.
constexpr size_t kNameBufferSize = 257;
constexpr size_t kDisplayBufferSize = 128;

[[noreturn]] void Throw(OSStatus status)
{
    throw status;
}

bool StartsWith(const char* text, const char* prefix)
{
    return text != nullptr && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool Contains(const char* text, const char* part)
{
    return text != nullptr && std::strstr(text, part) != nullptr;
}

template <typename T> void Write(void* data, const T& value)
{
    std::memcpy(data, &value, sizeof value);
}

template <typename T> T Read(const void* data)
{
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

// An indexed parameter's value as the host sees it: the nearest step.
float ToSteps(float value, VstInt32 steps)
{
    return std::floor(value * static_cast<float>(steps - 1) + 0.5f);
}

} // namespace

// ---- Construction ---------------------------------------------------------

AudioEffectX::AudioEffectX(audioMasterCallback instance, VstInt32 programs, VstInt32 params)
    : AUBase(instance, 1, 1, 0, 0,
             FX_AU_ADAPTER_LEGACY ? AUBaseRevision::Older : AUBaseRevision::Current)
#if FX_AU_ADAPTER_MIDI
      ,
      AUMIDIBase(this)
#endif
      ,
      // The preset table has room for kMaxPrograms; more are not published.
      numPrograms(std::clamp<VstInt32>(programs, 0, kMaxPrograms)),
      numParams(std::max<VstInt32>(params, 0)), publishedPresets(numPrograms)
{
    CreateElements();
    // Throws before anything is allocated when the unit has no output.
    sampleRate = static_cast<float>(outputSampleRate());

    for (int i = 0; i < kMaxPrograms; ++i)
        presets[i] = {i, nullptr};
    resetPresetNames();

    parameterNames = new CFStringRef[static_cast<size_t>(numParams)]();
    for (VstInt32 i = 0; i < numParams; ++i)
        Globals()->SetParameter(static_cast<AudioUnitParameterID>(i), 0.0f);

#if FX_AU_ADAPTER_MIDI
    const size_t listBytes = offsetof(VstEvents, events) + sizeof(VstEvent*) * kMaxMidiEvents;
    eventList = static_cast<VstEvents*>(::operator new(listBytes));
    std::memset(eventList, 0, listBytes);
    std::memset(midiEvents, 0, sizeof midiEvents);
#endif

    detectHost();
    SetMaxFramesPerSlice(4096);
}

AudioEffectX::~AudioEffectX()
{
    if (editor != nullptr)
        editor->effectGone();
    delete fileSelector;
#if FX_AU_ADAPTER_MIDI
    ::operator delete(eventList);
#endif
    for (VstInt32 i = 0; i < numParams; ++i)
        if (parameterNames[i] != nullptr)
            CFRelease(parameterNames[i]);
    delete[] parameterNames;
    for (VstInt32 i = 0; i < numPrograms; ++i)
        CFRelease(presets[i].presetName);
}

OSStatus AudioEffectX::ComponentEntryDispatch(ComponentParameters* params, AudioEffectX* This)
{
    if (This == nullptr)
        return paramErr;
#if FX_AU_ADAPTER_MIDI
    if (params->what == kMusicDeviceMIDIEventSelect || params->what == kMusicDeviceSysExSelect)
        return AUMIDIBase::ComponentEntryDispatch(params, This);
#endif
    return AUBase::ComponentEntryDispatch(params, This);
}

Float64 AudioEffectX::outputSampleRate()
{
    AUElement* element = Outputs().GetElement(0);
    AUIOElement* output = element != nullptr ? element->AsIOElement() : nullptr;
    if (output == nullptr)
        Throw(kAudioUnitErr_InvalidElement);
    return output->GetStreamFormat().mSampleRate;
}

float AudioEffectX::getSampleRate()
{
    sampleRate = static_cast<float>(outputSampleRate());
    return sampleRate;
}

// ---- Host detection -------------------------------------------------------

void AudioEffectX::getHost(const char** id, const char** version)
{
    *id = nullptr;
    *version = nullptr;
    bundleSTR[0] = '\0';
    versionSTR[0] = '\0';
    CFBundleRef host = CFBundleGetMainBundle();
    if (host == nullptr)
        return;
    CFStringRef identifier = CFBundleGetIdentifier(host);
    if (identifier != nullptr &&
        CFStringGetCString(identifier, bundleSTR, sizeof bundleSTR, kCFStringEncodingMacRoman))
        *id = bundleSTR;
    CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(host, CFSTR("CFBundleVersion"));
    if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID() &&
        CFStringGetCString(static_cast<CFStringRef>(value), versionSTR, sizeof versionSTR,
                           kCFStringEncodingMacRoman))
        *version = versionSTR;
}

void AudioEffectX::detectHost()
{
    const char* id = nullptr;
    const char* version = nullptr;
    getHost(&id, &version);
    if (id == nullptr)
        return;

    if (!FX_AU_ADAPTER_LEGACY)
    {
        if (std::strcmp(id, "de.TCWorks.SparkXL") == 0)
        {
            isSparkXL = true;
            return;
        }
        if (std::strcmp(id, "com.ableton.live") == 0)
            return;
    }
    if (std::strcmp(id, "com.motu.DigitalPerformer") == 0 && version != nullptr)
    {
        isDigitalPerformer = true;
        isDigitalPerformer41 = StartsWith(version, "4.1");
        return;
    }
    if (Contains(id, "apple.garageband") || Contains(id, "apple.logic"))
    {
        isAppleHost = true;
        return;
    }
    if (Contains(id, "emagic.Logic"))
    {
        isAppleHost = true;
        isLogic6 = StartsWith(version, "6.");
        return;
    }
    if (!FX_AU_ADAPTER_LEGACY && Contains(id, ".aulab"))
        isAULab = true;
}

// ---- Lifecycle ------------------------------------------------------------

OSStatus AudioEffectX::Initialize()
{
    const UInt32 inputChannels = GetInput(0)->NumberChannels();
    const UInt32 outputChannels = GetOutput(0)->NumberChannels();
    const AUChannelInfo* info = nullptr;
    const UInt32 count = SupportedNumChannels(&info);
    bool offered = false;
    for (UInt32 i = 0; i < count; ++i)
        offered = offered || (static_cast<UInt32>(info[i].inChannels) == inputChannels &&
                              static_cast<UInt32>(info[i].outChannels) == outputChannels);
    if (!offered)
        return kAudioUnitErr_FormatNotSupported;

    publishedPresets = numPrograms;
    refreshPresetNames();
    sampleRate = static_cast<float>(outputSampleRate());
    setBlockSize(kDefaultBlockSize);
    blockSize = kDefaultBlockSize;
    setSampleRate(sampleRate);
    resume();
    return noErr;
}

void AudioEffectX::Cleanup()
{
    // The older build made fresh names at every initialisation and gave them
    // back here.
    if (FX_AU_ADAPTER_LEGACY)
        resetPresetNames();
}

OSStatus AudioEffectX::Reset(AudioUnitScope, AudioUnitElement)
{
    suspend();
    resume();
    return noErr;
}

bool AudioEffectX::StreamFormatWritable(AudioUnitScope, AudioUnitElement)
{
    return !IsInitialized();
}

OSStatus AudioEffectX::ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                          const CAStreamBasicDescription& previous,
                                          const CAStreamBasicDescription& format)
{
    const OSStatus result = AUBase::ChangeStreamFormat(scope, element, previous, format);
    sampleRate = static_cast<float>(outputSampleRate());
    setSampleRate(sampleRate);
    return result;
}

UInt32 AudioEffectX::SupportedNumChannels(const AUChannelInfo** outInfo)
{
    UInt32 count = 0;
    if (numInputs == 1 && numOutputs == 1)
    {
        CI[count++] = {1, 1};
    }
    else if (numInputs == 1 && numOutputs == 2)
    {
        if (monoCapable)
            CI[count++] = {1, 1};
        CI[count++] = {1, 2};
    }
    else if (numInputs == 2 && numOutputs == 2)
    {
        if (monoCapable)
        {
            CI[count++] = {1, 1};
            CI[count++] = {1, 2};
        }
        CI[count++] = {2, 2};
    }
    if (outInfo != nullptr)
        *outInfo = CI;
    return count;
}

Float64 AudioEffectX::GetTailTime()
{
    const Float64 rate = outputSampleRate();
    sampleRate = static_cast<float>(rate);
    if (!(rate > 0.0))
        return 0.0;
    return static_cast<Float64>(getGetTailSize()) / rate;
}

OSStatus AudioEffectX::SetBusCount(AudioUnitScope scope, UInt32 count)
{
    if (IsInitialized())
        return kAudioUnitErr_Initialized;
    return AUBase::SetBusCount(scope, count);
}

void AudioEffectX::GetUIComponentDescs(ComponentDescription* outDescs)
{
    outDescs[0] = {kViewType, FX_AU_ADAPTER_LEGACY ? kChorusViewSubtype : kFilterViewSubtype,
                   kManufacturer, 0, 0};
}

void AudioEffectX::setInitialDelay(VstInt32 delay)
{
    const Float64 rate = outputSampleRate();
    sampleRate = static_cast<float>(rate);
    latency = rate > 0.0 ? static_cast<Float64>(delay) / rate : 0.0;
}

bool AudioEffectX::ioChanged()
{
    PropertyChanged(kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0);
    return true;
}

// ---- Parameters -----------------------------------------------------------

OSStatus AudioEffectX::GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                    AudioUnitElement element, AudioUnitParameterValue& outValue)
{
    if (scope != kAudioUnitScope_Global || id >= static_cast<UInt32>(numParams))
        return AUBase::GetParameter(id, scope, element, outValue);
    const auto index = static_cast<VstInt32>(id);
    outValue = getParameter(index);
    const VstInt32 steps = getIndexNumber(index);
    if (steps > 0)
        outValue = ToSteps(outValue, steps);
    return noErr;
}

OSStatus AudioEffectX::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                                    AudioUnitElement element, AudioUnitParameterValue value,
                                    UInt32 bufferOffsetInFrames)
{
    if (scope != kAudioUnitScope_Global || id >= static_cast<UInt32>(numParams))
        return AUBase::SetParameter(id, scope, element, value, bufferOffsetInFrames);
    const auto index = static_cast<VstInt32>(id);
    const VstInt32 steps = getIndexNumber(index);
    // A single-step parameter has nothing to divide by: 0 stays 0.
    if (steps > 1)
        value /= static_cast<float>(steps - 1);
    setParameter(index, value);
    return noErr;
}

OSStatus AudioEffectX::GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                        AudioUnitParameterInfo& info)
{
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidParameter;
    const auto index = static_cast<VstInt32>(id);
    info = AudioUnitParameterInfo{};
    info.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;
    if (!IsInitialized())
        info.flags |= kAudioUnitParameterFlag_IsGlobalMeta;

    if (id >= static_cast<UInt32>(numParams))
    {
        std::snprintf(info.name, sizeof info.name, "%s", "Generic");
        info.cfNameString = CFSTR("Generic");
        info.flags |= kAudioUnitParameterFlag_HasCFNameString;
        info.unit = kAudioUnitParameterUnit_Generic;
        info.minValue = 0.0f;
        info.maxValue = 1.0f;
        info.defaultValue = getDefaultValue(index);
        return noErr;
    }

    if (parameterNames[index] == nullptr)
    {
        char name[kNameBufferSize] = {};
        getParameterName(index, name);
        name[kNameBufferSize - 1] = '\0';
        parameterNames[index] = CFStringCreateWithCString(nullptr, name, kCFStringEncodingMacRoman);
    }
    if (parameterNames[index] != nullptr)
    {
        info.cfNameString = parameterNames[index];
        info.flags |= kAudioUnitParameterFlag_HasCFNameString;
        // Bounded by the record's own name field.
        if (!CFStringGetCString(parameterNames[index], info.name, sizeof info.name,
                                kCFStringEncodingUTF8))
        {
            // Too long for the record: as much of the name as fits.
            char name[kNameBufferSize] = {};
            getParameterName(index, name);
            std::snprintf(info.name, sizeof info.name, "%s", name);
        }
    }

    const VstInt32 steps = getIndexNumber(index);
    if (steps > 0)
    {
        info.unit = kAudioUnitParameterUnit_Indexed;
        info.minValue = 0.0f;
        info.maxValue = static_cast<float>(steps - 1);
        info.defaultValue = ToSteps(getDefaultValue(index), steps);
    }
    else
    {
        info.unit = isDigitalPerformer41 ? kAudioUnitParameterUnit_MIDIController
                                         : kAudioUnitParameterUnit_Generic;
        info.minValue = 0.0f;
        info.maxValue = 1.0f;
        info.defaultValue = getDefaultValue(index);
    }
    info.flags |= kAudioUnitParameterFlag_ValuesHaveStrings;
    return noErr;
}

// ---- Properties -----------------------------------------------------------

OSStatus AudioEffectX::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                       AudioUnitElement element, UInt32& outDataSize,
                                       Boolean& outWritable)
{
    if (scope == kAudioUnitScope_Global)
    {
        switch (id)
        {
        case kAudioUnitProperty_BypassEffect:
            outDataSize = sizeof(UInt32);
            outWritable = false;
            return noErr;
        case kAudioUnitProperty_InPlaceProcessing:
            outDataSize = sizeof(UInt32);
            outWritable = true;
            return noErr;
        case kAudioUnitProperty_ParameterStringFromValue:
            outDataSize = sizeof(AudioUnitParameterStringFromValue);
            outWritable = false;
            return noErr;
        case kMusicDeviceProperty_InstrumentCount:
            outDataSize = sizeof(UInt32);
            outWritable = false;
            return noErr;
        case kAudioUnitProperty_EffectLink:
            // An address takes a whole pointer on this platform.
            outDataSize = sizeof(AudioEffectX*);
            outWritable = false;
            return noErr;
        default:
            break;
        }
    }
    const OSStatus result = AUBase::GetPropertyInfo(id, scope, element, outDataSize, outWritable);
#if FX_AU_ADAPTER_MIDI
    if (result == kAudioUnitErr_InvalidProperty)
        return DelegateGetPropertyInfo(id, scope, element, outDataSize, outWritable);
#endif
    return result;
}

OSStatus AudioEffectX::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                   AudioUnitElement element, void* outData)
{
    if (scope == kAudioUnitScope_Global)
    {
        switch (id)
        {
        case kAudioUnitProperty_BypassEffect:
            Write<UInt32>(outData, bypass ? 1 : 0);
            return noErr;
        case kAudioUnitProperty_InPlaceProcessing:
            Write<UInt32>(outData, inPlace ? 1 : 0);
            return noErr;
        case kAudioUnitProperty_ParameterStringFromValue:
        {
            auto request = Read<AudioUnitParameterStringFromValue>(outData);
            const OSStatus result = parameterStringFromValue(request);
            if (result == noErr)
                Write(outData, request);
            return result;
        }
        case kMusicDeviceProperty_InstrumentCount:
            Write<UInt32>(outData, 0);
            return noErr;
        case kAudioUnitProperty_EffectLink:
            Write<AudioEffectX*>(outData, this);
            return noErr;
        default:
            break;
        }
    }
    return AUBase::GetProperty(id, scope, element, outData);
}

OSStatus AudioEffectX::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                   AudioUnitElement element, const void* inData, UInt32 inDataSize)
{
    if (scope == kAudioUnitScope_Global)
    {
        switch (id)
        {
        case kAudioUnitProperty_BypassEffect:
            if (inDataSize < sizeof(UInt32))
                return kAudioUnitErr_InvalidPropertyValue;
            bypass = Read<UInt32>(inData) != 0;
            return noErr;
        case kAudioUnitProperty_InPlaceProcessing:
            if (inDataSize < sizeof(UInt32))
                return kAudioUnitErr_InvalidPropertyValue;
            inPlace = Read<UInt32>(inData) != 0;
            return noErr;
        case kAudioUnitProperty_ParameterStringFromValue:
        case kMusicDeviceProperty_InstrumentCount:
        case kAudioUnitProperty_EffectLink:
            return kAudioUnitErr_PropertyNotWritable;
        case kAudioUnitProperty_Latency:
            // Hosts set it; the effect decides its latency itself.
            if (!FX_AU_ADAPTER_LEGACY)
                return noErr;
            break;
        default:
            break;
        }
    }
    return AUBase::SetProperty(id, scope, element, inData, inDataSize);
}

OSStatus AudioEffectX::parameterStringFromValue(AudioUnitParameterStringFromValue& request)
{
    if (request.inParamID >= static_cast<UInt32>(numParams))
        return kAudioUnitErr_InvalidParameter;
    const auto index = static_cast<VstInt32>(request.inParamID);
    const float remembered = getParameter(index);
    if (request.inValue != nullptr)
    {
        float value = *request.inValue;
        const VstInt32 steps = getIndexNumber(index);
        if (steps > 1)
            value /= static_cast<float>(steps - 1);
        setParameter(index, value);
    }

    char display[kDisplayBufferSize] = {};
    char label[kDisplayBufferSize] = {};
    getParameterDisplay(index, display);
    getParameterLabel(index, label);
    display[kDisplayBufferSize - 1] = '\0';
    label[kDisplayBufferSize - 1] = '\0';
    char text[kDisplayBufferSize] = {};
    std::snprintf(text, sizeof text, "%s %s", display, label);

    // A query must not change the effect, whatever value it asked about.
    if (request.inValue != nullptr)
        setParameter(index, remembered);
    request.outString = CFStringCreateWithCString(nullptr, text, kCFStringEncodingMacRoman);
    return noErr;
}

// ---- Presets ----------------------------------------------------------------

void AudioEffectX::refreshPresetNames()
{
    for (VstInt32 i = 0; i < publishedPresets; ++i)
    {
        char name[kNameBufferSize] = "Default";
        getProgramNameIndexed(0, i, name);
        name[kNameBufferSize - 1] = '\0';
        CFStringRef fresh = CFStringCreateWithCString(nullptr, name, kCFStringEncodingMacRoman);
        if (fresh == nullptr)
            continue;
        CFRelease(presets[i].presetName);
        presets[i].presetName = fresh;
    }
}

void AudioEffectX::resetPresetNames()
{
    for (VstInt32 i = 0; i < numPrograms; ++i)
    {
        if (presets[i].presetName != nullptr)
            CFRelease(presets[i].presetName);
        presets[i].presetName = static_cast<CFStringRef>(CFRetain(CFSTR("Default")));
    }
}

bool AudioEffectX::updateDisplay()
{
    if (!IsInitialized())
        return false;
    refreshPresetNames();
    PropertyChanged(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0);
    return true;
}

bool AudioEffectX::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (index < 0 || index >= numPrograms)
        return false;
    const VstInt32 previous = getProgram();
    setProgram(index);
    getProgramName(text);
    setProgram(previous);
    return true;
}

// ---- Gestures, automation and the view ------------------------------------

AudioUnitParameter AudioEffectX::describeParameter(VstInt32 index) const
{
    return {GetComponentInstance(), static_cast<AudioUnitParameterID>(index),
            kAudioUnitScope_Global, 0};
}

bool AudioEffectX::gesture(VstInt32 index, bool begin)
{
    if (index < 0 || index >= numParams || editor == nullptr)
        return false;
    const AudioUnitParameter parameter = describeParameter(index);
    editor->notifyHostGesture(parameter, begin ? 0 : 1);
    gestureEvent.mEventType = begin ? kAudioUnitEvent_BeginParameterChangeGesture
                                    : kAudioUnitEvent_EndParameterChangeGesture;
    gestureEvent.mArgument.mParameter = parameter;
    AUEventListenerNotify(nullptr, nullptr, &gestureEvent);
    return false;
}

bool AudioEffectX::beginEdit(VstInt32 index)
{
    return gesture(index, true);
}

bool AudioEffectX::endEdit(VstInt32 index)
{
    return gesture(index, false);
}

void AudioEffectX::setParameterAutomated(VstInt32 index, float value)
{
    if (index < 0 || index >= numParams || editor == nullptr)
    {
        // Without a view there is no listener to go through; the value still
        // reaches the effect.
        setParameter(index, value);
        return;
    }
    const AudioUnitParameter parameter = describeParameter(index);
    const VstInt32 steps = getIndexNumber(index);
    const float maximum = steps > 0 ? static_cast<float>(steps - 1) : 1.0f;
    AUParameterSet(editor->parameterListener(), this, &parameter, maximum * value, 0);
}

VstInt32 AudioEffectX::canHostDo(char* text)
{
    if (text == nullptr)
        return 0;
    return std::strcmp(text, "openFileSelector") == 0 || std::strcmp(text, "sizeWindow") == 0 ? 1
                                                                                              : 0;
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height)
{
    return editor != nullptr ? editor->sizeWindow(width, height) : false;
}

bool AudioEffectX::openFileSelector(VstFileSelect* select)
{
    // A selector left open by an earlier request is destroyed, not leaked.
    delete fileSelector;
    fileSelector = new AudioEffectFileSelector{this, nullptr};
    fileSelector->run(select);
    return true;
}

bool AudioEffectX::closeFileSelector(VstFileSelect*)
{
    delete fileSelector;
    fileSelector = nullptr;
    return false;
}

// ---- String conversions -----------------------------------------------------

void AudioEffectX::float2string(float value, char* text)
{
    constexpr int kPositions = 8;
    // Compared in double precision: 99999999 has no float of its own.
    const double checked = value;
    if (checked > 99999999.0 || (checked < 0.0 && -checked > 9999999.0))
    {
        std::strcpy(text, "Huge!");
        return;
    }
    // A value that is not a number has no digits to take apart; say what it
    // is rather than show a made-up number.
    if (std::isnan(value))
    {
        std::strcpy(text, "NaN");
        return;
    }

    char* out = text;
    int remaining = kPositions;
    double magnitude = value;
    if (value < 0.0f)
    {
        *out++ = '-';
        --remaining;
        magnitude = -magnitude;
    }

    const double integral = std::floor(magnitude);
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%.0f", integral);
    const int used = std::min(length, remaining);
    std::memcpy(out, digits, static_cast<size_t>(used));
    out += used;
    remaining -= used;
    if (remaining > 0)
    {
        *out++ = '.';
        --remaining;
    }

    // The fraction scaled to the remaining positions, written from its last
    // digit backwards; positions it does not reach read "0".
    auto scaled = static_cast<long long>((magnitude - integral) * std::pow(10.0, remaining));
    for (int i = remaining - 1; i >= 0; --i)
    {
        out[i] = scaled > 0 ? static_cast<char>('0' + scaled % 10) : '0';
        scaled /= 10;
    }
    out[remaining] = '\0';
}

void AudioEffectX::long2string(VstInt32 value, char* text)
{
    // Below -9999999 the text would be cut to a different number.
    if (value >= 100000000 || value < -9999999)
    {
        std::strcpy(text, "Huge!");
        return;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%7d", static_cast<int>(value));
    buffer[8] = '\0';
    std::strcpy(text, buffer);
}

void AudioEffectX::dB2string(float value, char* text)
{
    if (value > 0.0f)
    {
        float2string(20.0f * std::log10(value), text);
        return;
    }
    // Minus infinity: "-" and the Mac Roman infinity sign.
    text[0] = '-';
    text[1] = static_cast<char>(0xB0);
    text[2] = '\0';
}

void AudioEffectX::Hz2string(float samples, char* text)
{
    sampleRate = static_cast<float>(outputSampleRate());
    float2string(samples != 0.0f ? sampleRate / samples : 0.0f, text);
}

void AudioEffectX::ms2string(float samples, char* text)
{
    sampleRate = static_cast<float>(outputSampleRate());
    float2string(sampleRate > 0.0f ? samples * 1000.0f / sampleRate : 0.0f, text);
}
