// The effect base class of the VST 2 build. It owns the AEffect record the
// host talks to, turns the host's dispatcher opcodes 0..24 into virtual calls,
// and wraps the few host services the base needs. Effects derive from
// AudioEffectX (audioeffectx.h), which adds the rest.
//
// A plug-in supplies the factory
//     AudioEffect* createEffectInstance(audioMasterCallback audioMaster);
// and links the target fx_vst_main, which exports VSTPluginMain.
#pragma once

#include "aeffectx.h"

class AEffEditor;
class AudioEffect;

// Each plug-in defines this: it creates the plug-in's one effect object (or
// answers null when it cannot).
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

class AudioEffect
{
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    // Deletes the editor, if any.
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // Handles opcodes 0..24; every other opcode answers 0.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float newSampleRate) { sampleRate = newSampleRate; }
    virtual void setBlockSize(VstInt32 newBlockSize) { blockSize = newBlockSize; }

    // Overwrites outputs with the processed inputs.
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        VstInt32 /*sampleFrames*/)
    {
    }

    // Parameter values are normalised to 0..1.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    // setParameter, then tells the host (automation recording).
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram; }
    // No range check here: the dispatcher checks.
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);

    // Chunk size in bytes; 0 = no chunk.
    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/ = false)
    {
        return 0;
    }

    virtual void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true)
    {
        setFlag(effFlagsCanDoubleReplacing, state);
    }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }

    // Host services; each works without a host callback, with a fallback.
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

    // Number formatters. text must hold maxLen + 1 bytes; at most maxLen
    // characters are written and text[maxLen] is always a terminator.
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);

    // Adds the processed inputs to outputs.
    virtual void process(float** /*inputs*/, float** /*outputs*/, VstInt32 /*sampleFrames*/) {}
    // Level 0..1 shown by hosts that read it.
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }

    // Registers the (owned) editor; sets or clears effFlagsHasEditor.
    void setEditor(AEffEditor* newEditor);

    // The functions stored in the record: each forwards to the object named
    // by the record's object field.
    static VstIntPtr dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr value, void* ptr, float opt);
    static void processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames);
    static void processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                      VstInt32 sampleFrames);
    static void processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                            VstInt32 sampleFrames);
    static void setParameterClass(AEffect* e, VstInt32 index, float value);
    static float getParameterClass(AEffect* e, VstInt32 index);

protected:
    // Calls the host with this effect's record; 0 without a host callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f)
    {
        return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
    }

    void setFlag(VstInt32 flag, bool state)
    {
        if (state)
            cEffect.flags |= flag;
        else
            cEffect.flags &= ~flag;
    }

    audioMasterCallback audioMaster = nullptr;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms = 0;
    VstInt32 numParams = 0;
    VstInt32 curProgram = 0;
    AEffect cEffect;
};
