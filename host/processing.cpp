#include "processing.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace fxhost
{

namespace
{

// Copies one block of the input into the plug-in's input buffers.
void fillInputs(const Audio& input, size_t start, VstInt32 frames,
                std::vector<std::vector<float>>& buffers)
{
    const size_t sources = input.channels.size();
    for (size_t pin = 0; pin < buffers.size(); ++pin)
    {
        float* out = buffers[pin].data();
        if (sources == 0)
        {
            std::fill(out, out + frames, 0.0f);
        }
        else if (buffers.size() == 1 && sources > 1)
        {
            const float scale = 1.0f / static_cast<float>(sources);
            for (VstInt32 i = 0; i < frames; ++i)
            {
                float sum = 0.0f;
                for (const auto& channel : input.channels)
                    sum += channel[start + static_cast<size_t>(i)];
                out[i] = sum * scale;
            }
        }
        else
        {
            const auto& channel = input.channels[pin % sources];
            std::copy_n(channel.begin() + static_cast<std::ptrdiff_t>(start), frames, out);
        }
    }
}

} // namespace

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
        fillInputs(input, start, n, inputs);
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
