// AUBase: construction, lifecycle, elements, formats, parameters and the
// property table.
#include "AUBase.h"

#include "CAVectorUnit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

SInt32 AUBase::sVectorUnitType = kVecUninitialized;

CFStringRef kUntitledString = nullptr;
CFStringRef kVersionString = nullptr;
CFStringRef kTypeString = nullptr;
CFStringRef kSubtypeString = nullptr;
CFStringRef kManufacturerString = nullptr;
CFStringRef kDataString = nullptr;
CFStringRef kNameString = nullptr;
CFStringRef kRenderQualityString = nullptr;
CFStringRef kCPULoadString = nullptr;
CFStringRef kVSTDataString = nullptr;
CFStringRef kElementNameString = nullptr;
CFStringRef kPartString = nullptr;

namespace
{

bool sAUBaseCFStringsInitialized = false;

void InitialiseProcessGlobals()
{
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       kUntitledString = CFSTR("Untitled");
                       kVersionString = CFSTR("version");
                       kTypeString = CFSTR("type");
                       kSubtypeString = CFSTR("subtype");
                       kManufacturerString = CFSTR("manufacturer");
                       kDataString = CFSTR("data");
                       kNameString = CFSTR("name");
                       kRenderQualityString = CFSTR("render-quality");
                       kCPULoadString = CFSTR("cpu-load");
                       kVSTDataString = CFSTR("vstdata");
                       kElementNameString = CFSTR("element-name");
                       kPartString = CFSTR("part");
                       sAUBaseCFStringsInitialized = true;
                       AUBase::sVectorUnitType = CAVectorUnit::GetVectorUnitType();
                   });
}

[[noreturn]] void Throw(OSStatus status)
{
    throw status;
}

} // namespace

// ---- Construction and lifecycle -------------------------------------------

AUBase::AUBase(ComponentInstance instance, UInt32 numInputElements, UInt32 numOutputElements,
               UInt32 numGroupElements, UInt32 numPartElements, AUBaseRevision revision)
    : ComponentBase(instance), mRevision(revision), mInitNumInputEls(numInputElements),
      mInitNumOutputEls(numOutputElements), mInitNumGroupEls(numGroupElements),
      mInitNumPartEls(revision == AUBaseRevision::Older ? 0 : numPartElements)
{
    InitialiseProcessGlobals();
    mCurrentPreset.presetNumber = -1;
    mCurrentPreset.presetName = kUntitledString;
    CFRetain(mCurrentPreset.presetName);
    if (mAudioUnitAPIVersion > 1)
        mParamList.reserve(24);
    mScopes[kAudioUnitScope_Global].Initialize(this, kAudioUnitScope_Global, 1);
    SetMaxFramesPerSlice(1156);
}

AUBase::~AUBase()
{
    if (mCurrentPreset.presetName != nullptr)
        CFRelease(mCurrentPreset.presetName);
    if (mContextName != nullptr)
        CFRelease(mContextName);
}

void AUBase::CreateElements()
{
    if (mElementsCreated)
        return;
    const UInt32 counts[5] = {1, mInitNumInputEls, mInitNumOutputEls, mInitNumGroupEls,
                              mInitNumPartEls};
    for (AudioUnitScope scope = kAudioUnitScope_Input; scope < NumberOfScopes(); ++scope)
        mScopes[scope].Initialize(this, scope, counts[scope]);
    mElementsCreated = true;
}

OSStatus AUBase::DoInitialize()
{
    if (mInitialized)
        return noErr;
    const OSStatus result = Initialize();
    if (result != noErr)
        return result;
    mInitialized = true;
    try
    {
        ReallocateBuffers();
    }
    catch (...)
    {
        // A unit without its buffers must not look ready to render.
        DoCleanup();
        throw;
    }
    return noErr;
}

void AUBase::DoCleanup()
{
    if (mInitialized)
        Cleanup();
    mInitialized = false;
}

OSStatus AUBase::DoReset(AudioUnitScope scope, AudioUnitElement element)
{
    mLastRenderedSampleTime = -1.0;
    return Reset(scope, element);
}

OSStatus AUBase::Reset(AudioUnitScope, AudioUnitElement)
{
    mLastRenderedSampleTime = -1.0;
    return noErr;
}

AUElement* AUBase::CreateElement(AudioUnitScope scope, AudioUnitElement)
{
    if (scope >= NumberOfScopes())
        Throw(kAudioUnitErr_InvalidScope);
    switch (scope)
    {
    case kAudioUnitScope_Input:
        return new AUInputElement(this);
    case kAudioUnitScope_Output:
        return new AUOutputElement(this);
    default:
        return new AUElement(this);
    }
}

void AUBase::ReallocateBuffers()
{
    CreateElements();
    for (UInt32 i = 0; i < Outputs().GetNumberOfElements(); ++i)
        Outputs().GetIOElement(i)->AllocateBuffer();
    for (UInt32 i = 0; i < Inputs().GetNumberOfElements(); ++i)
        Inputs().GetIOElement(i)->AllocateBuffer();
    mBuffersAllocated = true;
}

void AUBase::SetMaxFramesPerSlice(UInt32 frames)
{
    mMaxFramesPerSlice = frames;
    if (mBuffersAllocated)
        ReallocateBuffers();
    PropertyChanged(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0);
}

OSStatus AUBase::CanSetMaxFrames() const
{
    return mInitialized ? kAudioUnitErr_Initialized : noErr;
}

// ---- Scopes and elements --------------------------------------------------

AUScope& AUBase::GetScope(AudioUnitScope scope)
{
    if (scope >= NumberOfScopes())
        Throw(kAudioUnitErr_InvalidScope);
    return mScopes[scope];
}

AUIOElement* AUBase::GetIOElement(AudioUnitScope scope, AudioUnitElement element)
{
    return GetScope(scope).GetIOElement(element);
}

AUInputElement* AUBase::GetInput(AudioUnitElement element)
{
    auto* input = dynamic_cast<AUInputElement*>(Inputs().SafeGetElement(element));
    if (input == nullptr)
        Throw(kAudioUnitErr_InvalidElement);
    return input;
}

AUOutputElement* AUBase::GetOutput(AudioUnitElement element)
{
    auto* output = dynamic_cast<AUOutputElement*>(Outputs().SafeGetElement(element));
    if (output == nullptr)
        Throw(kAudioUnitErr_InvalidElement);
    return output;
}

bool AUBase::HasInput(AudioUnitElement element)
{
    return Inputs().GetElement(element) != nullptr;
}

void AUBase::SetNumberOfElements(AudioUnitScope scope, UInt32 count)
{
    if (scope == kAudioUnitScope_Global)
    {
        if (count != 1)
            Throw(kAudioUnitErr_InvalidPropertyValue);
        return;
    }
    GetScope(scope).SetNumberOfElements(count);
}

OSStatus AUBase::SetBusCount(AudioUnitScope scope, UInt32 count)
{
    SetNumberOfElements(scope, count);
    return noErr;
}

// ---- Formats --------------------------------------------------------------

const CAStreamBasicDescription& AUBase::GetStreamFormat(AudioUnitScope scope,
                                                        AudioUnitElement element)
{
    switch (scope)
    {
    case kAudioUnitScope_Input:
        return GetInput(element)->GetStreamFormat();
    case kAudioUnitScope_Output:
        return GetOutput(element)->GetStreamFormat();
    case kAudioUnitScope_Global:
        return GetOutput(0)->GetStreamFormat();
    default:
        Throw(kAudioUnitErr_InvalidScope);
    }
}

OSStatus AUBase::ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const CAStreamBasicDescription&,
                                    const CAStreamBasicDescription& format)
{
    AUIOElement* io = nullptr;
    switch (scope)
    {
    case kAudioUnitScope_Input:
        io = GetInput(element);
        break;
    case kAudioUnitScope_Output:
        io = GetOutput(element);
        break;
    case kAudioUnitScope_Global:
        io = GetOutput(0);
        break;
    default:
        Throw(kAudioUnitErr_InvalidScope);
    }
    io->SetStreamFormat(format);
    PropertyChanged(kAudioUnitProperty_StreamFormat, scope, element);
    return noErr;
}

bool AUBase::IsStreamFormatWritable(AudioUnitScope scope, AudioUnitElement element)
{
    switch (scope)
    {
    case kAudioUnitScope_Input:
        if (GetInput(element)->HasConnection())
            return false;
        return StreamFormatWritable(kAudioUnitScope_Input, element);
    case kAudioUnitScope_Output:
        return StreamFormatWritable(kAudioUnitScope_Output, element);
    case kAudioUnitScope_Global:
        return StreamFormatWritable(kAudioUnitScope_Output, 0);
    default:
        return false;
    }
}

bool AUBase::ValidFormat(AudioUnitScope, AudioUnitElement, const CAStreamBasicDescription& format)
{
    return FormatIsCanonical(format);
}

bool AUBase::FormatIsCanonical(const CAStreamBasicDescription& format) const
{
    const bool wantNonInterleaved = mAudioUnitAPIVersion >= 2;
    const bool nonInterleaved = (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) != 0;
    const bool bigEndian = (format.mFormatFlags & kAudioFormatFlagIsBigEndian) != 0;
    const bool nativeBigEndian = kAudioFormatFlagsNativeEndian != 0;
    const UInt32 bytesPerFrame = nonInterleaved ? 4 : 4 * format.mChannelsPerFrame;
    // A stream without channels cannot carry audio.
    return format.mFormatID == kAudioFormatLinearPCM && format.mFramesPerPacket == 1 &&
           format.mBytesPerPacket == format.mBytesPerFrame &&
           (format.mFormatFlags & kAudioFormatFlagIsFloat) != 0 &&
           nonInterleaved == wantNonInterleaved && bigEndian == nativeBigEndian &&
           format.mBitsPerChannel == 32 && format.mChannelsPerFrame != 0 &&
           format.mBytesPerFrame == bytesPerFrame;
}

void AUBase::MakeCanonicalFormat(CAStreamBasicDescription& outFormat, UInt32 channels) const
{
    const bool nonInterleaved = mAudioUnitAPIVersion >= 2;
    outFormat = CAStreamBasicDescription();
    outFormat.mFormatID = kAudioFormatLinearPCM;
    outFormat.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                             kAudioFormatFlagsNativeEndian |
                             (nonInterleaved ? kAudioFormatFlagIsNonInterleaved : 0u);
    outFormat.mBitsPerChannel = 32;
    outFormat.mFramesPerPacket = 1;
    outFormat.mChannelsPerFrame = channels;
    outFormat.mBytesPerFrame = nonInterleaved ? 4 : 4 * channels;
    outFormat.mBytesPerPacket = outFormat.mBytesPerFrame;
}

// ---- Connections and callbacks --------------------------------------------

OSStatus AUBase::SetConnection(const AudioUnitConnection& connection)
{
    AUInputElement* input = GetInput(connection.destInputNumber);
    if (connection.sourceAudioUnit != nullptr)
    {
        CAStreamBasicDescription format;
        UInt32 size = sizeof(AudioStreamBasicDescription);
        OSStatus result =
            AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                                 kAudioUnitScope_Output, connection.sourceOutputNumber,
                                 static_cast<AudioStreamBasicDescription*>(&format), &size);
        if (result != noErr)
            return result;
        result = DispatchSetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input,
                                     connection.destInputNumber,
                                     static_cast<AudioStreamBasicDescription*>(&format),
                                     sizeof(AudioStreamBasicDescription));
        if (result != noErr)
            return result;
    }
    input->SetConnection(connection);
    PropertyChanged(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input,
                    connection.destInputNumber);
    return noErr;
}

OSStatus AUBase::SetInputCallback(UInt32 propertyID, AudioUnitElement element,
                                  AURenderCallback proc, void* refCon)
{
    GetInput(element)->SetInputCallback(proc, refCon);
    PropertyChanged(propertyID, kAudioUnitScope_Input, element);
    return noErr;
}

// ---- Parameters -----------------------------------------------------------

OSStatus AUBase::GetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                              AudioUnitElement element, AudioUnitParameterValue& outValue)
{
    if (scope == kAudioUnitScope_Group)
        return GetGroupParameter(id, element, outValue);
    outValue = SafeGetElement(scope, element)->GetParameter(id);
    return noErr;
}

OSStatus AUBase::SetParameter(AudioUnitParameterID id, AudioUnitScope scope,
                              AudioUnitElement element, AudioUnitParameterValue value,
                              UInt32 bufferOffsetInFrames)
{
    if (scope == kAudioUnitScope_Group)
        return SetGroupParameter(id, element, value, bufferOffsetInFrames);
    SafeGetElement(scope, element)->SetParameter(id, value);
    return noErr;
}

OSStatus AUBase::SetGroupParameter(AudioUnitParameterID, AudioUnitElement, AudioUnitParameterValue,
                                   UInt32)
{
    return kAudioUnitErr_InvalidScope;
}

OSStatus AUBase::GetGroupParameter(AudioUnitParameterID, AudioUnitElement, AudioUnitParameterValue&)
{
    return kAudioUnitErr_InvalidScope;
}

OSStatus AUBase::GetParameterList(AudioUnitScope scope, AudioUnitParameterID* outList,
                                  UInt32& outNumParameters)
{
    AUScope& theScope = GetScope(scope);
    AUElement* largest = nullptr;
    UInt32 most = 0;
    for (UInt32 i = 0; i < theScope.GetNumberOfElements(); ++i)
    {
        AUElement* element = theScope.GetElement(i);
        if (element->GetNumberOfParameters() > most)
        {
            most = element->GetNumberOfParameters();
            largest = element;
        }
    }
    outNumParameters = most;
    if (outList != nullptr && largest != nullptr)
        largest->GetParameterList(outList);
    return noErr;
}

OSStatus AUBase::GetParameterInfo(AudioUnitScope, AudioUnitParameterID, AudioUnitParameterInfo&)
{
    return kAudioUnitErr_InvalidParameter;
}

OSStatus AUBase::GetParameterValueStrings(AudioUnitScope, AudioUnitParameterID, CFArrayRef*)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::GetPresets(CFArrayRef*) const
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::NewFactoryPresetSet(const AUPreset&)
{
    return kAudioUnitErr_InvalidProperty;
}

bool AUBase::SetAFactoryPresetAsCurrent(const AUPreset& preset)
{
    if (preset.presetNumber < 0 || preset.presetName == nullptr)
        return false;
    CFRetain(preset.presetName);
    if (mCurrentPreset.presetName != nullptr)
        CFRelease(mCurrentPreset.presetName);
    mCurrentPreset = preset;
    return true;
}

// ---- Channel layouts ------------------------------------------------------

UInt32 AUBase::GetAudioChannelLayout(AudioUnitScope scope, AudioUnitElement element,
                                     AudioChannelLayout* outLayout, Boolean& outWritable)
{
    return GetIOElement(scope, element)->GetAudioChannelLayout(outLayout, outWritable);
}

OSStatus AUBase::SetAudioChannelLayout(AudioUnitScope scope, AudioUnitElement element,
                                       const AudioChannelLayout* layout)
{
    return GetIOElement(scope, element)->SetAudioChannelLayout(*layout);
}

OSStatus AUBase::RemoveAudioChannelLayout(AudioUnitScope scope, AudioUnitElement element)
{
    return GetIOElement(scope, element)->RemoveAudioChannelLayout();
}

// ---- Listeners and notifications ------------------------------------------

OSStatus AUBase::AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                     void* refCon)
{
    if (mPropertyListeners.capacity() == 0)
        mPropertyListeners.reserve(32);
    mPropertyListeners.push_back({id, proc, refCon});
    return noErr;
}

OSStatus AUBase::RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc)
{
    std::erase_if(mPropertyListeners, [&](const PropertyListener& listener)
                  { return listener.propertyID == id && listener.listenerProc == proc; });
    return noErr;
}

void AUBase::PropertyChanged(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element)
{
    for (size_t i = 0; i < mPropertyListeners.size(); ++i)
    {
        const PropertyListener listener = mPropertyListeners[i];
        if (listener.propertyID == id && listener.listenerProc != nullptr)
            listener.listenerProc(listener.listenerRefCon, GetComponentInstance(), id, scope,
                                  element);
    }
}

OSStatus AUBase::SetRenderNotification(AURenderCallback proc, void* refCon)
{
    if (proc == nullptr)
        return paramErr;
    mRenderCallbacks.Add(proc, refCon);
    return noErr;
}

OSStatus AUBase::RemoveRenderNotification(AURenderCallback proc, void* refCon)
{
    mRenderCallbacks.Remove(proc, refCon);
    return noErr;
}

void AUBase::SetLastRenderError(OSStatus error)
{
    OSStatus expected = noErr;
    if (mLastRenderError.compare_exchange_strong(expected, error))
        PropertyChanged(kAudioUnitProperty_LastRenderError, kAudioUnitScope_Global, 0);
}

// ---- Property defaults ----------------------------------------------------

OSStatus AUBase::GetPropertyInfo(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32&,
                                 Boolean&)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::GetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::SetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void*,
                             UInt32)
{
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::RemovePropertyValue(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
{
    return kAudioUnitErr_InvalidPropertyValue;
}
