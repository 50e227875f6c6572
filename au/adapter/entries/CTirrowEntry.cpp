// The Tirrow effect component's entry: open creates a CTirrow for the new
// instance, every other selector goes to the adapter's dispatcher (the MIDI
// selectors to its MIDI base), and nothing that fails inside escapes as
// anything but a status.
#include "CTirrow.h"

#include <memory>

extern "C" __attribute__((visibility("default"))) ComponentResult
CTirrowEntry(ComponentParameters* params, void* storage)
{
    if (params == nullptr)
        return paramErr;
    return CatchStatus(
        [&]() -> OSStatus
        {
            if (params->what == kComponentOpenSelect)
            {
                const auto instance = ComponentParameter<ComponentInstance>(params, 0);
                // A constructor that throws leaves nothing behind: the
                // object is freed and the instance keeps no storage.
                auto effect = std::make_unique<CTirrow>(instance);
                effect->PostConstructor();
                SetComponentInstanceStorage(instance,
                                            static_cast<ComponentBase*>(effect.release()));
                return noErr;
            }
            auto* effect = storage != nullptr ? static_cast<AudioEffectX*>(static_cast<AUBase*>(
                                                    ComponentBase::FromStorage(storage)))
                                              : nullptr;
            return AudioEffectX::ComponentEntryDispatch(params, effect);
        });
}
