#include "audioeffect.h"

#include "aeffeditor.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{

AudioEffect* owner(AEffect* e)
{
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

// A getter that was handed no buffer has nothing to fill.
void clearText(char* text)
{
    if (text)
        text[0] = 0;
}

// Host meters read the level as 0..32767; the product is truncated toward zero.
// A level that is not a number reads as 0 and one beyond the integer range is
// held at its edge, where a plain conversion would be undefined.
VstIntPtr vuToHost(float vu)
{
    const double scaled = static_cast<double>(vu) * 32767.0;
    if (std::isnan(scaled))
        return 0;
    constexpr double kLimit = 9.0e18; // inside the range of a 64-bit integer
    if (scaled >= kLimit)
        return static_cast<VstIntPtr>(kLimit);
    if (scaled <= -kLimit)
        return static_cast<VstIntPtr>(-kLimit);
    return static_cast<VstIntPtr>(scaled);
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    canProcessReplacing(true);
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect()
{
    delete editor;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt)
{
    switch (opcode)
    {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Negative numbers pass on to setProgram; a number below the 32-bit
        // range would reach it cut to its low bits (perhaps past the last
        // program), so it is ignored like one above the range.
        if (value < numPrograms && value >= INT32_MIN)
            setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effGetVu:
        return vuToHost(getVu());
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        return editor && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return editor && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditDraw:
        if (editor)
            editor->draw(static_cast<ERect*>(ptr));
        return 0;
    case effEditMouse:
        return editor ? editor->mouse(index, value) : 0;
    case effEditKey:
        return editor ? editor->key(static_cast<VstInt32>(value)) : 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effEditTop:
        if (editor)
            editor->top();
        return 0;
    case effEditSleep:
        if (editor)
            editor->sleep();
        return 0;
    case effIdentify:
        return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        return 0;
    }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::getProgramName(char* name)
{
    clearText(name);
}
void AudioEffect::getParameterLabel(VstInt32, char* label)
{
    clearText(label);
}
void AudioEffect::getParameterDisplay(VstInt32, char* text)
{
    clearText(text);
}
void AudioEffect::getParameterName(VstInt32, char* text)
{
    clearText(text);
}

VstInt32 AudioEffect::getMasterVersion()
{
    const VstIntPtr version = callHost(audioMasterVersion);
    return version != 0 ? static_cast<VstInt32>(version) : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId()
{
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

// The host answers 0 for a connected pin; without a host every pin counts as
// connected.
bool AudioEffect::isInputConnected(VstInt32 input)
{
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output)
{
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt)
{
    AudioEffect* effect = owner(e);
    if (!effect)
        return 0;
    if (opcode != effClose)
        return effect->dispatcher(opcode, index, value, ptr, opt);

    // The record lives inside the object: after this the host must forget it.
    effect->dispatcher(opcode, index, value, ptr, opt);
    delete effect;
    return 1;
}

void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = owner(e))
        effect->process(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 sampleFrames)
{
    if (AudioEffect* effect = owner(e))
        effect->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 sampleFrames)
{
    if (AudioEffect* effect = owner(e))
        effect->processDoubleReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value)
{
    if (AudioEffect* effect = owner(e))
        effect->setParameter(index, value);
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index)
{
    AudioEffect* effect = owner(e);
    return effect ? effect->getParameter(index) : 0.0f;
}
