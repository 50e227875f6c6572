// Saved state and presets: the base layer's class-info dictionary plus the
// effect's chunk or a complete dump of its programs, and the current
// program; the programs offered as factory presets.
#include "audioeffectx.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

// Each program's record in the complete dump: its name in 28 bytes (the last
// always 0), then its parameter values as big-endian 32-bit floats.
constexpr CFIndex kDumpNameSize = 28;

CFStringRef ChunkKey()
{
    return FX_AU_ADAPTER_LEGACY ? CFSTR("apVSTData") : CFSTR("mChunkData");
}

CFStringRef CurrentProgramKey()
{
    return FX_AU_ADAPTER_LEGACY ? CFSTR("apVSTcurPreset") : CFSTR("mCurPreset");
}

CFStringRef CompleteDataKey()
{
    return CFSTR("mCompleteData");
}

void AppendBigEndianFloat(CFMutableDataRef data, float value)
{
    UInt32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const UInt8 bytes[4] = {static_cast<UInt8>(bits >> 24), static_cast<UInt8>(bits >> 16),
                            static_cast<UInt8>(bits >> 8), static_cast<UInt8>(bits)};
    CFDataAppendBytes(data, bytes, 4);
}

float ReadBigEndianFloat(const UInt8* bytes)
{
    const UInt32 bits = (UInt32{bytes[0]} << 24) | (UInt32{bytes[1]} << 16) |
                        (UInt32{bytes[2]} << 8) | UInt32{bytes[3]};
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The value under key when it has the type, else null.
CFTypeRef ValueOfType(CFDictionaryRef dictionary, CFStringRef key, CFTypeID type)
{
    CFTypeRef value = CFDictionaryGetValue(dictionary, key);
    return value != nullptr && CFGetTypeID(value) == type ? value : nullptr;
}

} // namespace

OSStatus AudioEffectX::SaveState(CFPropertyListRef* outData)
{
    // The base's "data" carries the effect's current values.
    for (VstInt32 i = 0; i < numParams; ++i)
        Globals()->SetParameter(static_cast<AudioUnitParameterID>(i), getParameter(i));
    const OSStatus result = AUBase::SaveState(outData);
    if (result != noErr)
        return result;
    auto dictionary = static_cast<CFMutableDictionaryRef>(const_cast<void*>(*outData));
    addAdapterState(dictionary);
    return noErr;
}

void AudioEffectX::addAdapterState(CFMutableDictionaryRef dictionary)
{
    void* chunk = nullptr;
    const VstInt32 chunkSize = getChunk(&chunk, false);
    if (chunkSize > 0 && chunk != nullptr)
    {
        CFDataRef data = CFDataCreate(nullptr, static_cast<const UInt8*>(chunk),
                                      static_cast<CFIndex>(chunkSize));
        CFDictionarySetValue(dictionary, ChunkKey(), data);
        CFRelease(data);
    }
    else if (!FX_AU_ADAPTER_LEGACY)
    {
        CFMutableDataRef data = CFDataCreateMutable(nullptr, 0);
        const VstInt32 remembered = curProgram;
        for (VstInt32 p = 0; p < numPrograms; ++p)
        {
            setProgram(p);
            // The effect may write a name of up to 255 characters; the dump
            // keeps the first 27.
            char name[257] = {};
            getProgramName(name);
            name[kDumpNameSize - 1] = '\0';
            std::memset(name + std::strlen(name), 0, sizeof name - std::strlen(name));
            CFDataAppendBytes(data, reinterpret_cast<const UInt8*>(name), kDumpNameSize);
            for (VstInt32 j = 0; j < numParams; ++j)
                AppendBigEndianFloat(data, getParameter(j));
        }
        setProgram(remembered);
        CFDictionarySetValue(dictionary, CompleteDataKey(), data);
        CFRelease(data);
    }

    const SInt32 current = curProgram;
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &current);
    CFDictionarySetValue(dictionary, CurrentProgramKey(), number);
    CFRelease(number);
}

OSStatus AudioEffectX::RestoreState(CFPropertyListRef data)
{
    if (data == nullptr || CFGetTypeID(data) != CFDictionaryGetTypeID())
        return kAudioUnitErr_InvalidPropertyValue;
    // The base checks the whole dictionary (version, unit, parameters) before
    // it applies anything; the effect's own keys follow only when it passed,
    // so a refused state leaves the effect as it was.
    const OSStatus result = AUBase::RestoreState(data);
    if (result != noErr)
        return result;
    applyAdapterState(static_cast<CFDictionaryRef>(data));
    return noErr;
}

void AudioEffectX::applyAdapterState(CFDictionaryRef dictionary)
{
    if (CFTypeRef chunk = ValueOfType(dictionary, ChunkKey(), CFDataGetTypeID()))
    {
        const auto chunkData = static_cast<CFDataRef>(chunk);
        const CFIndex length = CFDataGetLength(chunkData);
        // The effect takes a writable chunk; it gets a copy of the bytes.
        std::vector<UInt8> bytes(CFDataGetBytePtr(chunkData), CFDataGetBytePtr(chunkData) + length);
        setChunk(bytes.data(), static_cast<VstInt32>(length), false);
    }

    if (!FX_AU_ADAPTER_LEGACY)
    {
        if (CFTypeRef dump = ValueOfType(dictionary, CompleteDataKey(), CFDataGetTypeID()))
        {
            const auto dumpData = static_cast<CFDataRef>(dump);
            const CFIndex recordSize = static_cast<CFIndex>(numParams) * 4 + kDumpNameSize;
            if (CFDataGetLength(dumpData) == recordSize * numPrograms)
            {
                const UInt8* record = CFDataGetBytePtr(dumpData);
                for (VstInt32 p = 0; p < numPrograms; ++p, record += recordSize)
                {
                    setProgram(p);
                    char name[kDumpNameSize];
                    std::memcpy(name, record, kDumpNameSize);
                    name[kDumpNameSize - 1] = '\0';
                    setProgramName(name);
                    for (VstInt32 j = 0; j < numParams; ++j)
                    {
                        // A value that is not a number keeps the program's own.
                        const float value = ReadBigEndianFloat(record + kDumpNameSize + 4 * j);
                        if (std::isfinite(value))
                            setParameter(j, value);
                    }
                }
            }
            else
            {
                std::fputs("Fatal error, preset Size wrong!\n", stderr);
            }
        }
    }

    if (CFTypeRef number = ValueOfType(dictionary, CurrentProgramKey(), CFNumberGetTypeID()))
    {
        SInt32 program = 0;
        if (CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberSInt32Type, &program))
            setProgram(program);
    }

    if (FX_AU_ADAPTER_LEGACY)
    {
        // The older build has no dump: the values come back from the base's
        // "data", restored into the parameter store above.
        for (VstInt32 i = 0; i < numParams; ++i)
            setParameter(i, Globals()->GetParameter(static_cast<AudioUnitParameterID>(i)));
    }
}

OSStatus AudioEffectX::GetPresets(CFArrayRef* outData) const
{
    if (numPrograms == 0)
        return kAudioUnitErr_InvalidProperty;
    if (outData == nullptr)
        return noErr;
    const void* entries[kMaxPrograms];
    for (VstInt32 i = 0; i < publishedPresets; ++i)
        entries[i] = &presets[i];
    // The entries stay the adapter's: the array does not retain them.
    *outData = CFArrayCreate(nullptr, entries, publishedPresets, nullptr);
    return noErr;
}

OSStatus AudioEffectX::NewFactoryPresetSet(const AUPreset& preset)
{
    for (VstInt32 i = 0; i < publishedPresets; ++i)
    {
        if (presets[i].presetNumber != preset.presetNumber)
            continue;
        setProgram(i);
        curProgram = i;
        SetAFactoryPresetAsCurrent(presets[i]);
        return noErr;
    }
    return kAudioUnitErr_InvalidPropertyValue;
}
