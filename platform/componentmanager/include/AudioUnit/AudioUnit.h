// The Audio Unit interface as a host sees it: records, scopes, property and
// selector numbers, status codes, and the calls that reach a unit through the
// Component Manager (AudioUnitGetProperty, AudioUnitRender, ...).
//
// Property values that hold pointers (class info, connections, callbacks,
// presets, names, host callbacks) are pointer-wide: their sizes are the sizes
// of the records below, which on a 32-bit build are the classic 4, 8, 12, 16
// and 84 bytes and on x86-64 widen with every pointer.
#pragma once

#include <CoreAudio/CoreAudioTypes.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

typedef ComponentInstance AudioUnit;
typedef ComponentInstance MusicDeviceComponent;
typedef UInt32 AudioUnitPropertyID;
typedef UInt32 AudioUnitScope;
typedef UInt32 AudioUnitElement;
typedef UInt32 AudioUnitParameterID;
typedef Float32 AudioUnitParameterValue;
typedef UInt32 AudioUnitRenderActionFlags;
typedef UInt32 AUParameterEventType;

// Component types.
enum
{
    kAudioUnitType_Effect = 0x61756678,            // 'aufx'
    kAudioUnitType_MusicEffect = 0x61756D66,       // 'aumf'
    kAudioUnitCarbonViewComponentType = 0x61757677 // 'auvw'
};

enum
{
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2,
    kAudioUnitScope_Group = 3,
    kAudioUnitScope_Part = 4,
};

enum
{
    kAudioUnitRenderAction_PreRender = 1u << 2,
    kAudioUnitRenderAction_PostRender = 1u << 3,
    kAudioUnitRenderAction_OutputIsSilence = 1u << 4,
};

static const OSStatus kAudioUnitErr_InvalidProperty = -10879;
static const OSStatus kAudioUnitErr_InvalidParameter = -10878;
static const OSStatus kAudioUnitErr_InvalidElement = -10877;
static const OSStatus kAudioUnitErr_NoConnection = -10876;
static const OSStatus kAudioUnitErr_TooManyFramesToProcess = -10874;
static const OSStatus kAudioUnitErr_FormatNotSupported = -10868;
static const OSStatus kAudioUnitErr_Uninitialized = -10867;
static const OSStatus kAudioUnitErr_InvalidScope = -10866;
static const OSStatus kAudioUnitErr_PropertyNotWritable = -10865;
static const OSStatus kAudioUnitErr_InvalidPropertyValue = -10851;
static const OSStatus kAudioUnitErr_Initialized = -10849;

// Selectors.
enum
{
    kAudioUnitInitializeSelect = 1,
    kAudioUnitUninitializeSelect = 2,
    kAudioUnitGetPropertyInfoSelect = 3,
    kAudioUnitGetPropertySelect = 4,
    kAudioUnitSetPropertySelect = 5,
    kAudioUnitGetParameterSelect = 6,
    kAudioUnitSetParameterSelect = 7,
    kAudioUnitResetSelect = 9,
    kAudioUnitAddPropertyListenerSelect = 10,
    kAudioUnitRemovePropertyListenerSelect = 11,
    kAudioUnitRenderSelect = 14,
    kAudioUnitAddRenderNotifySelect = 15,
    kAudioUnitRemoveRenderNotifySelect = 16,
    kAudioUnitScheduleParametersSelect = 17,
    kMusicDeviceMIDIEventSelect = 0x0101,
    kMusicDeviceSysExSelect = 0x0102,
};

// Properties.
enum
{
    kAudioUnitProperty_ClassInfo = 0,
    kAudioUnitProperty_MakeConnection = 1,
    kAudioUnitProperty_SampleRate = 2,
    kAudioUnitProperty_ParameterList = 3,
    kAudioUnitProperty_ParameterInfo = 4,
    kAudioUnitProperty_FastDispatch = 5,
    kAudioUnitProperty_CPULoad = 6,
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_ElementCount = 11,
    kAudioUnitProperty_Latency = 12,
    kAudioUnitProperty_SupportedNumChannels = 13,
    kAudioUnitProperty_MaximumFramesPerSlice = 14,
    kAudioUnitProperty_SetExternalBuffer = 15,
    kAudioUnitProperty_ParameterValueStrings = 16,
    kAudioUnitProperty_GetUIComponentList = 18,
    kAudioUnitProperty_AudioChannelLayout = 19,
    kAudioUnitProperty_TailTime = 20,
    kAudioUnitProperty_BypassEffect = 21,
    kAudioUnitProperty_LastRenderError = 22,
    kAudioUnitProperty_SetRenderCallback = 23,
    kAudioUnitProperty_FactoryPresets = 24,
    kAudioUnitProperty_ContextName = 25,
    kAudioUnitProperty_RenderQuality = 26,
    kAudioUnitProperty_HostCallbacks = 27,
    kAudioUnitProperty_CurrentPreset = 28,
    kAudioUnitProperty_InPlaceProcessing = 29,
    kAudioUnitProperty_ElementName = 30,
    kAudioUnitProperty_SupportedChannelLayoutTags = 32,
    kAudioUnitProperty_ParameterStringFromValue = 33,
    kAudioUnitProperty_PresentPreset = 36,
    kAudioUnitProperty_IconLocation = 39,
    kMusicDeviceProperty_InstrumentCount = 1000,
    kMusicDeviceProperty_MIDIXMLNames = 1006,
};

// Scheduled parameter events.
enum
{
    kParameterEvent_Immediate = 1,
    kParameterEvent_Ramped = 2,
};

struct AudioUnitParameterEvent
{
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterID parameter;
    AUParameterEventType eventType;
    union
    {
        struct
        {
            SInt32 startBufferOffset;
            UInt32 durationInFrames;
            AudioUnitParameterValue startValue;
            AudioUnitParameterValue endValue;
        } ramp;
        struct
        {
            UInt32 bufferOffset;
            AudioUnitParameterValue value;
        } immediate;
    } eventValues;
};
typedef struct AudioUnitParameterEvent AudioUnitParameterEvent;

// Parameter descriptions.
typedef UInt32 AudioUnitParameterUnit;
enum
{
    kAudioUnitParameterUnit_Generic = 0,
    kAudioUnitParameterUnit_Indexed = 1,
    kAudioUnitParameterUnit_MIDIController = 7,
};

enum
{
    kAudioUnitParameterFlag_ValuesHaveStrings = 0x00200000u,
    kAudioUnitParameterFlag_HasCFNameString = 0x08000000u,
    kAudioUnitParameterFlag_IsGlobalMeta = 0x10000000u,
    kAudioUnitParameterFlag_IsReadable = 0x40000000u,
    kAudioUnitParameterFlag_IsWritable = 0x80000000u,
};

struct AudioUnitParameterInfo
{
    char name[52];
    CFStringRef unitName;
    UInt32 clumpID;
    CFStringRef cfNameString;
    AudioUnitParameterUnit unit;
    AudioUnitParameterValue minValue;
    AudioUnitParameterValue maxValue;
    AudioUnitParameterValue defaultValue;
    UInt32 flags;
};
typedef struct AudioUnitParameterInfo AudioUnitParameterInfo;

struct AudioUnitParameterStringFromValue
{
    AudioUnitParameterID inParamID;
    const AudioUnitParameterValue* inValue;
    CFStringRef outString;
};
typedef struct AudioUnitParameterStringFromValue AudioUnitParameterStringFromValue;

// Connections, callbacks and buffers.
struct AudioUnitConnection
{
    AudioUnit sourceAudioUnit;
    UInt32 sourceOutputNumber;
    UInt32 destInputNumber;
};
typedef struct AudioUnitConnection AudioUnitConnection;

typedef OSStatus (*AURenderCallback)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                     const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                     UInt32 inNumberFrames, AudioBufferList* ioData);

struct AURenderCallbackStruct
{
    AURenderCallback inputProc;
    void* inputProcRefCon;
};
typedef struct AURenderCallbackStruct AURenderCallbackStruct;

struct AudioUnitExternalBuffer
{
    Byte* buffer;
    UInt32 size;
};
typedef struct AudioUnitExternalBuffer AudioUnitExternalBuffer;

struct AUChannelInfo
{
    SInt16 inChannels;
    SInt16 outChannels;
};
typedef struct AUChannelInfo AUChannelInfo;

struct AUPreset
{
    SInt32 presetNumber;
    CFStringRef presetName;
};
typedef struct AUPreset AUPreset;

// Host callbacks.
typedef OSStatus (*HostCallback_GetBeatAndTempo)(void* inHostUserData, Float64* outCurrentBeat,
                                                 Float64* outCurrentTempo);
typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void* inHostUserData,
                                                        UInt32* outDeltaSampleOffsetToNextBeat,
                                                        Float32* outTimeSigNumerator,
                                                        UInt32* outTimeSigDenominator,
                                                        Float64* outCurrentMeasureDownBeat);
typedef OSStatus (*HostCallback_GetTransportState)(void* inHostUserData, Boolean* outIsPlaying,
                                                   Boolean* outTransportStateChanged,
                                                   Float64* outCurrentSampleInTimeLine,
                                                   Boolean* outIsCycling,
                                                   Float64* outCycleStartBeat,
                                                   Float64* outCycleEndBeat);

struct HostCallbackInfo
{
    void* hostUserData;
    HostCallback_GetBeatAndTempo beatAndTempoProc;
    HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
    HostCallback_GetTransportState transportStateProc;
};
typedef struct HostCallbackInfo HostCallbackInfo;

typedef void (*AudioUnitPropertyListenerProc)(void* inRefCon, AudioUnit inUnit,
                                              AudioUnitPropertyID inID, AudioUnitScope inScope,
                                              AudioUnitElement inElement);

// Fast dispatch: entry functions a unit hands out through
// kAudioUnitProperty_FastDispatch (element = the selector). They take the
// unit's instance storage instead of the instance.
typedef OSStatus (*AudioUnitGetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue* outValue);
typedef OSStatus (*AudioUnitSetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement,
                                              AudioUnitParameterValue inValue,
                                              UInt32 inBufferOffsetInFrames);
typedef OSStatus (*AudioUnitRenderProc)(void* inComponentStorage,
                                        AudioUnitRenderActionFlags* ioActionFlags,
                                        const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                                        UInt32 inNumberFrames, AudioBufferList* ioData);

#ifdef __cplusplus
static_assert(sizeof(AudioUnitParameterEvent) == 32, "scheduled event is 32 bytes");
static_assert(sizeof(AUChannelInfo) == 4, "channel info is 4 bytes");
static_assert(sizeof(ComponentDescription) == 20, "component description is 20 bytes");
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(AudioUnitParameterInfo) == 84, "parameter info");
static_assert(sizeof(AudioUnitConnection) == 12, "connection");
static_assert(sizeof(AURenderCallbackStruct) == 8, "render callback");
static_assert(sizeof(AudioUnitExternalBuffer) == 8, "external buffer");
static_assert(sizeof(AUPreset) == 8, "preset");
static_assert(sizeof(HostCallbackInfo) == 16, "host callbacks");
static_assert(sizeof(AudioUnitParameterStringFromValue) == 12, "string from value");
#endif
#endif

#ifdef __cplusplus
extern "C"
{
#endif

    OSStatus AudioUnitInitialize(AudioUnit unit);
    OSStatus AudioUnitUninitialize(AudioUnit unit);
    OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID inID,
                                      AudioUnitScope inScope, AudioUnitElement inElement,
                                      UInt32* outDataSize, Boolean* outWritable);
    OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                  AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
    // Data null and size 0 removes the property's value.
    OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                  AudioUnitElement inElement, const void* inData,
                                  UInt32 inDataSize);
    OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID inID,
                                   AudioUnitScope inScope, AudioUnitElement inElement,
                                   AudioUnitParameterValue* outValue);
    OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID inID,
                                   AudioUnitScope inScope, AudioUnitElement inElement,
                                   AudioUnitParameterValue inValue, UInt32 inBufferOffsetInFrames);
    OSStatus AudioUnitScheduleParameters(AudioUnit unit, const AudioUnitParameterEvent* inEvents,
                                         UInt32 inNumEvents);
    OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                             const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                             UInt32 inNumberFrames, AudioBufferList* ioData);
    OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope inScope, AudioUnitElement inElement);
    OSStatus AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID inID,
                                          AudioUnitPropertyListenerProc inProc, void* inRefCon);
    OSStatus AudioUnitRemovePropertyListener(AudioUnit unit, AudioUnitPropertyID inID,
                                             AudioUnitPropertyListenerProc inProc);
    OSStatus AudioUnitAddRenderNotify(AudioUnit unit, AURenderCallback inProc, void* inRefCon);
    OSStatus AudioUnitRemoveRenderNotify(AudioUnit unit, AURenderCallback inProc, void* inRefCon);

    OSStatus MusicDeviceMIDIEvent(MusicDeviceComponent unit, UInt32 inStatus, UInt32 inData1,
                                  UInt32 inData2, UInt32 inOffsetSampleFrame);
    OSStatus MusicDeviceSysEx(MusicDeviceComponent unit, const UInt8* inData, UInt32 inLength);

#ifdef __cplusplus
}
#endif
