// A small effect built into its own plug-in bundle for the framework tests.
// The test loads it with dlopen and drives it as a host does; the effect
// reports what happened to it through the probe, which it exports next to
// VSTPluginMain.
#pragma once

#include "aeffectx.h"

struct ProbeServiceCall;

struct TestEffectProbe
{
    // Set by the test before VSTPluginMain.
    bool factoryReturnsNull = false;
    bool factoryThrows = false;
    bool withoutHostCallback = false; // construct the effect with a null callback
    bool withEditor = false;
    bool editorAnswers = true;   // what the editor's bool operations return
    VstInt32 canReceiveMidi = 0; // the effect's canDo("receiveVstMidiEvent")
    float vu = 0.0f;
    // getParameterDisplay(index) shows displayValue with formatter index
    // (0 float, 1 int, 2 dB, 3 Hz, 4 ms), displayMaxLen characters at most.
    float displayValue = 0.0f;
    VstInt32 displayMaxLen = 8;

    // Written by the effect.
    int factoryCalls = 0;
    void* object = nullptr; // the effect object, as constructed
    int destructorRuns = 0;
    int editorDeletes = 0;
    int suspends = 0;
    int resumes = 0;
    VstInt32 lastParameterIndex = -1;
    float lastParameterValue = -1.0f;
    VstInt32 lastProgram = -1;
    // The editor's last call and the key record it was given.
    VstInt32 editorCall = -1;
    VstIntPtr editorArgs[2] = {0, 0};
    VstKeyCode lastKey = {0, 0, 0};
    // The effect's last overridden operation reached through opcodes 23..79:
    // the opcode that leads to it and the arguments it received.
    VstInt32 call = -1;
    VstIntPtr callArgs[3] = {0, 0, 0};
};

// A member function of the effect run through vendorSpecific(kProbeService, 0,
// &call, 0), so that the test reaches the host services through the plug-in.
enum ProbeService : VstInt32
{
    kSetParameterAutomated,
    kGetMasterVersion,
    kGetCurrentUniqueId,
    kMasterIdle,
    kIsInputConnected,
    kIsOutputConnected,
    kWantEvents,
    kGetTimeInfo,
    kSendVstEventsToHost,
    kTempoAt,
    kGetNumAutomatableParameters,
    kGetParameterQuantization,
    kIoChanged,
    kNeedIdle,
    kSizeWindow,
    kUpdateSampleRate,
    kUpdateBlockSize,
    kGetInputLatency,
    kGetOutputLatency,
    kGetPreviousPlug,
    kGetNextPlug,
    kWillProcessReplacing,
    kGetCurrentProcessLevel,
    kGetAutomationState,
    kOfflineStart,
    kOfflineRead,
    kOfflineWrite,
    kOfflineGetCurrentPass,
    kOfflineGetCurrentMetaPass,
    kSetOutputSamplerate,
    kGetOutputSpeakerArrangement,
    kGetHostVendorString,
    kGetHostProductString,
    kGetHostVendorVersion,
    kHostVendorSpecific,
    kCanHostDo,
    kGetHostLanguage,
    kOpenWindow,
    kCloseWindow,
    kGetDirectory,
    kUpdateDisplay,
    kBeginEdit,
    kEndEdit,
    kOpenFileSelector,
    kCloseFileSelector,
    kGetChunkFile,
    kGetInputSpeakerArrangement,
    // Members, setters and helpers of the base classes.
    kGetSampleRate,
    kGetBlockSize,
    kSetFlag,               // a = which setter (SetterId), b = state
    kAllocateArrangement,   // ptr = VstSpeakerArrangement**, a = channels
    kDeallocateArrangement, // ptr = VstSpeakerArrangement**
    kCopySpeaker,           // ptr = VstSpeakerProperties* [2] {to, from}
    kMatchArrangement,      // ptr = VstSpeakerArrangement** to, ptr2 = from
    kSetEditorNull,
    kLocateBundle,  // InitMachOLibrary, then the bundle's path into ptr (char[1024]); 1 if set
    kReleaseBundle, // ExitMachOLibrary; 1 while gBundleRef is still set
    kFindResource,  // ptr (char[1024]): a resource name in, its path out
    kHoldBundle,    // another owner (a bitmap, say) retains gBundleRef; 1 if there was one
    kDropBundle,    // that owner releases it
};

enum SetterId : VstInt32
{
    kSetterHasClip,
    kSetterHasVu,
    kSetterCanMono,
    kSetterCanProcessReplacing,
    kSetterProgramsAreChunks,
    kSetterIsSynth,
    kSetterNoTail,
    kSetterWantAsyncOperation,
    kSetterHasExternalBuffer,
    kSetterCanDoubleReplacing,
};

struct ProbeServiceCall
{
    ProbeService service;
    VstIntPtr a = 0;
    VstIntPtr b = 0;
    VstIntPtr c = 0;
    void* ptr = nullptr;
    void* ptr2 = nullptr;
    float opt = 0.0f;
    VstIntPtr result = 0; // bools as 0/1, pointers as integers
};

constexpr VstInt32 kProbeService = fourCharCode('p', 'r', 'o', 'b');
constexpr VstInt32 kTestEffectPrograms = 3;
constexpr VstInt32 kTestEffectParams = 5;

// Exported by the test plug-in.
using TestEffectProbeFunction = TestEffectProbe* (*)();
