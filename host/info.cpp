// fxhost info PATH: what a host learns about a plug-in when it loads it.
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

} // namespace

int runInfo(std::span<char* const> args)
{
    if (args.size() != 1 || std::string_view(args[0]).starts_with("-"))
        return usageError("info takes one argument: the plug-in (a .so or a .vst bundle)");

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
