// Runs audio through a started plug-in block by block.
#pragma once

#include "audio_io.h"
#include "vst_plugin.h"

#include <cstdint>
#include <functional>

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

// Feeds input to the plug-in's inputs: a mono input feeds every plug-in
// input, a plug-in with one input gets the mix of all channels, otherwise
// channel i feeds input i (wrapping around when the plug-in has more). The
// plug-in must be configured with blockSize and started.
ProcessingResult processAudio(VstPlugin& plugin, const Audio& input, size_t frames,
                              VstInt32 blockSize, const BlockSink& sink);

} // namespace fxhost
