#include "vst_plugin.h"

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace fxhost
{

namespace
{

namespace fs = std::filesystem;

using PluginEntry = AEffect* (*)(audioMasterCallback);

constexpr VstIntPtr kHostVstVersion = 2400;
constexpr const char* kHostVendor = "Effect family";
constexpr const char* kHostProduct = "fxhost";
constexpr VstIntPtr kHostVersion = 1000;
constexpr double kTempo = 120.0;
// Room for any text a plug-in writes; the interface limits are far below.
constexpr size_t kTextRoom = 512;

// The host being loaded: during its entry point a plug-in calls back before
// its record exists, so the record cannot lead to the host yet.
thread_local VstPlugin* tLoading = nullptr;

// A bundle folder Name.ext stands for Name.ext/Contents/x86_64-linux/Name.so.
bool resolveLibrary(const std::string& path, std::string& library, std::string& error)
{
    std::error_code ec;
    const fs::path given(path);
    const fs::file_status status = fs::status(given, ec);
    if (ec || !fs::exists(status))
    {
        error = "'" + path + "' does not exist";
        return false;
    }
    fs::path file = given;
    if (fs::is_directory(status))
    {
        file = given / "Contents" / "x86_64-linux" / (given.stem().string() + ".so");
        if (given.stem().empty() || !fs::is_regular_file(file, ec))
        {
            error = "'" + path + "' is a folder but no plug-in bundle (no " +
                    file.lexically_relative(given).string() + " inside)";
            return false;
        }
    }
    library = fs::absolute(file, ec).lexically_normal().string();
    return true;
}

} // namespace

std::unique_ptr<VstPlugin> VstPlugin::load(const std::string& path, std::string& error)
{
    std::unique_ptr<VstPlugin> plugin(new VstPlugin);
    if (!resolveLibrary(path, plugin->libraryPath_, error))
        return nullptr;
    plugin->directory_ = fs::path(plugin->libraryPath_).parent_path().string();

    plugin->library_ = dlopen(plugin->libraryPath_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!plugin->library_)
    {
        const char* reason = dlerror();
        error = "cannot load '" + path + "': " + (reason ? reason : "not a shared library");
        return nullptr;
    }
    auto entry = reinterpret_cast<PluginEntry>(dlsym(plugin->library_, "VSTPluginMain"));
    if (!entry)
    {
        error = "'" + path + "' is not a VST 2 plug-in (it has no VSTPluginMain)";
        return nullptr;
    }

    tLoading = plugin.get();
    AEffect* effect = entry(hostCallback);
    tLoading = nullptr;
    if (!effect)
    {
        error = "'" + path + "' created no effect (VSTPluginMain answered null)";
        return nullptr;
    }
    if (effect->magic != kEffectMagic || !effect->dispatcher)
    {
        error = "'" + path + "' answered something that is not a VST 2 effect record";
        return nullptr; // not ours to close: it is no effect record
    }
    plugin->effect_ = effect;
    effect->resvd1 = reinterpret_cast<VstIntPtr>(plugin.get());
    const bool replacing = (effect->flags & effFlagsCanReplacing) && effect->processReplacing;
    if ((!replacing && !effect->process) || !effect->setParameter || !effect->getParameter)
    {
        error = "'" + path +
                "' answered an effect record without its processing or parameter "
                "functions";
        return nullptr; // the destructor closes the effect
    }
    plugin->dispatch(effOpen);
    return plugin;
}

VstPlugin::~VstPlugin()
{
    if (effect_)
    {
        if (running_)
            stop();
        dispatch(effClose);
        effect_ = nullptr;
    }
    if (library_)
        dlclose(library_);
}

VstIntPtr VstPlugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string VstPlugin::text(VstInt32 opcode, VstInt32 index, VstIntPtr value)
{
    char buffer[kTextRoom] = {};
    dispatch(opcode, index, value, buffer);
    buffer[kTextRoom - 1] = 0;
    return buffer;
}

bool VstPlugin::textIfAnswered(VstInt32 opcode, std::string& text)
{
    char buffer[kTextRoom] = {};
    const bool answered = dispatch(opcode, 0, 0, buffer) == 1;
    buffer[kTextRoom - 1] = 0;
    text = buffer;
    return answered;
}

void VstPlugin::setParameter(VstInt32 index, float value)
{
    effect_->setParameter(effect_, index, value);
}

float VstPlugin::getParameter(VstInt32 index)
{
    return effect_->getParameter(effect_, index);
}

void VstPlugin::configure(double sampleRate, VstInt32 blockSize)
{
    sampleRate_ = sampleRate;
    blockSize_ = blockSize;
    timeInfo_ = VstTimeInfo{};
    timeInfo_.sampleRate = sampleRate;
    timeInfo_.tempo = kTempo;
    timeInfo_.timeSigNumerator = 4;
    timeInfo_.timeSigDenominator = 4;
    timeInfo_.flags = kVstTempoValid | kVstPpqPosValid;
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, blockSize);
}

void VstPlugin::start()
{
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    running_ = true;
}

void VstPlugin::stop()
{
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    running_ = false;
}

void VstPlugin::process(float** inputs, float** outputs, VstInt32 frames)
{
    if ((effect_->flags & effFlagsCanReplacing) && effect_->processReplacing)
    {
        effect_->processReplacing(effect_, inputs, outputs, frames);
    }
    else
    {
        for (VstInt32 channel = 0; channel < effect_->numOutputs; ++channel)
            std::memset(outputs[channel], 0, sizeof(float) * static_cast<size_t>(frames));
        effect_->process(effect_, inputs, outputs, frames);
    }
    timeInfo_.samplePos += frames;
    timeInfo_.ppqPos = timeInfo_.samplePos / sampleRate_ * (kTempo / 60.0);
}

VstIntPtr VstPlugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float /*opt*/)
{
    VstPlugin* host = tLoading;
    if (effect && effect->resvd1)
        host = reinterpret_cast<VstPlugin*>(effect->resvd1);
    if (!host)
        return opcode == audioMasterVersion ? kHostVstVersion : 0;
    return host->answer(effect, opcode, index, value, ptr);
}

VstIntPtr VstPlugin::answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                            void* ptr)
{
    switch (opcode)
    {
    case audioMasterAutomate:
        ++automations_;
        return 0;
    case audioMasterVersion:
        return kHostVstVersion;
    case audioMasterCurrentId:
        return effect ? effect->uniqueID : 0;
    case audioMasterPinConnected:
    {
        // Every pin the plug-in has gets a buffer; the answer 0 means connected.
        if (!effect)
            return 0;
        const VstInt32 pins = value == 0 ? effect->numInputs : effect->numOutputs;
        return index >= 0 && index < pins ? 0 : 1;
    }
    case audioMasterWantMidi:
        return 1;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_);
    case audioMasterGetBlockSize:
        return blockSize_;
    case audioMasterGetVendorString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), kHostVendor);
        return ptr ? 1 : 0;
    case audioMasterGetProductString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), kHostProduct);
        return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
        return kHostVersion;
    case audioMasterCanDo:
    {
        const char* text = static_cast<const char*>(ptr);
        if (!text)
            return 0;
        for (const char* yes : {"sendVstTimeInfo", "startStopProcess"})
            if (std::strcmp(text, yes) == 0)
                return 1;
        return 0;
    }
    case audioMasterGetDirectory:
        return reinterpret_cast<VstIntPtr>(directory_.c_str());
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    default:
        return 0;
    }
}

} // namespace fxhost
