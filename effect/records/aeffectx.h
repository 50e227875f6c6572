// The extended records and opcodes of the VST 2 plug-in interface: the second
// half of the effect opcodes, the host-callback opcodes, and the records that
// effects and hosts build or read (editor rectangle, key code, speakers, MIDI
// events, time information). Records that only travel between host and effect
// as pointers are declared opaque.
#pragma once

#include "aeffect.h"

// Effect opcodes 25..79, continuing AEffectOpcodes.
enum AEffectXOpcodes : VstInt32
{
    effProcessEvents = effSetChunk + 1, // 25
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram, // 30
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory, // 35
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun, // 40
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName, // 45
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific, // 50
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition, // 55
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp, // 60
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged, // 65
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin, // 70
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank, // 75
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels, // 79
    effNumXOpcodes
};
static_assert(effGetNumMidiOutputChannels == 79);

// Host-callback opcodes from 6 on, continuing AudioMasterOpcodes.
enum AudioMasterXOpcodes : VstInt32
{
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterTempoAt = 10,
    audioMasterGetNumAutomatableParameters = 11,
    audioMasterGetParameterQuantization = 12,
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,
    audioMasterGetNextPlug = 21,
    audioMasterWillReplaceOrAccumulate = 22,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,
    audioMasterGetOutputSpeakerArrangement = 31,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,
    audioMasterCloseWindow = 40,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
    audioMasterGetChunkFile = 48,
    audioMasterGetInputSpeakerArrangement = 49,
};

enum VstPlugCategory : VstInt32
{
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

// Editor rectangle in pixels.
struct ERect
{
    VstInt16 top;
    VstInt16 left;
    VstInt16 bottom;
    VstInt16 right;
};

// A key press forwarded to the editor.
struct VstKeyCode
{
    VstInt32 character;
    unsigned char virt;     // virtual-key code
    unsigned char modifier; // modifier bit set
};

struct VstSpeakerProperties
{
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    VstInt32 type;
    char future[28];
};

// One block of 8 + 112 x numChannels bytes: the speakers array really holds
// numChannels records, so reach them through vstSpeakerAt() rather than by
// subscripting the declared array.
struct VstSpeakerArrangement
{
    VstInt32 type;
    VstInt32 numChannels;
    VstSpeakerProperties speakers[8];
};

inline VstSpeakerProperties* vstSpeakerAt(VstSpeakerArrangement* arrangement, VstInt32 i)
{
    return reinterpret_cast<VstSpeakerProperties*>(reinterpret_cast<char*>(arrangement) +
                                                   offsetof(VstSpeakerArrangement, speakers)) +
           i;
}
inline const VstSpeakerProperties* vstSpeakerAt(const VstSpeakerArrangement* arrangement,
                                                VstInt32 i)
{
    return reinterpret_cast<const VstSpeakerProperties*>(
               reinterpret_cast<const char*>(arrangement) +
               offsetof(VstSpeakerArrangement, speakers)) +
           i;
}

enum VstEventTypes : VstInt32
{
    kVstMidiType = 1,
};

// The common head of every event record.
struct VstEvent
{
    VstInt32 type;
    VstInt32 byteSize;    // bytes after byteSize
    VstInt32 deltaFrames; // position inside the block
    VstInt32 flags;
    char data[16];
};

struct VstMidiEvent
{
    VstInt32 type;     // kVstMidiType
    VstInt32 byteSize; // 24
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 noteLength;
    VstInt32 noteOffset;
    char midiData[4]; // status, data 1, data 2, 0
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

// An event list. A list with more than two events is one block with room for
// numEvents pointers: read it through vstEventAt().
struct VstEvents
{
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

inline VstEvent* vstEventAt(const VstEvents* list, VstInt32 i)
{
    VstEvent* const* first = &list->events[0];
    return first[i];
}

enum VstTimeInfoFlags : VstInt32
{
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
};

struct VstTimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos; // musical position in quarter notes
    double tempo;  // beats per minute
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags; // VstTimeInfoFlags
};

// Records that only pass between host and effect as pointers.
struct VstFileSelect;
struct VstPinProperties;
struct VstParameterProperties;
struct VstPatchChunkInfo;
struct VstOfflineTask;
struct VstAudioFile;
struct VstVariableIo;
struct VstWindow;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;

static_assert(sizeof(ERect) == 8);
static_assert(offsetof(VstKeyCode, virt) == 4 && offsetof(VstKeyCode, modifier) == 5);
static_assert(sizeof(VstKeyCode) == 8);
static_assert(offsetof(VstSpeakerProperties, name) == 16);
static_assert(offsetof(VstSpeakerProperties, type) == 80);
static_assert(sizeof(VstSpeakerProperties) == 112);
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);
static_assert(sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(sizeof(VstEvent) == 32);
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64);
static_assert(offsetof(VstTimeInfo, flags) == 84);
