#include "processing.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace fxhost
{

ProcessingResult processAudio(VstPlugin& plugin, const Audio& input, size_t frames,
                              VstInt32 blockSize, const BlockSink& sink)
{
    const auto block = static_cast<size_t>(blockSize);
    std::vector<std::vector<float>> inputs(static_cast<size_t>(std::max(0, plugin.numInputs())),
                                           std::vector<float>(block));
    std::vector<std::vector<float>> outputs(static_cast<size_t>(std::max(0, plugin.numOutputs())),
                                            std::vector<float>(block));
    std::vector<float*> inputPointers, outputPointers;
    for (auto& b : inputs)
        inputPointers.push_back(b.data());
    for (auto& b : outputs)
        outputPointers.push_back(b.data());
    // Some plug-ins read the first pointer even without pins.
    inputPointers.push_back(nullptr);
    outputPointers.push_back(nullptr);

    ProcessingResult result;
    frames = std::min(frames, input.frames());
    for (size_t start = 0; start < frames; start += block)
    {
        const auto n = static_cast<VstInt32>(std::min(block, frames - start));
        copyInputBlock(input, start, static_cast<size_t>(n), inputPointers.data(), inputs.size());
        for (auto& b : outputs)
            std::fill(b.begin(), b.begin() + n, 0.0f);

        const auto before = std::chrono::steady_clock::now();
        plugin.process(inputPointers.data(), outputPointers.data(), n);
        const auto after = std::chrono::steady_clock::now();
        result.pluginNanoseconds +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(after - before).count();
        result.frames += static_cast<size_t>(n);

        if (sink && !sink(outputPointers.data(), n, result.frames))
            return result;
    }
    result.completed = true;
    return result;
}

} // namespace fxhost
