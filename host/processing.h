// Runs audio through a started plug-in block by block.
#pragma once

#include "audio_io.h"
#include "vst_plugin.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace fxhost
{

// Receives each processed block: numOutputs() channel buffers of frames
// samples, and how many input frames are done so far. Answers false to stop.
using BlockSink = std::function<bool(float* const* outputs, VstInt32 frames, size_t done)>;

struct ProcessingResult
{
    bool completed = false;        // false when the sink stopped it
    size_t frames = 0;             // frames processed
    int64_t pluginNanoseconds = 0; // time spent inside the plug-in's process calls
};

// The block loop every kind of plug-in shares: feeds frames of input in
// blocks of blockSize to numInputs input buffers (as copyInputBlock does),
// clears numOutputs output buffers, calls process(inputs, outputs, n) and
// times that call alone, then hands the outputs to sink (which may be
// empty). The buffers are made before the loop, so nothing in it allocates.
// Both pointer arrays end in a null pointer: some plug-ins read the first
// pointer even without pins.
template <typename Process>
ProcessingResult processBlocks(const Audio& input, size_t frames, size_t blockSize,
                               size_t numInputs, size_t numOutputs, Process&& process,
                               const BlockSink& sink)
{
    std::vector<std::vector<float>> inputs(numInputs, std::vector<float>(blockSize));
    std::vector<std::vector<float>> outputs(numOutputs, std::vector<float>(blockSize));
    std::vector<float*> inputPointers, outputPointers;
    for (auto& b : inputs)
        inputPointers.push_back(b.data());
    for (auto& b : outputs)
        outputPointers.push_back(b.data());
    inputPointers.push_back(nullptr);
    outputPointers.push_back(nullptr);

    ProcessingResult result;
    frames = std::min(frames, input.frames());
    for (size_t start = 0; start < frames; start += blockSize)
    {
        const size_t n = std::min(blockSize, frames - start);
        copyInputBlock(input, start, n, inputPointers.data(), numInputs);
        for (auto& b : outputs)
            std::fill(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n), 0.0f);

        const auto before = std::chrono::steady_clock::now();
        process(inputPointers.data(), outputPointers.data(), n);
        const auto after = std::chrono::steady_clock::now();
        result.pluginNanoseconds +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(after - before).count();
        result.frames += n;

        if (sink && !sink(outputPointers.data(), static_cast<VstInt32>(n), result.frames))
            return result;
    }
    result.completed = true;
    return result;
}

// A VST 2 plug-in's inputs and outputs through processBlocks. The plug-in
// must be configured with blockSize and started.
ProcessingResult processAudio(VstPlugin& plugin, const Audio& input, size_t frames,
                              VstInt32 blockSize, const BlockSink& sink);

} // namespace fxhost
