#include "ladspa_plugin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fxhost
{

namespace
{

LADSPA_Descriptor_Function descriptorFunction(void* library)
{
    return reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(library, "ladspa_descriptor"));
}

// The default a control port's hints ask for, in its natural unit.
LADSPA_Data defaultValue(const LADSPA_PortRangeHint& range, unsigned long sampleRate)
{
    const LADSPA_PortRangeHintDescriptor hints = range.HintDescriptor;
    const float scale = LADSPA_IS_HINT_SAMPLE_RATE(hints) ? static_cast<float>(sampleRate) : 1.0f;
    const float low = range.LowerBound * scale;
    const float high = range.UpperBound * scale;
    const bool logarithmic = LADSPA_IS_HINT_LOGARITHMIC(hints) && low > 0.0f && high > 0.0f;
    const auto between = [&](float weight)
    {
        return logarithmic ? std::exp(std::log(low) * (1.0f - weight) + std::log(high) * weight)
                           : low * (1.0f - weight) + high * weight;
    };
    float value = 0.0f;
    switch (hints & LADSPA_HINT_DEFAULT_MASK)
    {
    case LADSPA_HINT_DEFAULT_MINIMUM:
        value = low;
        break;
    case LADSPA_HINT_DEFAULT_LOW:
        value = between(0.25f);
        break;
    case LADSPA_HINT_DEFAULT_MIDDLE:
        value = between(0.5f);
        break;
    case LADSPA_HINT_DEFAULT_HIGH:
        value = between(0.75f);
        break;
    case LADSPA_HINT_DEFAULT_MAXIMUM:
        value = high;
        break;
    case LADSPA_HINT_DEFAULT_1:
        value = 1.0f;
        break;
    case LADSPA_HINT_DEFAULT_100:
        value = 100.0f;
        break;
    case LADSPA_HINT_DEFAULT_440:
        value = 440.0f;
        break;
    case LADSPA_HINT_DEFAULT_0:
        value = 0.0f;
        break;
    default:
        value = LADSPA_IS_HINT_BOUNDED_BELOW(hints) ? low : 0.0f;
        break;
    }
    return LADSPA_IS_HINT_INTEGER(hints) ? std::round(value) : value;
}

} // namespace

bool isLadspaLibrary(const std::string& path)
{
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored))
        return false;
    void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr)
        return false;
    const bool found = descriptorFunction(library) != nullptr;
    dlclose(library);
    return found;
}

std::unique_ptr<LadspaPlugin> LadspaPlugin::load(const std::string& path, const std::string& label,
                                                 unsigned long sampleRate, std::string& error)
{
    std::unique_ptr<LadspaPlugin> plugin(new LadspaPlugin());
    plugin->library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (plugin->library_ == nullptr)
    {
        const char* reason = dlerror();
        error = "cannot load '" + path + "': " + (reason ? reason : "unknown reason");
        return nullptr;
    }
    const LADSPA_Descriptor_Function describe = descriptorFunction(plugin->library_);
    if (describe == nullptr)
    {
        error = "'" + path + "' has no ladspa_descriptor: not a LADSPA plug-in library";
        return nullptr;
    }
    std::string labels;
    unsigned long count = 0;
    for (unsigned long i = 0; const LADSPA_Descriptor* d = describe(i); ++i, ++count)
    {
        labels += (labels.empty() ? "" : ", ") + std::string(d->Label ? d->Label : "");
        if (d->Label != nullptr && label == d->Label)
            plugin->descriptor_ = d;
    }
    if (label.empty() && count == 1)
        plugin->descriptor_ = describe(0);
    if (plugin->descriptor_ == nullptr)
    {
        error = label.empty() ? "'" + path + "' holds " + std::to_string(count) +
                                    " plug-ins; choose one with --label (" + labels + ")"
                              : "'" + path + "' has no plug-in labelled '" + label + "' (it has " +
                                    labels + ")";
        return nullptr;
    }

    const LADSPA_Descriptor& d = *plugin->descriptor_;
    plugin->controls_.assign(d.PortCount, 0.0f);
    plugin->outputControls_.assign(d.PortCount, 0.0f);
    for (unsigned long port = 0; port < d.PortCount; ++port)
    {
        const LADSPA_PortDescriptor kind = d.PortDescriptors[port];
        if (LADSPA_IS_PORT_CONTROL(kind) && LADSPA_IS_PORT_INPUT(kind))
            plugin->controls_[port] = defaultValue(d.PortRangeHints[port], sampleRate);
        else if (LADSPA_IS_PORT_AUDIO(kind))
            (LADSPA_IS_PORT_INPUT(kind) ? plugin->audioInputs_ : plugin->audioOutputs_)
                .push_back(port);
    }
    if (plugin->audioOutputs_.empty() || plugin->audioInputs_.size() > 2 ||
        plugin->audioOutputs_.size() > 2)
    {
        const std::string label = d.Label;
        error = "'";
        error += label + "' has " + std::to_string(plugin->audioInputs_.size()) +
                 " audio inputs and " + std::to_string(plugin->audioOutputs_.size()) +
                 " outputs; fxhost runs mono and stereo effects";
        return nullptr;
    }

    const size_t instances = plugin->audioOutputs_.size() == 1 ? 2 : 1;
    for (size_t i = 0; i < instances; ++i)
    {
        LADSPA_Handle handle = d.instantiate(&d, sampleRate);
        if (handle == nullptr)
        {
            error = "'";
            error += std::string(d.Label) + "' could not be instantiated";
            return nullptr;
        }
        plugin->handles_.push_back(handle);
    }
    return plugin;
}

LadspaPlugin::~LadspaPlugin()
{
    if (descriptor_ != nullptr)
        for (LADSPA_Handle handle : handles_)
        {
            if (active_ && descriptor_->deactivate != nullptr)
                descriptor_->deactivate(handle);
            descriptor_->cleanup(handle);
        }
    if (library_ != nullptr)
        dlclose(library_);
}

bool LadspaPlugin::setControl(unsigned long port, float value, std::string& error)
{
    const LADSPA_Descriptor& d = *descriptor_;
    if (port >= d.PortCount || !LADSPA_IS_PORT_CONTROL(d.PortDescriptors[port]) ||
        !LADSPA_IS_PORT_INPUT(d.PortDescriptors[port]))
    {
        error = "port " + std::to_string(port) + " of '" + d.Label + "' is not a control input";
        return false;
    }
    const LADSPA_PortRangeHint& range = d.PortRangeHints[port];
    const bool below = LADSPA_IS_HINT_BOUNDED_BELOW(range.HintDescriptor);
    const bool above = LADSPA_IS_HINT_BOUNDED_ABOVE(range.HintDescriptor);
    if ((below && value < range.LowerBound) || (above && value > range.UpperBound))
    {
        char bounds[64];
        std::snprintf(bounds, sizeof bounds, "%g to %g", static_cast<double>(range.LowerBound),
                      static_cast<double>(range.UpperBound));
        error = "port " + std::to_string(port) + " (" + d.PortNames[port] + ") runs from " + bounds;
        return false;
    }
    controls_[port] = value;
    return true;
}

void LadspaPlugin::start(unsigned long blockSize)
{
    const LADSPA_Descriptor& d = *descriptor_;
    inputBuffers_.assign(handles_.size() * std::max<size_t>(audioInputs_.size(), 1),
                         std::vector<LADSPA_Data>(blockSize));
    outputBuffers_.assign(handles_.size() * audioOutputs_.size(),
                          std::vector<LADSPA_Data>(blockSize));
    for (size_t h = 0; h < handles_.size(); ++h)
    {
        for (unsigned long port = 0; port < d.PortCount; ++port)
        {
            const LADSPA_PortDescriptor kind = d.PortDescriptors[port];
            if (LADSPA_IS_PORT_CONTROL(kind))
                d.connect_port(handles_[h], port,
                               LADSPA_IS_PORT_INPUT(kind) ? &controls_[port]
                                                          : &outputControls_[port]);
        }
        for (size_t j = 0; j < audioInputs_.size(); ++j)
            d.connect_port(handles_[h], audioInputs_[j],
                           inputBuffers_[h * audioInputs_.size() + j].data());
        for (size_t j = 0; j < audioOutputs_.size(); ++j)
            d.connect_port(handles_[h], audioOutputs_[j],
                           outputBuffers_[h * audioOutputs_.size() + j].data());
        if (d.activate != nullptr)
            d.activate(handles_[h]);
    }
    active_ = true;
}

void LadspaPlugin::process(const float* const* inputs, float* const* outputs, unsigned long frames)
{
    const LADSPA_Descriptor& d = *descriptor_;
    const size_t ins = audioInputs_.size(), outs = audioOutputs_.size();
    // Instance h takes stereo channel h (one instance per channel), or both.
    for (size_t h = 0; h < handles_.size(); ++h)
    {
        for (size_t j = 0; j < ins; ++j)
            std::memcpy(inputBuffers_[h * ins + j].data(), inputs[(h + j) % 2],
                        frames * sizeof(float));
        d.run(handles_[h], frames);
        for (size_t j = 0; j < outs; ++j)
            std::memcpy(outputs[(h + j) % 2], outputBuffers_[h * outs + j].data(),
                        frames * sizeof(float));
    }
}

} // namespace fxhost
