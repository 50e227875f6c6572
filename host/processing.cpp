#include "processing.h"

namespace fxhost
{

ProcessingResult processAudio(VstPlugin& plugin, const Audio& input, size_t frames,
                              VstInt32 blockSize, const BlockSink& sink)
{
    return processBlocks(
        input, frames, static_cast<size_t>(blockSize),
        static_cast<size_t>(std::max(0, plugin.numInputs())),
        static_cast<size_t>(std::max(0, plugin.numOutputs())),
        [&plugin](float** inputs, float** outputs, size_t n)
        { plugin.process(inputs, outputs, static_cast<VstInt32>(n)); },
        sink);
}

} // namespace fxhost
