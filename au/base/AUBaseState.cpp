// The saved state: the class-info dictionary a host stores and gives back.
//
// A restore is checked as a whole before anything in it is applied, so a
// refused dictionary leaves the unit exactly as it was.
#include "AUBase.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{

constexpr size_t kDataHeaderSize = 12; // scope, element, parameter count
constexpr CFIndex kNumScopesSaved = 3; // global, input, output

void SetNumber(CFMutableDictionaryRef dictionary, CFStringRef key, SInt32 value)
{
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
    CFDictionarySetValue(dictionary, key, number);
    CFRelease(number);
}

void AppendBigEndian32(CFMutableDataRef data, UInt32 value)
{
    const UInt8 bytes[4] = {static_cast<UInt8>(value >> 24), static_cast<UInt8>(value >> 16),
                            static_cast<UInt8>(value >> 8), static_cast<UInt8>(value)};
    CFDataAppendBytes(data, bytes, 4);
}

UInt32 ReadBigEndian32(const UInt8* bytes)
{
    return (UInt32{bytes[0]} << 24) | (UInt32{bytes[1]} << 16) | (UInt32{bytes[2]} << 8) |
           UInt32{bytes[3]};
}

bool IsType(CFTypeRef value, CFTypeID type)
{
    return value != nullptr && CFGetTypeID(value) == type;
}

// A value that must be a number when present.
bool OptionalNumber(CFDictionaryRef dictionary, CFStringRef key)
{
    CFTypeRef value = CFDictionaryGetValue(dictionary, key);
    return value == nullptr || IsType(value, CFNumberGetTypeID());
}

// A required number, compared as a 32-bit code.
bool NumberEquals(CFDictionaryRef dictionary, CFStringRef key, UInt32 expected)
{
    CFTypeRef value = CFDictionaryGetValue(dictionary, key);
    if (!IsType(value, CFNumberGetTypeID()))
        return false;
    SInt64 number = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number);
    // Codes may be stored as signed 32-bit numbers.
    return number >= INT32_MIN && number <= UINT32_MAX && static_cast<UInt32>(number) == expected;
}

CFStringRef CreateDecimalKey(long number)
{
    char text[32];
    std::snprintf(text, sizeof text, "%ld", number);
    return CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII);
}

} // namespace

OSStatus AUBase::SaveState(CFPropertyListRef* outData)
{
    ComponentDescription desc{};
    const OSStatus result =
        GetComponentInfo(reinterpret_cast<Component>(GetComponentInstance()), &desc);
    if (result != noErr)
        return result;

    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    SetNumber(dictionary, kVersionString, 0);
    SetNumber(dictionary, kTypeString, static_cast<SInt32>(desc.componentType));
    SetNumber(dictionary, kSubtypeString, static_cast<SInt32>(desc.componentSubType));
    SetNumber(dictionary, kManufacturerString, static_cast<SInt32>(desc.componentManufacturer));

    CFMutableDataRef data = CFDataCreateMutable(nullptr, 0);
    for (AudioUnitScope scope = 0; scope < kNumScopesSaved; ++scope)
    {
        const AUScope& theScope = mScopes[scope];
        for (UInt32 i = 0; i < theScope.GetNumberOfElements(); ++i)
        {
            const AUElement* element = theScope.GetElement(i);
            if (element->GetNumberOfParameters() == 0)
                continue;
            AppendBigEndian32(data, scope);
            AppendBigEndian32(data, i);
            element->SaveState(data);
        }
    }
    CFDictionarySetValue(dictionary, kDataString, data);
    CFRelease(data);

    if (mCurrentPreset.presetName != nullptr)
        CFDictionarySetValue(dictionary, kNameString, mCurrentPreset.presetName);

    UInt32 size = 0;
    Boolean writable = false;
    if (DispatchGetPropertyInfo(kAudioUnitProperty_RenderQuality, kAudioUnitScope_Global, 0, size,
                                writable) == noErr &&
        size == sizeof(UInt32))
    {
        UInt32 quality = 0;
        if (DispatchGetProperty(kAudioUnitProperty_RenderQuality, kAudioUnitScope_Global, 0,
                                &quality) == noErr)
            SetNumber(dictionary, kRenderQualityString, static_cast<SInt32>(quality));
    }
    if (DispatchGetPropertyInfo(kAudioUnitProperty_CPULoad, kAudioUnitScope_Global, 0, size,
                                writable) == noErr &&
        size == sizeof(Float32))
    {
        Float32 load = 0.0f;
        if (DispatchGetProperty(kAudioUnitProperty_CPULoad, kAudioUnitScope_Global, 0, &load) ==
            noErr)
        {
            CFNumberRef number = CFNumberCreate(nullptr, kCFNumberFloat32Type, &load);
            CFDictionarySetValue(dictionary, kCPULoadString, number);
            CFRelease(number);
        }
    }

    bool anyNames = false;
    for (AudioUnitScope scope = 0; scope < NumberOfScopes(); ++scope)
        anyNames = anyNames || mScopes[scope].HasElementWithName();
    if (anyNames)
    {
        CFMutableDictionaryRef names = CFDictionaryCreateMutable(
            nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        for (AudioUnitScope scope = 0; scope < NumberOfScopes(); ++scope)
            mScopes[scope].AddElementNamesToDict(names);
        CFDictionarySetValue(dictionary, kElementNameString, names);
        CFRelease(names);
    }

    *outData = dictionary;
    return noErr;
}

// Checks everything a restore would apply. Answers the status the restore
// gives, without changing the unit.
OSStatus AUBase::CheckRestoredState(CFDictionaryRef dictionary, const ComponentDescription& desc)
{
    if (CFDictionaryGetValue(dictionary, kPartString) != nullptr)
        return kAudioUnitErr_InvalidPropertyValue;
    if (!NumberEquals(dictionary, kVersionString, 0) ||
        !NumberEquals(dictionary, kSubtypeString, desc.componentSubType) ||
        !NumberEquals(dictionary, kManufacturerString, desc.componentManufacturer))
        return kAudioUnitErr_InvalidPropertyValue;

    CFTypeRef name = CFDictionaryGetValue(dictionary, kNameString);
    if (name != nullptr && !IsType(name, CFStringGetTypeID()))
        return kAudioUnitErr_InvalidPropertyValue;
    if (!OptionalNumber(dictionary, kRenderQualityString) ||
        !OptionalNumber(dictionary, kCPULoadString))
        return kAudioUnitErr_InvalidPropertyValue;

    CFTypeRef names = CFDictionaryGetValue(dictionary, kElementNameString);
    if (names != nullptr)
    {
        if (!IsType(names, CFDictionaryGetTypeID()))
            return kAudioUnitErr_InvalidPropertyValue;
        for (AudioUnitScope scope = 0; scope < NumberOfScopes(); ++scope)
        {
            CFStringRef key = CreateDecimalKey(scope);
            CFTypeRef inner = CFDictionaryGetValue(static_cast<CFDictionaryRef>(names), key);
            CFRelease(key);
            // The global scope has exactly one element.
            const UInt32 limit =
                scope == kAudioUnitScope_Global ? 1 : AUScope::kMaxRestoredElements;
            if (inner != nullptr && !AUScope::CheckElementNames(inner, limit))
                return kAudioUnitErr_InvalidPropertyValue;
        }
    }

    CFTypeRef data = CFDictionaryGetValue(dictionary, kDataString);
    if (data == nullptr)
        return noErr;
    if (!IsType(data, CFDataGetTypeID()))
        return kAudioUnitErr_InvalidPropertyValue;

    // Walk the data as the restore will, checking scopes and parameter IDs.
    const UInt8* bytes = CFDataGetBytePtr(static_cast<CFDataRef>(data));
    size_t remaining = static_cast<size_t>(CFDataGetLength(static_cast<CFDataRef>(data)));
    while (remaining >= kDataHeaderSize)
    {
        const UInt32 scope = ReadBigEndian32(bytes);
        const UInt32 elementNumber = ReadBigEndian32(bytes + 4);
        if (scope >= NumberOfScopes())
            return kAudioUnitErr_InvalidScope;
        const AUElement* element = mScopes[scope].GetElement(elementNumber);
        if (element == nullptr)
            break;
        const UInt32 count = ReadBigEndian32(bytes + 8);
        const size_t pairs = std::min<size_t>(count, (remaining - kDataHeaderSize) / 8);
        for (size_t i = 0; i < pairs; ++i)
            if (!element->AcceptsParameterID(ReadBigEndian32(bytes + kDataHeaderSize + 8 * i)))
                return kAudioUnitErr_InvalidParameter;
        if (pairs < count)
            break;
        bytes += kDataHeaderSize + 8 * pairs;
        remaining -= kDataHeaderSize + 8 * pairs;
    }
    return noErr;
}

OSStatus AUBase::RestoreState(CFPropertyListRef plist)
{
    if (!IsType(plist, CFDictionaryGetTypeID()))
        return kAudioUnitErr_InvalidPropertyValue;
    const auto dictionary = static_cast<CFDictionaryRef>(plist);

    ComponentDescription desc{};
    OSStatus result = GetComponentInfo(reinterpret_cast<Component>(GetComponentInstance()), &desc);
    if (result != noErr)
        return result;
    result = CheckRestoredState(dictionary, desc);
    if (result != noErr)
        return result;

    if (auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dictionary, kDataString)))
    {
        const UInt8* bytes = CFDataGetBytePtr(data);
        size_t remaining = static_cast<size_t>(CFDataGetLength(data));
        while (remaining >= kDataHeaderSize)
        {
            const UInt32 scope = ReadBigEndian32(bytes);
            AUElement* element = mScopes[scope].GetElement(ReadBigEndian32(bytes + 4));
            if (element == nullptr)
                break;
            const size_t used = element->RestoreState(bytes + 8, remaining - 8);
            bytes += 8 + used;
            remaining -= 8 + used;
        }
    }

    auto name = static_cast<CFStringRef>(CFDictionaryGetValue(dictionary, kNameString));
    if (name == nullptr)
        name = kUntitledString;
    CFRetain(name);
    if (mCurrentPreset.presetName != nullptr)
        CFRelease(mCurrentPreset.presetName);
    mCurrentPreset.presetNumber = -1;
    mCurrentPreset.presetName = name;
    PropertyChanged(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0);
    PropertyChanged(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0);

    if (auto quality =
            static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, kRenderQualityString)))
    {
        SInt32 value = 0;
        CFNumberGetValue(quality, kCFNumberSInt32Type, &value);
        DispatchSetProperty(kAudioUnitProperty_RenderQuality, kAudioUnitScope_Global, 0, &value,
                            sizeof value);
    }
    if (auto load = static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, kCPULoadString)))
    {
        Float32 value = 0.0f;
        CFNumberGetValue(load, kCFNumberFloat32Type, &value);
        DispatchSetProperty(kAudioUnitProperty_CPULoad, kAudioUnitScope_Global, 0, &value,
                            sizeof value);
    }

    if (auto names =
            static_cast<CFDictionaryRef>(CFDictionaryGetValue(dictionary, kElementNameString)))
    {
        for (AudioUnitScope scope = 0; scope < NumberOfScopes(); ++scope)
        {
            CFStringRef key = CreateDecimalKey(scope);
            auto inner = static_cast<CFDictionaryRef>(CFDictionaryGetValue(names, key));
            CFRelease(key);
            if (inner != nullptr && mScopes[scope].RestoreElementNames(inner))
                PropertyChanged(kAudioUnitProperty_ElementCount, scope, 0);
        }
    }
    return noErr;
}
