// The framework's test plug-in: an AudioEffectX with a gain, an optional
// editor that records its calls, and a service hook that runs the base
// classes' host services on request.
#include "testeffect.h"

#include "aeffeditor.h"
#include "audioeffectx.h"
#include "bundlelocation.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <thread>

namespace
{

TestEffectProbe gProbe;

class TestEditor : public AEffEditor
{
public:
    explicit TestEditor(AudioEffect* effect) : AEffEditor(effect) {}
    ~TestEditor() override { ++gProbe.editorDeletes; }

    bool getRect(ERect** rect) override
    {
        record(effEditGetRect);
        *rect = &rectangle;
        return gProbe.editorAnswers;
    }
    bool open(void* window) override
    {
        record(effEditOpen, reinterpret_cast<VstIntPtr>(window));
        AEffEditor::open(window);
        return gProbe.editorAnswers;
    }
    void close() override
    {
        record(effEditClose);
        AEffEditor::close();
    }
    void idle() override { record(effEditIdle); }
    void draw(ERect* rect) override { record(effEditDraw, reinterpret_cast<VstIntPtr>(rect)); }
    VstInt32 mouse(VstInt32 x, VstIntPtr y) override
    {
        record(effEditMouse, x, y);
        return 7;
    }
    VstInt32 key(VstInt32 keyCode) override
    {
        record(effEditKey, keyCode);
        return 9;
    }
    void top() override { record(effEditTop); }
    void sleep() override { record(effEditSleep); }
    bool onKeyDown(VstKeyCode& keyCode) override
    {
        record(effEditKeyDown);
        gProbe.lastKey = keyCode;
        return gProbe.editorAnswers;
    }
    bool onKeyUp(VstKeyCode& keyCode) override
    {
        record(effEditKeyUp);
        gProbe.lastKey = keyCode;
        return gProbe.editorAnswers;
    }
    bool setKnobMode(VstInt32 mode) override
    {
        record(effSetEditKnobMode, mode);
        return gProbe.editorAnswers;
    }

private:
    static void record(VstInt32 call, VstIntPtr a = 0, VstIntPtr b = 0)
    {
        gProbe.editorCall = call;
        gProbe.editorArgs[0] = a;
        gProbe.editorArgs[1] = b;
    }

    ERect rectangle{0, 0, 100, 200};
};

class TestEffect : public AudioEffectX
{
public:
    explicit TestEffect(audioMasterCallback audioMaster)
        : AudioEffectX(audioMaster, kTestEffectPrograms, kTestEffectParams)
    {
        gProbe.object = static_cast<AudioEffect*>(this);
        // Switches for host tests, which cannot reach the probe.
        crashInProcess_ = std::getenv("FX_TEST_EFFECT_CRASH") != nullptr;
        slowProcess_ = std::getenv("FX_TEST_EFFECT_SLOW") != nullptr;
        reportHost_ = std::getenv("FX_TEST_EFFECT_REPORT_HOST") != nullptr;
        nanOutput_ = std::getenv("FX_TEST_EFFECT_NAN") != nullptr;
        if (gProbe.withEditor)
            setEditor(new TestEditor(this));
    }
    ~TestEffect() override { ++gProbe.destructorRuns; }

    // Output = input x 2 x parameter 0: unity at the default of one half.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override
    {
        if (crashInProcess_)
            std::abort();
        if (slowProcess_)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const float gain = 2.0f * gain_;
        for (int channel = 0; channel < cEffect.numOutputs; ++channel)
        {
            const float* in = input(inputs, channel);
            for (VstInt32 i = 0; i < sampleFrames; ++i)
                outputs[channel][i] = gain * in[i];
        }
        if (reportHost_)
            reportHost(outputs[0], sampleFrames);
        if (nanOutput_ && cEffect.numOutputs > 1 && sampleFrames > 0)
            outputs[1][0] = std::numeric_limits<float>::quiet_NaN();
    }
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override
    {
        const float gain = 2.0f * gain_;
        for (int channel = 0; channel < cEffect.numOutputs; ++channel)
        {
            const float* in = input(inputs, channel);
            for (VstInt32 i = 0; i < sampleFrames; ++i)
                outputs[channel][i] += gain * in[i];
        }
    }

    void setParameter(VstInt32 index, float value) override
    {
        gProbe.lastParameterIndex = index;
        gProbe.lastParameterValue = value;
        if (index == 0)
            gain_ = value;
    }
    float getParameter(VstInt32 index) override { return index == 0 ? gain_ : 0.0f; }
    void setProgram(VstInt32 program) override
    {
        gProbe.lastProgram = program;
        AudioEffectX::setProgram(program);
    }

    void getParameterDisplay(VstInt32 index, char* text) override
    {
        const float v = gProbe.displayValue;
        const VstInt32 maxLen = gProbe.displayMaxLen;
        switch (index)
        {
        case 0:
            float2string(v, text, maxLen);
            break;
        case 1:
            int2string(static_cast<VstInt32>(v), text, maxLen);
            break;
        case 2:
            dB2string(v, text, maxLen);
            break;
        case 3:
            Hz2string(v, text, maxLen);
            break;
        case 4:
            ms2string(v, text, maxLen);
            break;
        default:
            AudioEffectX::getParameterDisplay(index, text);
        }
    }

    void suspend() override { ++gProbe.suspends; }
    void resume() override
    {
        ++gProbe.resumes;
        AudioEffectX::resume();
    }
    float getVu() override { return gProbe.vu; }
    VstInt32 canDo(char* text) override
    {
        return text && std::strcmp(text, "receiveVstMidiEvent") == 0 ? gProbe.canReceiveMidi : 0;
    }

    // Operations that only record their arguments, to show which dispatcher
    // argument reaches which parameter.
    VstInt32 getChunk(void** data, bool isPreset) override
    {
        return record(effGetChunk, asInt(data), isPreset, 0, 100);
    }
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override
    {
        return record(effSetChunk, asInt(data), byteSize, isPreset, 101);
    }
    VstInt32 processEvents(VstEvents* events) override
    {
        return record(effProcessEvents, asInt(events), 0, 0, 102);
    }
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override
    {
        return record(effGetProgramNameIndexed, category, index, asInt(text), 1);
    }
    void inputConnected(VstInt32 index, bool state) override
    {
        record(effConnectInput, index, state, 0, 0);
    }
    void outputConnected(VstInt32 index, bool state) override
    {
        record(effConnectOutput, index, state, 0, 0);
    }
    VstInt32 offlineNotify(VstAudioFile* files, VstInt32 numAudioFiles, bool start) override
    {
        return record(effOfflineNotify, asInt(files), numAudioFiles, start, 103);
    }
    bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) override
    {
        return record(effSetSpeakerArrangement, asInt(input), asInt(output), 0, 1);
    }
    bool getSpeakerArrangement(VstSpeakerArrangement** input,
                               VstSpeakerArrangement** output) override
    {
        return record(effGetSpeakerArrangement, asInt(input), asInt(output), 0, 1);
    }
    bool setBypass(bool onOff) override { return record(effSetBypass, onOff, 0, 0, 1); }
    bool setViewPosition(VstInt32 x, VstInt32 y) override
    {
        return record(effSetViewPosition, x, y, 0, 1);
    }
    bool setPanLaw(VstInt32 type, float value) override
    {
        return record(effSetPanLaw, type, static_cast<VstIntPtr>(value * 1000.0f), 0, 1);
    }
    bool getMidiKeyName(VstInt32 channel, MidiKeyName* keyName) override
    {
        return record(effGetMidiKeyName, channel, asInt(keyName), 0, 1);
    }
    VstInt32 setTotalSampleToProcess(VstInt32 value) override
    {
        return record(effSetTotalSampleToProcess, value, 0, 0, value + 1);
    }
    bool setProcessPrecision(VstInt32 precision) override
    {
        return record(effSetProcessPrecision, precision, 0, 0, 1);
    }

    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override
    {
        if (index != kProbeService || !ptr)
            return AudioEffectX::vendorSpecific(index, value, ptr, opt);
        auto& call = *static_cast<ProbeServiceCall*>(ptr);
        call.result = run(call);
        return 1;
    }

private:
    static VstInt32 record(VstInt32 call, VstIntPtr a, VstIntPtr b, VstIntPtr c, VstInt32 result)
    {
        gProbe.call = call;
        gProbe.callArgs[0] = a;
        gProbe.callArgs[1] = b;
        gProbe.callArgs[2] = c;
        return result;
    }
    static VstIntPtr asInt(const void* p) { return reinterpret_cast<VstIntPtr>(p); }

    // Writes what the host answers into the left output, for host tests:
    // each block starts with the host's sample position; the first block
    // follows it with rate, block size, host version, the connection of
    // input 0, input 1 and output 1, and the tempo.
    void reportHost(float* out, VstInt32 frames)
    {
        const VstTimeInfo* time = getTimeInfo(0);
        out[0] = time ? static_cast<float>(time->samplePos) : -1.0f;
        if (!time || time->samplePos != 0.0 || frames < 8)
            return;
        out[1] = updateSampleRate();
        out[2] = static_cast<float>(updateBlockSize());
        out[3] = static_cast<float>(getMasterVersion());
        out[4] = isInputConnected(0) ? 1.0f : 0.0f;
        out[5] = isInputConnected(1) ? 1.0f : 0.0f;
        out[6] = isOutputConnected(1) ? 1.0f : 0.0f;
        out[7] = (time->flags & kVstTempoValid) ? static_cast<float>(time->tempo) : -1.0f;
    }

    // One input feeds every output.
    const float* input(float** inputs, int channel) const
    {
        return inputs[channel < cEffect.numInputs ? channel : 0];
    }
    VstIntPtr run(ProbeServiceCall& call);
    void setFlagThroughSetter(VstIntPtr setter, bool state);

    float gain_ = 0.5f;
    CFBundleRef heldBundle_ = nullptr;
    bool crashInProcess_ = false;
    bool slowProcess_ = false;
    bool reportHost_ = false;
    bool nanOutput_ = false; // the first right sample of every block is NaN
};

constexpr CFIndex kPathRoom = 1024;

// The path of gBundleRef's folder into text; 0 without a bundle.
VstIntPtr copyBundlePath(char* text)
{
    text[0] = 0;
    if (!gBundleRef)
        return 0;
    CFURLRef url = CFBundleCopyBundleURL(gBundleRef);
    const bool ok = url && CFURLGetFileSystemRepresentation(
                               url, true, reinterpret_cast<uint8_t*>(text), kPathRoom);
    if (url)
        CFRelease(url);
    return ok ? 1 : 0;
}

// Looks the resource named in text up in gBundleRef and answers its path.
VstIntPtr copyResourcePath(char* text)
{
    if (!gBundleRef)
        return 0;
    CFStringRef name = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
    CFURLRef url = CFBundleCopyResourceURL(gBundleRef, name, nullptr, nullptr);
    CFRelease(name);
    text[0] = 0;
    const bool ok = url && CFURLGetFileSystemRepresentation(
                               url, true, reinterpret_cast<uint8_t*>(text), kPathRoom);
    if (url)
        CFRelease(url);
    return ok ? 1 : 0;
}

VstInt32 i32(VstIntPtr v)
{
    return static_cast<VstInt32>(v);
}

VstIntPtr TestEffect::run(ProbeServiceCall& call)
{
    const auto a = call.a;
    const auto b = call.b;
    const auto c = call.c;
    void* const p = call.ptr;
    switch (call.service)
    {
    case kSetParameterAutomated:
        setParameterAutomated(i32(a), call.opt);
        return 0;
    case kGetMasterVersion:
        return getMasterVersion();
    case kGetCurrentUniqueId:
        return getCurrentUniqueId();
    case kMasterIdle:
        masterIdle();
        return 0;
    case kIsInputConnected:
        return isInputConnected(i32(a));
    case kIsOutputConnected:
        return isOutputConnected(i32(a));
    case kWantEvents:
        wantEvents(i32(a));
        return 0;
    case kGetTimeInfo:
        return asInt(getTimeInfo(i32(a)));
    case kSendVstEventsToHost:
        return sendVstEventsToHost(static_cast<VstEvents*>(p));
    case kTempoAt:
        return tempoAt(i32(a));
    case kGetNumAutomatableParameters:
        return getNumAutomatableParameters();
    case kGetParameterQuantization:
        return getParameterQuantization();
    case kIoChanged:
        return ioChanged();
    case kNeedIdle:
        return needIdle();
    case kSizeWindow:
        return sizeWindow(i32(a), i32(b));
    case kUpdateSampleRate:
        return static_cast<VstIntPtr>(updateSampleRate());
    case kUpdateBlockSize:
        return updateBlockSize();
    case kGetInputLatency:
        return getInputLatency();
    case kGetOutputLatency:
        return getOutputLatency();
    case kGetPreviousPlug:
        return asInt(getPreviousPlug(i32(a)));
    case kGetNextPlug:
        return asInt(getNextPlug(i32(a)));
    case kWillProcessReplacing:
        return willProcessReplacing();
    case kGetCurrentProcessLevel:
        return getCurrentProcessLevel();
    case kGetAutomationState:
        return getAutomationState();
    case kOfflineStart:
        return offlineStart(static_cast<VstAudioFile*>(p), i32(a), i32(b));
    case kOfflineRead:
        return offlineRead(static_cast<VstOfflineTask*>(p), i32(a), c != 0);
    case kOfflineWrite:
        return offlineWrite(static_cast<VstOfflineTask*>(p), i32(a));
    case kOfflineGetCurrentPass:
        return offlineGetCurrentPass();
    case kOfflineGetCurrentMetaPass:
        return offlineGetCurrentMetaPass();
    case kSetOutputSamplerate:
        setOutputSamplerate(call.opt);
        return 0;
    case kGetOutputSpeakerArrangement:
        return asInt(getOutputSpeakerArrangement());
    case kGetHostVendorString:
        return getHostVendorString(static_cast<char*>(p));
    case kGetHostProductString:
        return getHostProductString(static_cast<char*>(p));
    case kGetHostVendorVersion:
        return getHostVendorVersion();
    case kHostVendorSpecific:
        return hostVendorSpecific(i32(a), b, p, call.opt);
    case kCanHostDo:
        return canHostDo(static_cast<char*>(p));
    case kGetHostLanguage:
        return getHostLanguage();
    case kOpenWindow:
        return asInt(openWindow(static_cast<VstWindow*>(p)));
    case kCloseWindow:
        return closeWindow(static_cast<VstWindow*>(p));
    case kGetDirectory:
        return asInt(getDirectory());
    case kUpdateDisplay:
        return updateDisplay();
    case kBeginEdit:
        return beginEdit(i32(a));
    case kEndEdit:
        return endEdit(i32(a));
    case kOpenFileSelector:
        return openFileSelector(static_cast<VstFileSelect*>(p));
    case kCloseFileSelector:
        return closeFileSelector(static_cast<VstFileSelect*>(p));
    case kGetChunkFile:
        return getChunkFile(p);
    case kGetInputSpeakerArrangement:
        return asInt(getInputSpeakerArrangement());
    case kGetSampleRate:
        return static_cast<VstIntPtr>(getSampleRate());
    case kGetBlockSize:
        return getBlockSize();
    case kSetFlag:
        setFlagThroughSetter(a, b != 0);
        return 0;
    case kAllocateArrangement:
        return allocateArrangement(static_cast<VstSpeakerArrangement**>(p), i32(a));
    case kDeallocateArrangement:
        return deallocateArrangement(static_cast<VstSpeakerArrangement**>(p));
    case kCopySpeaker:
    {
        auto** pair = static_cast<VstSpeakerProperties**>(p);
        return copySpeaker(pair[0], pair[1]);
    }
    case kMatchArrangement:
        return matchArrangement(static_cast<VstSpeakerArrangement**>(p),
                                static_cast<VstSpeakerArrangement*>(call.ptr2));
    case kSetEditorNull:
        delete editor;
        setEditor(nullptr);
        return 0;
    case kLocateBundle:
        InitMachOLibrary();
        return copyBundlePath(static_cast<char*>(p));
    case kReleaseBundle:
        ExitMachOLibrary();
        return gBundleRef != nullptr;
    case kFindResource:
        return copyResourcePath(static_cast<char*>(p));
    case kHoldBundle:
        if (!gBundleRef)
            return 0;
        CFRetain(gBundleRef);
        heldBundle_ = gBundleRef;
        return 1;
    case kDropBundle:
        if (heldBundle_)
            CFRelease(heldBundle_);
        heldBundle_ = nullptr;
        return 0;
    }
    return 0;
}

void TestEffect::setFlagThroughSetter(VstIntPtr setter, bool state)
{
    switch (setter)
    {
    case kSetterHasClip:
        hasClip(state);
        break;
    case kSetterHasVu:
        hasVu(state);
        break;
    case kSetterCanMono:
        canMono(state);
        break;
    case kSetterCanProcessReplacing:
        canProcessReplacing(state);
        break;
    case kSetterProgramsAreChunks:
        programsAreChunks(state);
        break;
    case kSetterIsSynth:
        isSynth(state);
        break;
    case kSetterNoTail:
        noTail(state);
        break;
    case kSetterWantAsyncOperation:
        wantAsyncOperation(state);
        break;
    case kSetterHasExternalBuffer:
        hasExternalBuffer(state);
        break;
    case kSetterCanDoubleReplacing:
        canDoubleReplacing(state);
        break;
    }
}

} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster)
{
    ++gProbe.factoryCalls;
    if (gProbe.factoryThrows)
        throw std::bad_alloc();
    if (gProbe.factoryReturnsNull || std::getenv("FX_TEST_EFFECT_REFUSE"))
        return nullptr;
    return new TestEffect(gProbe.withoutHostCallback ? nullptr : audioMaster);
}

extern "C" __attribute__((visibility("default"))) TestEffectProbe* testEffectProbe()
{
    return &gProbe;
}
