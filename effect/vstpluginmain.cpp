// The entry point a VST 2 host looks up after loading the plug-in. Linked into
// each plug-in (target fx_vst_main) and exported from it.
#include "audioeffect.h"

extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster)
{
    // A host that does not answer its version is too old, or no VST host.
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;

    // No exception may cross into the host's C code: a failed construction
    // is a plug-in that could not be created.
    try
    {
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    }
    catch (...)
    {
        return nullptr;
    }
}
