// A VST 2 entry point whose effect record has a dispatcher but no processing
// or parameter functions, for fxhost's refusal tests.
#include "aeffect.h"

namespace
{

VstIntPtr dispatch(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback)
{
    static AEffect effect{};
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatch;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.numParams = 1;
    effect.flags = effFlagsCanReplacing;
    return &effect;
}
