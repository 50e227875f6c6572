// Hosting an Audio Unit effect from a component bundle: registering the
// bundle's components with the Component Manager, opening the effect, choosing
// its channels, and rendering it with AudioUnitRender from an input callback.
#pragma once

#include "audio_io.h"

#include <AudioUnit/AudioUnit.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fxhost
{

// Whether PATH names a component bundle: a folder ending in .component, or a
// folder or .so whose bundle (the folder three levels above the .so) has an
// Info.plist with a "Components" array.
bool isComponentBundle(const std::string& path);

// The host's own identity as effects see it (main bundle identifier and
// version). Set once, before the first bundle is loaded.
void declareHostIdentity();

// "'aufx'" for a four-character code, with escapes for what is not printable.
std::string fourCharText(OSType code);

// A text from a CF string (UTF-8); empty for null.
std::string cfText(CFStringRef string);

struct AuParameter
{
    AudioUnitParameterID id = 0;
    AudioUnitParameterInfo info{};
    std::string name;
    std::vector<std::string> valueStrings; // indexed parameters that name their values
};

struct AuPreset
{
    SInt32 number = 0;
    std::string name;
};

// A MIDI controller change at a frame of the render.
struct ControllerChange
{
    size_t frame = 0;
    UInt8 controller = 0;
    UInt8 value = 0;
};

class AuPlugin
{
public:
    // Registers the bundle at PATH (see isComponentBundle) and opens the
    // first effect component it lists. On failure answers null and sets
    // error to one line.
    static std::unique_ptr<AuPlugin> load(const std::string& path, std::string& error);
    ~AuPlugin();

    AuPlugin(const AuPlugin&) = delete;
    AuPlugin& operator=(const AuPlugin&) = delete;

    AudioUnit unit() const { return unit_; }
    const std::string& bundlePath() const { return bundlePath_; }
    const std::string& name() const { return name_; }
    const ComponentDescription& description() const { return description_; }
    SInt32 version() const { return version_; }

    // The supported (inputs, outputs) pairs; -1 and -2 are the usual wildcards.
    std::vector<AUChannelInfo> channelConfigurations();
    // Picks the channel counts for a source of sourceChannels channels
    // (stereo out where the effect allows it) and sets rate, formats and the
    // largest slice. Answers false with a reason.
    bool configure(double sampleRate, UInt32 maxFrames, int sourceChannels, std::string& error);
    int numInputs() const { return inputs_; }
    int numOutputs() const { return outputs_; }

    bool initialize(std::string& error);

    std::vector<AuParameter> parameters();
    bool setParameter(AudioUnitParameterID id, float value, std::string& error);
    float parameterValue(AudioUnitParameterID id);
    std::string displayText(AudioUnitParameterID id);
    std::vector<AuPreset> factoryPresets();
    bool selectPreset(SInt32 number, std::string& error);
    // Seconds, as the effect reports them.
    double latency();
    double tailTime();

    // The effect's saved state (class info) to and from an .aupreset file;
    // on failure error says why, without naming the file.
    bool saveState(const std::string& path, std::string& error);
    bool restoreState(const std::string& path, std::string& error);

    // Renders frames of input (fed as processAudio in processing.h feeds a
    // VST 2 plug-in) in slices of at most blockSize frames. A controller
    // change starts a new slice at its frame and reaches the effect with that
    // slice, so it takes effect on exactly that sample. sink receives each
    // slice's numOutputs() channels; answering false stops.
    using Sink = std::function<bool(float* const* outputs, UInt32 frames, size_t done)>;
    struct Result
    {
        bool completed = false;
        OSStatus status = noErr;       // the failing call's status
        bool midiRefused = false;      // the failing call was a controller change
        size_t frames = 0;             // frames rendered
        int64_t pluginNanoseconds = 0; // time spent inside AudioUnitRender
    };
    Result render(const Audio& input, size_t frames, UInt32 blockSize,
                  const std::vector<ControllerChange>& changes, const Sink& sink);

private:
    AuPlugin() = default;
    static OSStatus pullInput(void* refCon, AudioUnitRenderActionFlags* flags,
                              const AudioTimeStamp* time, UInt32 bus, UInt32 frames,
                              AudioBufferList* data);

    AudioUnit unit_ = nullptr;
    std::string bundlePath_;
    std::string name_;
    ComponentDescription description_{};
    SInt32 version_ = 0;
    int inputs_ = 2;
    int outputs_ = 2;
    bool initialized_ = false;

    // The input being rendered, for the callback.
    const Audio* source_ = nullptr;
    size_t sourcePosition_ = 0;
};

} // namespace fxhost
