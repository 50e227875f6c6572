// The class every effect derives from. It adds the effect opcodes 25..79, the
// host services as member functions (each answers 0/false/null without a host
// callback), the capability strings, and the speaker-arrangement helpers.
#pragma once

#include "audioeffect.h"

// What an effect may answer 1 to in canDo().
namespace PlugCanDos
{
inline constexpr const char* canDoBypass = "bypass";
inline constexpr const char* canDoMidiProgramNames = "midiProgramNames";
inline constexpr const char* canDoOffline = "offline";
inline constexpr const char* canDoReceiveVstTimeInfo = "receiveVstTimeInfo";
inline constexpr const char* canDoReceiveVstMidiEvent = "receiveVstMidiEvent";
inline constexpr const char* canDoReceiveVstEvents = "receiveVstEvents";
inline constexpr const char* canDoSendVstMidiEvent = "sendVstMidiEvent";
inline constexpr const char* canDoSendVstEvents = "sendVstEvents";
} // namespace PlugCanDos

// What an effect may ask the host with canHostDo().
namespace HostCanDos
{
inline constexpr const char* canDoSendVstMidiEventFlagIsRealtime = "sendVstMidiEventFlagIsRealtime";
inline constexpr const char* canDoShellCategory = "shellCategory";
inline constexpr const char* canDoStartStopProcess = "startStopProcess";
inline constexpr const char* canDoCloseFileSelector = "closeFileSelector";
inline constexpr const char* canDoOpenFileSelector = "openFileSelector";
inline constexpr const char* canDoOffline = "offline";
inline constexpr const char* canDoSizeWindow = "sizeWindow";
inline constexpr const char* canDoAcceptIOChanges = "acceptIOChanges";
inline constexpr const char* canDoReportConnectionChanges = "reportConnectionChanges";
inline constexpr const char* canDoReceiveVstMidiEvent = "receiveVstMidiEvent";
inline constexpr const char* canDoReceiveVstEvents = "receiveVstEvents";
inline constexpr const char* canDoSendVstTimeInfo = "sendVstTimeInfo";
inline constexpr const char* canDoSendVstMidiEvent = "sendVstMidiEvent";
inline constexpr const char* canDoSendVstEvents = "sendVstEvents";
} // namespace HostCanDos

class AudioEffectX : public AudioEffect
{
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams)
    {
    }
    ~AudioEffectX() override = default;

    // Handles opcodes 25..79 and passes the rest to AudioEffect::dispatcher.
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;
    // Asks the host for MIDI when the effect is a synth or can receive MIDI.
    void resume() override;

    virtual bool canParameterBeAutomated(VstInt32 /*index*/) { return true; }
    virtual bool string2parameter(VstInt32 /*index*/, char* /*text*/) { return false; }
    virtual bool getParameterProperties(VstInt32 /*index*/, VstParameterProperties* /*p*/)
    {
        return false;
    }
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    virtual bool getProgramNameIndexed(VstInt32 /*category*/, VstInt32 /*index*/, char* /*text*/)
    {
        return false;
    }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual VstInt32 beginLoadBank(VstPatchChunkInfo* /*info*/) { return 0; }
    virtual VstInt32 beginLoadProgram(VstPatchChunkInfo* /*info*/) { return 0; }
    virtual bool ioChanged();
    // Ask the host for its rate / block size, store a positive answer, and
    // return the stored value.
    virtual float updateSampleRate();
    virtual VstInt32 updateBlockSize();
    virtual VstInt32 getInputLatency();
    virtual VstInt32 getOutputLatency();
    virtual bool getInputProperties(VstInt32 /*index*/, VstPinProperties* /*properties*/)
    {
        return false;
    }
    virtual bool getOutputProperties(VstInt32 /*index*/, VstPinProperties* /*properties*/)
    {
        return false;
    }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*input*/,
                                       VstSpeakerArrangement* /*output*/)
    {
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input,
                                       VstSpeakerArrangement** output);
    virtual bool setBypass(bool /*onOff*/) { return false; }
    virtual bool setPanLaw(VstInt32 /*type*/, float /*value*/) { return false; }
    virtual bool setProcessPrecision(VstInt32 /*precision*/) { return false; }
    virtual VstInt32 getNumMidiInputChannels() { return 0; }
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }
    virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
    virtual VstInt32 getCurrentProcessLevel();
    virtual VstInt32 getAutomationState();
    virtual VstInt32 processEvents(VstEvents* /*events*/) { return 0; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual bool processVariableIo(VstVariableIo* /*io*/) { return false; }
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual VstInt32 getHostVendorVersion();
    virtual VstIntPtr hostVendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt);
    // 1 when the host answers non-zero, else 0.
    virtual VstInt32 canHostDo(char* text);
    virtual VstInt32 getHostLanguage();
    virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual void* getDirectory();
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32 /*index*/, VstIntPtr /*value*/, void* /*ptr*/,
                                     float /*opt*/)
    {
        return 0;
    }
    // 1 = yes, -1 = no, 0 = don't know.
    virtual VstInt32 canDo(char* /*text*/) { return 0; }
    virtual VstInt32 getVstVersion() { return 2400; }
    virtual VstInt32 getPlugCategory();
    virtual VstInt32 getMidiProgramName(VstInt32 /*channel*/, MidiProgramName* /*name*/)
    {
        return 0;
    }
    virtual VstInt32 getCurrentMidiProgram(VstInt32 /*channel*/, MidiProgramName* /*current*/)
    {
        return -1;
    }
    virtual VstInt32 getMidiProgramCategory(VstInt32 /*channel*/, MidiProgramCategory* /*category*/)
    {
        return 0;
    }
    virtual bool hasMidiProgramsChanged(VstInt32 /*channel*/) { return false; }
    virtual bool getMidiKeyName(VstInt32 /*channel*/, MidiKeyName* /*keyName*/) { return false; }
    virtual bool updateDisplay();
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    virtual bool openFileSelector(VstFileSelect* select);
    virtual bool closeFileSelector(VstFileSelect* select);
    virtual VstInt32 getNextShellPlugin(char* /*name*/) { return 0; }

    // Speaker arrangements are one malloc'ed block of 8 + 112 x channels bytes.
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 channels);
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);

    virtual bool offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource = true);
    virtual bool offlineWrite(VstOfflineTask* offline, VstInt32 option);
    virtual bool offlineStart(VstAudioFile* files, VstInt32 numAudioFiles,
                              VstInt32 numNewAudioFiles);
    virtual VstInt32 offlineGetCurrentPass();
    virtual VstInt32 offlineGetCurrentMetaPass();
    virtual VstInt32 offlineNotify(VstAudioFile* /*files*/, VstInt32 /*numAudioFiles*/,
                                   bool /*start*/)
    {
        return 0;
    }
    virtual VstInt32 offlinePrepare(VstOfflineTask* /*offline*/, VstInt32 /*count*/) { return 0; }
    virtual VstInt32 offlineRun(VstOfflineTask* /*offline*/, VstInt32 /*count*/) { return 0; }
    virtual VstInt32 offlineGetNumPasses() { return 0; }
    virtual VstInt32 offlineGetNumMetaPasses() { return 0; }

    virtual void wantEvents(VstInt32 filter = 1);
    virtual VstInt32 tempoAt(VstInt32 position);
    virtual VstInt32 getNumAutomatableParameters();
    virtual VstInt32 getParameterQuantization();
    virtual VstInt32 getNumCategories() { return 1; }
    virtual bool copyProgram(VstInt32 /*destination*/) { return false; }
    virtual bool needIdle();
    // The argument is not passed on to the host.
    virtual AEffect* getPreviousPlug(VstInt32 input);
    virtual AEffect* getNextPlug(VstInt32 output);
    virtual void inputConnected(VstInt32 /*index*/, bool /*state*/) {}
    virtual void outputConnected(VstInt32 /*index*/, bool /*state*/) {}
    virtual VstInt32 willProcessReplacing();
    virtual void wantAsyncOperation(bool state = true) { setFlag(effFlagsExtIsAsync, state); }
    virtual void hasExternalBuffer(bool state = true) { setFlag(effFlagsExtHasBuffer, state); }
    virtual VstInt32 reportCurrentPosition() { return 0; }
    virtual float* reportDestinationBuffer() { return nullptr; }
    virtual void setOutputSamplerate(float rate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual void* openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    virtual void setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate)
    {
        blockSize = newBlockSize;
        sampleRate = newSampleRate;
    }
    virtual bool getErrorText(char* /*text*/) { return false; }
    virtual void* getIcon() { return nullptr; }
    virtual bool setViewPosition(VstInt32 /*x*/, VstInt32 /*y*/) { return false; }
    virtual VstInt32 fxIdle() { return 0; }
    // Note the inverted answer of effKeysRequired: 1 means "no keys needed".
    virtual bool keysRequired() { return false; }
    virtual bool getChunkFile(void* nativePath);

    // true only when the host answers 1.
    bool sendVstEventsToHost(VstEvents* events);
};
