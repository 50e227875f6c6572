// Hosting a LADSPA plug-in (a library of ladspa_descriptor entries, as
// Debian's swh-plugins and caps ship them) for stereo block processing: a
// plug-in with one audio input and output runs as one instance per channel.
#pragma once

#include <ladspa.h>

#include <memory>
#include <string>
#include <vector>

namespace fxhost
{

// Whether PATH is a library that exports ladspa_descriptor.
bool isLadspaLibrary(const std::string& path);

class LadspaPlugin
{
public:
    // Opens the plug-in labelled label in the library at path (an empty label
    // picks the library's only plug-in) with every control at its default.
    // On failure answers null and sets error to one line.
    static std::unique_ptr<LadspaPlugin> load(const std::string& path, const std::string& label,
                                              unsigned long sampleRate, std::string& error);
    ~LadspaPlugin();

    LadspaPlugin(const LadspaPlugin&) = delete;
    LadspaPlugin& operator=(const LadspaPlugin&) = delete;

    const LADSPA_Descriptor& descriptor() const { return *descriptor_; }
    // Instances running side by side: 2 for a mono plug-in, 1 for a stereo one.
    size_t instances() const { return handles_.size(); }

    // Sets a control input port to a value in its natural unit, within the
    // port's bounds. Before start().
    bool setControl(unsigned long port, float value, std::string& error);

    // Activates the instances for blocks of at most blockSize frames.
    void start(unsigned long blockSize);
    // Processes one stereo block: two input and two output channels.
    void process(const float* const* inputs, float* const* outputs, unsigned long frames);

private:
    LadspaPlugin() = default;

    void* library_ = nullptr;
    const LADSPA_Descriptor* descriptor_ = nullptr;
    std::vector<LADSPA_Handle> handles_;
    std::vector<LADSPA_Data> controls_; // one per port, per instance the same values
    std::vector<LADSPA_Data> outputControls_;
    std::vector<unsigned long> audioInputs_, audioOutputs_; // port numbers
    std::vector<std::vector<LADSPA_Data>> inputBuffers_, outputBuffers_;
    bool active_ = false;
};

} // namespace fxhost
