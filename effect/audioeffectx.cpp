#include "audioeffectx.h"

#include "aeffeditor.h"

#include <cstdlib>
#include <cstring>

namespace
{

// Editor key records carry the modifiers in a byte; the host sends them as a
// float, truncated toward zero. Values outside the integer range carry none.
unsigned char modifierByte(float opt)
{
    if (!(opt > -2147483648.0f && opt < 2147483648.0f))
        return 0;
    return static_cast<unsigned char>(static_cast<VstInt32>(opt));
}

VstKeyCode keyCode(VstInt32 index, VstIntPtr value, float opt)
{
    VstKeyCode key{};
    key.character = index;
    key.virt = static_cast<unsigned char>(value);
    key.modifier = modifierByte(opt);
    return key;
}

} // namespace

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt)
{
    switch (opcode)
    {
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return string2parameter(index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetNumProgramCategories:
        return getNumCategories();
    case effGetProgramNameIndexed:
        return getProgramNameIndexed(static_cast<VstInt32>(value), index, static_cast<char*>(ptr))
                   ? 1
                   : 0;
    case effCopyProgram:
        return copyProgram(index) ? 1 : 0;
    case effConnectInput:
        inputConnected(index, value != 0);
        return 1;
    case effConnectOutput:
        outputConnected(index, value != 0);
        return 1;
    case effGetInputProperties:
        return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return reportCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify:
        return offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value),
                             index != 0);
    case effOfflinePrepare:
        return offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value));
    case effOfflineRun:
        return offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value));
    case effProcessVarIo:
        return processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                     static_cast<VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(static_cast<VstInt32>(value), opt);
        return 1;
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetErrorText:
        return getErrorText(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString:
        return getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString:
        return getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return canDo(static_cast<char*>(ptr));
    case effGetTailSize:
        return getGetTailSize();
    case effIdle:
        return fxIdle();
    case effGetIcon:
        return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition:
        return setViewPosition(index, static_cast<VstInt32>(value)) ? 1 : 0;
    case effGetParameterProperties:
        return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
    case effKeysRequired:
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp:
    {
        if (!editor)
            return 0;
        VstKeyCode key = keyCode(index, value, opt);
        const bool handled =
            opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
        return handled ? 1 : 0;
    }
    case effSetEditKnobMode:
        return editor && editor->setKnobMode(static_cast<VstInt32>(value)) ? 1 : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
        return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
    case effBeginSetProgram:
        return beginSetProgram() ? 1 : 0;
    case effEndSetProgram:
        return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement:
        return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                     static_cast<VstSpeakerArrangement**>(ptr))
                   ? 1
                   : 0;
    case effShellGetNextPlugin:
        return getNextShellPlugin(static_cast<char*>(ptr));
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(static_cast<VstInt32>(value));
    case effSetPanLaw:
        return setPanLaw(static_cast<VstInt32>(value), opt) ? 1 : 0;
    case effBeginLoadBank:
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    case effSetProcessPrecision:
        return setProcessPrecision(static_cast<VstInt32>(value)) ? 1 : 0;
    case effGetNumMidiInputChannels:
        return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels:
        return getNumMidiOutputChannels();
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume()
{
    char receiveMidi[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effFlagsIsSynth) || canDo(receiveMidi) == 1)
        wantEvents(1);
}

VstInt32 AudioEffectX::getPlugCategory()
{
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** input,
                                         VstSpeakerArrangement** output)
{
    if (input)
        *input = nullptr;
    if (output)
        *output = nullptr;
    return false;
}

// Host services. callHost answers 0 without a host callback, which gives each
// service its fallback.

bool AudioEffectX::beginEdit(VstInt32 index)
{
    return callHost(audioMasterBeginEdit, index) != 0;
}
bool AudioEffectX::endEdit(VstInt32 index)
{
    return callHost(audioMasterEndEdit, index) != 0;
}
bool AudioEffectX::ioChanged()
{
    return callHost(audioMasterIOChanged) != 0;
}

float AudioEffectX::updateSampleRate()
{
    const VstIntPtr rate = callHost(audioMasterGetSampleRate);
    if (rate > 0)
        sampleRate = static_cast<float>(rate);
    return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize()
{
    const VstIntPtr size = callHost(audioMasterGetBlockSize);
    if (size > 0)
        blockSize = static_cast<VstInt32>(size);
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency()
{
    return static_cast<VstInt32>(callHost(audioMasterGetInputLatency));
}

VstInt32 AudioEffectX::getOutputLatency()
{
    return static_cast<VstInt32>(callHost(audioMasterGetOutputLatency));
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter)
{
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

VstInt32 AudioEffectX::getCurrentProcessLevel()
{
    return static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel));
}

VstInt32 AudioEffectX::getAutomationState()
{
    return static_cast<VstInt32>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::getHostVendorString(char* text)
{
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text)
{
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

VstInt32 AudioEffectX::getHostVendorVersion()
{
    return static_cast<VstInt32>(callHost(audioMasterGetVendorVersion));
}

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return callHost(audioMasterVendorSpecific, index, value, ptr, opt);
}

VstInt32 AudioEffectX::canHostDo(char* text)
{
    return callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}

VstInt32 AudioEffectX::getHostLanguage()
{
    return static_cast<VstInt32>(callHost(audioMasterGetLanguage));
}

void* AudioEffectX::getDirectory()
{
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool AudioEffectX::updateDisplay()
{
    return callHost(audioMasterUpdateDisplay) != 0;
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height)
{
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::openFileSelector(VstFileSelect* select)
{
    return select && callHost(audioMasterOpenFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* select)
{
    return select && callHost(audioMasterCloseFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource)
{
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstInt32 option)
{
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineStart(VstAudioFile* files, VstInt32 numAudioFiles,
                                VstInt32 numNewAudioFiles)
{
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, files) != 0;
}

VstInt32 AudioEffectX::offlineGetCurrentPass()
{
    return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}

VstInt32 AudioEffectX::offlineGetCurrentMetaPass()
{
    return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

void AudioEffectX::wantEvents(VstInt32 filter)
{
    callHost(audioMasterWantMidi, 0, filter);
}

VstInt32 AudioEffectX::tempoAt(VstInt32 position)
{
    return static_cast<VstInt32>(callHost(audioMasterTempoAt, 0, position));
}

VstInt32 AudioEffectX::getNumAutomatableParameters()
{
    return static_cast<VstInt32>(callHost(audioMasterGetNumAutomatableParameters));
}

VstInt32 AudioEffectX::getParameterQuantization()
{
    return static_cast<VstInt32>(callHost(audioMasterGetParameterQuantization));
}

bool AudioEffectX::needIdle()
{
    return callHost(audioMasterNeedIdle) != 0;
}

AEffect* AudioEffectX::getPreviousPlug(VstInt32 /*input*/)
{
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* AudioEffectX::getNextPlug(VstInt32 /*output*/)
{
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

VstInt32 AudioEffectX::willProcessReplacing()
{
    return static_cast<VstInt32>(callHost(audioMasterWillReplaceOrAccumulate));
}

void AudioEffectX::setOutputSamplerate(float rate)
{
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement()
{
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement()
{
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetOutputSpeakerArrangement));
}

void* AudioEffectX::openWindow(VstWindow* window)
{
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(VstWindow* window)
{
    return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

bool AudioEffectX::getChunkFile(void* nativePath)
{
    return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events)
{
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

// Speaker arrangements.

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 channels)
{
    if (!arrangement)
        return false;
    deallocateArrangement(arrangement);
    if (channels < 0)
        return false;
    const size_t size = offsetof(VstSpeakerArrangement, speakers) +
                        sizeof(VstSpeakerProperties) * static_cast<size_t>(channels);
    auto* block = static_cast<VstSpeakerArrangement*>(std::calloc(1, size));
    if (!block)
        return false;
    block->numChannels = channels;
    *arrangement = block;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement)
{
    if (arrangement && *arrangement)
    {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from)
{
    if (!to || !from)
        return false;
    if (to == from)
        return true;
    std::strncpy(to->name, from->name, 63);
    to->name[63] = 0;
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from)
{
    if (!from)
        return false;
    if (!deallocateArrangement(to) || !allocateArrangement(to, from->numChannels))
        return false;
    (*to)->type = from->type;
    for (VstInt32 i = 0; i < from->numChannels; ++i)
    {
        if (!copySpeaker(vstSpeakerAt(*to, i), vstSpeakerAt(from, i)))
            return false;
    }
    return true;
}
