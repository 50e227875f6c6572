// fxhost info PATH: what a host learns about a plug-in when it loads it.
#include "au_plugin.h"
#include "commands.h"
#include "vst_plugin.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace fxhost
{

namespace
{

// Plug-in texts are shown on one line: control characters become '?'.
std::string printable(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return text;
}

std::string uniqueIdText(VstInt32 id)
{
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const auto c = static_cast<unsigned char>((static_cast<uint32_t>(id) >> shift) & 0xff);
        if (c >= 0x20 && c < 0x7f && c != '\'')
        {
            text += static_cast<char>(c);
        }
        else
        {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02x", c);
            text += escaped;
        }
    }
    char hex[16];
    std::snprintf(hex, sizeof(hex), "' (0x%08x)", static_cast<uint32_t>(id));
    return text + hex;
}

std::string flagsText(VstInt32 flags)
{
    static const struct
    {
        VstInt32 bit;
        const char* name;
    } kNames[] = {
        {effFlagsHasEditor, "editor"},
        {effFlagsHasClip, "clip"},
        {effFlagsHasVu, "vu"},
        {effFlagsCanMono, "mono"},
        {effFlagsCanReplacing, "replacing"},
        {effFlagsProgramChunks, "chunks"},
        {effFlagsIsSynth, "synth"},
        {effFlagsNoSoundInStop, "no-tail"},
        {effFlagsExtIsAsync, "async"},
        {effFlagsExtHasBuffer, "external-buffer"},
        {effFlagsCanDoubleReplacing, "double-replacing"},
    };
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%04x", static_cast<uint32_t>(flags));
    std::string names;
    for (const auto& n : kNames)
    {
        if (!(flags & n.bit))
            continue;
        names += names.empty() ? "" : ", ";
        names += n.name;
    }
    return names.empty() ? std::string(hex) : std::string(hex) + " (" + names + ")";
}

std::string categoryText(VstIntPtr category)
{
    const char* name = category == kPlugCategEffect    ? " (effect)"
                       : category == kPlugCategSynth   ? " (synth)"
                       : category == kPlugCategUnknown ? " (unknown)"
                                                       : "";
    return std::to_string(category) + name;
}

void line(const char* label, const std::string& value)
{
    std::printf("%-16s%s\n", label, value.c_str());
}

void printPrograms(VstPlugin& plugin)
{
    const VstInt32 count = plugin.numPrograms();
    line("programs:", std::to_string(count));
    constexpr VstInt32 kMaxListed = 128;
    for (VstInt32 i = 0; i < std::min(count, kMaxListed); ++i)
    {
        char name[512] = {};
        if (plugin.dispatch(effGetProgramNameIndexed, i, -1, name) != 1)
        {
            // Without indexed names only the current program's is known.
            if (i == 0)
                std::printf("  current: \"%s\"\n",
                            printable(plugin.text(effGetProgramName)).c_str());
            return;
        }
        name[sizeof(name) - 1] = 0;
        std::printf("  %-4d \"%s\"\n", i, printable(name).c_str());
    }
    if (count > kMaxListed)
        std::printf("  ... %d more\n", count - kMaxListed);
}

void printParameters(VstPlugin& plugin)
{
    struct Row
    {
        std::string index, name, label, display;
    };
    std::vector<Row> rows{{"index", "name", "label", "display"}};
    for (VstInt32 i = 0; i < plugin.numParams(); ++i)
        rows.push_back({std::to_string(i), printable(plugin.text(effGetParamName, i)),
                        printable(plugin.text(effGetParamLabel, i)),
                        printable(plugin.text(effGetParamDisplay, i))});

    line("parameters:", std::to_string(plugin.numParams()));
    if (rows.size() == 1)
        return;
    size_t widths[3] = {0, 0, 0};
    for (const Row& r : rows)
    {
        widths[0] = std::max(widths[0], r.index.size());
        widths[1] = std::max(widths[1], r.name.size());
        widths[2] = std::max(widths[2], r.label.size());
    }
    for (const Row& r : rows)
        std::printf("  %-*s  %-*s  %-*s  %s\n", static_cast<int>(widths[0]), r.index.c_str(),
                    static_cast<int>(widths[1]), r.name.c_str(), static_cast<int>(widths[2]),
                    r.label.c_str(), r.display.c_str());
}

// ---- Audio Unit bundles ----

std::string channelSideText(SInt16 side)
{
    if (side == -1 || side == -2)
        return "any";
    if (side < -2)
        return "up to " + std::to_string(-side);
    return std::to_string(side);
}

std::string channelsText(const std::vector<AUChannelInfo>& configurations)
{
    if (configurations.empty())
        return "not stated (equal counts in and out)";
    std::string text;
    for (const AUChannelInfo& c : configurations)
    {
        text += text.empty() ? "" : "; ";
        if (c.inChannels == -1 && c.outChannels == -1)
            text += "any equal count in and out";
        else
            text +=
                channelSideText(c.inChannels) + " in, " + channelSideText(c.outChannels) + " out";
    }
    return text;
}

std::string unitText(const AudioUnitParameterInfo& info)
{
    std::string text = info.unit == kAudioUnitParameterUnit_Generic   ? "generic"
                       : info.unit == kAudioUnitParameterUnit_Indexed ? "indexed"
                       : info.unit == kAudioUnitParameterUnit_MIDIController
                           ? "MIDI controller"
                           : "unit " + std::to_string(info.unit);
    if (info.unitName != nullptr)
        text += " (" + cfText(info.unitName) + ")";
    return text;
}

std::string valueText(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

std::string versionText(SInt32 version)
{
    const auto v = static_cast<uint32_t>(version);
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u (0x%08x)", v >> 16, (v >> 8) & 0xff, v & 0xff, v);
    return text;
}

void printComponentParameters(AuPlugin& plugin)
{
    const std::vector<AuParameter> parameters = plugin.parameters();
    line("parameters:", std::to_string(parameters.size()));
    if (parameters.empty())
        return;
    std::vector<std::vector<std::string>> rows{
        {"id", "name", "unit", "range", "default", "value", "display"}};
    for (const AuParameter& p : parameters)
        rows.push_back({std::to_string(p.id), printable(p.name), unitText(p.info),
                        valueText(p.info.minValue) + " to " + valueText(p.info.maxValue),
                        valueText(p.info.defaultValue), valueText(plugin.parameterValue(p.id)),
                        printable(plugin.displayText(p.id))});
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    for (size_t r = 0; r < rows.size(); ++r)
    {
        std::string text = " ";
        for (size_t i = 0; i < rows[r].size(); ++i)
        {
            text += " " + rows[r][i];
            if (i + 1 < rows[r].size())
                text += std::string(widths[i] - rows[r][i].size() + 1, ' ');
        }
        std::printf("%s\n", text.c_str());
        if (r == 0 || parameters[r - 1].valueStrings.empty())
            continue;
        std::string values;
        for (size_t v = 0; v < parameters[r - 1].valueStrings.size(); ++v)
            values += (v ? ", " : "") + std::to_string(v) + " \"" +
                      printable(parameters[r - 1].valueStrings[v]) + "\"";
        std::printf("      values: %s\n", values.c_str());
    }
}

int componentInfo(const std::string& path)
{
    std::string error;
    auto plugin = AuPlugin::load(path, error);
    if (!plugin)
        return failure(error);
    // Channels, presets and displays as a host sees them once the effect is
    // initialised: at 44.1 kHz in stereo where the effect allows it.
    const std::vector<AUChannelInfo> configurations = plugin->channelConfigurations();
    if (!plugin->configure(44100.0, 512, 2, error) || !plugin->initialize(error))
        return failure(error);

    const ComponentDescription& d = plugin->description();
    line("bundle:", plugin->bundlePath());
    line("name:", printable(plugin->name()));
    line("component:", "type " + fourCharText(d.componentType) + ", subtype " +
                           fourCharText(d.componentSubType) + ", manufacturer " +
                           fourCharText(d.componentManufacturer));
    line("version:", versionText(plugin->version()));
    line("channels:", channelsText(configurations));
    line("latency:", secondsText(plugin->latency()));
    line("tail:", secondsText(plugin->tailTime()));

    const std::vector<AuPreset> presets = plugin->factoryPresets();
    line("presets:", std::to_string(presets.size()));
    for (const AuPreset& p : presets)
        std::printf("  %-4d \"%s\"\n", static_cast<int>(p.number), printable(p.name).c_str());
    printComponentParameters(*plugin);
    return kExitOk;
}

} // namespace

int runInfo(std::span<char* const> args)
{
    if (args.size() != 1 || std::string_view(args[0]).starts_with("-"))
        return usageError(
            "info takes one argument: the plug-in (a .so, a .vst or a .component bundle)");

    if (isComponentBundle(args[0]))
        return componentInfo(args[0]);
    std::string error;
    auto plugin = VstPlugin::load(args[0], error);
    if (!plugin)
        return failure(error);

    std::string name, vendor, product;
    plugin->textIfAnswered(effGetEffectName, name);
    plugin->textIfAnswered(effGetVendorString, vendor);
    plugin->textIfAnswered(effGetProductString, product);
    const AEffect* e = plugin->effect();

    line("file:", plugin->libraryPath());
    line("name:", printable(name));
    line("vendor:", printable(vendor));
    line("product:", printable(product));
    line("vendor version:", std::to_string(plugin->dispatch(effGetVendorVersion)));
    line("category:", categoryText(plugin->dispatch(effGetPlugCategory)));
    line("unique id:", uniqueIdText(e->uniqueID));
    line("version:", std::to_string(e->version));
    line("inputs:", std::to_string(e->numInputs));
    line("outputs:", std::to_string(e->numOutputs));
    line("flags:", flagsText(e->flags));
    line("latency:", std::to_string(e->initialDelay) + " samples");
    printPrograms(*plugin);
    printParameters(*plugin);
    return kExitOk;
}

} // namespace fxhost
