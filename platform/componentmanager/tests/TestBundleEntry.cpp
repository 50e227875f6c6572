// The executable of a test bundle: one small component written straight on
// the call block, as a plug-in's entry function sees it.
#include <AudioUnit/AudioUnit.h>

#include <map>
#include <tuple>
#include <vector>

namespace
{

struct Instance
{
    ComponentInstance self = nullptr;
    std::map<AudioUnitParameterID, AudioUnitParameterValue> parameters;
    std::vector<std::tuple<AudioUnitPropertyID, AudioUnitPropertyListenerProc, void*>> listeners;
};

template <typename T> T Arg(const ComponentParameters* params, size_t index)
{
    return ComponentParameter<T>(params, index);
}

} // namespace

enum
{
    kReportOwnSubtypeSelect = 0x0200, // answers the subtype GetComponentInfo gives the bundle
    kCountPropertyListenersSelect = 0x0201,
};

extern "C" __attribute__((visibility("default"))) ComponentResult
FxTestBundleEntry(ComponentParameters* params, void* storage)
{
    auto* instance = static_cast<Instance*>(storage);
    switch (params->what)
    {
    case kComponentOpenSelect:
    {
        auto* created = new Instance;
        created->self = Arg<ComponentInstance>(params, 0);
        SetComponentInstanceStorage(created->self, created);
        return noErr;
    }
    case kComponentCloseSelect:
        delete instance;
        return noErr;
    case kComponentVersionSelect:
        return 0x00020001;
    case kComponentCanDoSelect:
        return Arg<SInt16>(params, 0) == kAudioUnitGetParameterSelect ? 1 : 0;
    case kAudioUnitGetParameterSelect:
    {
        const auto found = instance->parameters.find(Arg<AudioUnitParameterID>(params, 0));
        if (found == instance->parameters.end())
            return kAudioUnitErr_InvalidParameter;
        *Arg<AudioUnitParameterValue*>(params, 3) = found->second;
        return noErr;
    }
    case kAudioUnitSetParameterSelect:
        instance->parameters[Arg<AudioUnitParameterID>(params, 0)] =
            Arg<AudioUnitParameterValue>(params, 3);
        return noErr;
    case kAudioUnitSetPropertySelect:
    {
        // Any property: accept it and tell its listeners.
        const auto id = Arg<AudioUnitPropertyID>(params, 0);
        for (const auto& [listenedID, proc, refCon] : instance->listeners)
            if (listenedID == id)
                proc(refCon, instance->self, id, Arg<AudioUnitScope>(params, 1),
                     Arg<AudioUnitElement>(params, 2));
        return noErr;
    }
    case kAudioUnitAddPropertyListenerSelect:
        instance->listeners.emplace_back(Arg<AudioUnitPropertyID>(params, 0),
                                         Arg<AudioUnitPropertyListenerProc>(params, 1),
                                         Arg<void*>(params, 2));
        return noErr;
    case kAudioUnitRemovePropertyListenerSelect:
        std::erase_if(instance->listeners,
                      [&](const auto& listener)
                      {
                          return std::get<0>(listener) == Arg<AudioUnitPropertyID>(params, 0) &&
                                 std::get<1>(listener) ==
                                     Arg<AudioUnitPropertyListenerProc>(params, 1);
                      });
        return noErr;
    case kReportOwnSubtypeSelect:
    {
        ComponentDescription description{};
        const OSStatus result =
            GetComponentInfo(reinterpret_cast<Component>(instance->self), &description);
        return result != noErr ? result
                               : static_cast<ComponentResult>(description.componentSubType);
    }
    case kCountPropertyListenersSelect:
        return static_cast<ComponentResult>(instance->listeners.size());
    default:
        return badComponentSelector;
    }
}
