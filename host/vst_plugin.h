// Loading a VST 2 plug-in (ours or anybody's) and acting as its host: the
// host callback, the time information, and block processing.
#pragma once

#include "aeffectx.h"

#include <memory>
#include <string>
#include <vector>

namespace fxhost
{

class VstPlugin
{
public:
    // Loads PATH (a .so, or a bundle folder Name.vst holding
    // Contents/x86_64-linux/Name.so), calls its entry point and opens the
    // effect. On failure answers null and sets error to one line.
    static std::unique_ptr<VstPlugin> load(const std::string& path, std::string& error);
    ~VstPlugin();

    VstPlugin(const VstPlugin&) = delete;
    VstPlugin& operator=(const VstPlugin&) = delete;

    AEffect* effect() const { return effect_; }
    const std::string& libraryPath() const { return libraryPath_; }
    VstInt32 numInputs() const { return effect_->numInputs; }
    VstInt32 numOutputs() const { return effect_->numOutputs; }
    VstInt32 numParams() const { return effect_->numParams; }
    VstInt32 numPrograms() const { return effect_->numPrograms; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    // A text the plug-in writes into a buffer (names, labels, displays),
    // given room well beyond the interface's limits.
    std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);
    // The effect's answer to a text request, and whether it answered 1.
    bool textIfAnswered(VstInt32 opcode, std::string& text);

    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);

    // Rate and block size go to the plug-in before start().
    void configure(double sampleRate, VstInt32 blockSize);
    // Turns processing on (resume, start process) and off again.
    void start();
    void stop();
    // One block of at most the configured block size; inputs has numInputs()
    // channels, outputs numOutputs().
    void process(float** inputs, float** outputs, VstInt32 frames);

    // Automation notifications the plug-in sent (audioMasterAutomate).
    int automations() const { return automations_; }

private:
    VstPlugin() = default;
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt);
    VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);

    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    std::string libraryPath_;
    std::string directory_;
    double sampleRate_ = 44100.0;
    VstInt32 blockSize_ = 512;
    bool running_ = false;
    int automations_ = 0;
    VstTimeInfo timeInfo_{};
};

} // namespace fxhost
