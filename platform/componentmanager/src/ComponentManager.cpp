// Registry, instances and dispatch of the in-process Component Manager.
#include "ComponentRegistry.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

namespace
{

struct Registry
{
    std::mutex lock;
    std::vector<std::unique_ptr<ComponentRecord>> components;
    std::unordered_set<ComponentInstanceRecord*> instances;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

bool Matches(const ComponentDescription& have, const ComponentDescription* looking)
{
    if (looking == nullptr)
        return true;
    const auto field = [](OSType want, OSType got) { return want == 0 || want == got; };
    return field(looking->componentType, have.componentType) &&
           field(looking->componentSubType, have.componentSubType) &&
           field(looking->componentManufacturer, have.componentManufacturer);
}

// Position of a registered component; the registry's size when unknown.
// Caller holds the lock.
size_t IndexOf(Registry& registry, Component component)
{
    const auto found =
        std::find_if(registry.components.begin(), registry.components.end(),
                     [component](const auto& record) { return record.get() == component; });
    return static_cast<size_t>(found - registry.components.begin());
}

// Resolves a component, or an instance passed where a component is expected.
// Caller holds the lock.
ComponentRecord* Resolve(Registry& registry, Component component)
{
    if (component == nullptr)
        return nullptr;
    if (IndexOf(registry, component) < registry.components.size())
        return component;
    auto* asInstance = reinterpret_cast<ComponentInstanceRecord*>(component);
    if (registry.instances.count(asInstance) != 0)
        return asInstance->component;
    return nullptr;
}

} // namespace

extern "C" Component FxRegisterComponent(const ComponentDescription* description,
                                         ComponentRoutineUPP entry, const char* name,
                                         UInt32 version)
{
    if (description == nullptr || entry == nullptr)
        return nullptr;
    try
    {
        auto record = std::make_unique<ComponentRecord>();
        record->description = *description;
        record->entry = entry;
        record->name = name != nullptr ? name : "";
        record->version = version;
        Registry& registry = TheRegistry();
        const std::lock_guard<std::mutex> guard(registry.lock);
        registry.components.push_back(std::move(record));
        return registry.components.back().get();
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

extern "C" OSErr UnregisterComponent(Component component)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.lock);
    const size_t index = IndexOf(registry, component);
    if (index == registry.components.size() || component->openInstances > 0)
        return invalidComponentID;
    registry.components.erase(registry.components.begin() + static_cast<ptrdiff_t>(index));
    return noErr;
}

extern "C" Component FindNextComponent(Component prev, const ComponentDescription* looking)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.lock);
    size_t start = 0;
    if (prev != nullptr)
    {
        start = IndexOf(registry, prev);
        if (start == registry.components.size())
            return nullptr;
        ++start;
    }
    for (size_t i = start; i < registry.components.size(); ++i)
        if (Matches(registry.components[i]->description, looking))
            return registry.components[i].get();
    return nullptr;
}

extern "C" SInt32 CountComponents(const ComponentDescription* looking)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.lock);
    return static_cast<SInt32>(std::count_if(registry.components.begin(), registry.components.end(),
                                             [looking](const auto& record)
                                             { return Matches(record->description, looking); }));
}

extern "C" OSErr GetComponentInfo(Component component, ComponentDescription* outDescription)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.lock);
    const ComponentRecord* record = Resolve(registry, component);
    if (record == nullptr)
        return invalidComponentID;
    if (outDescription != nullptr)
        *outDescription = record->description;
    return noErr;
}

extern "C" const char* FxGetComponentName(Component component)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.lock);
    const ComponentRecord* record = Resolve(registry, component);
    return record != nullptr ? record->name.c_str() : nullptr;
}

extern "C" SInt32 FxGetComponentVersionNumber(Component component)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.lock);
    const ComponentRecord* record = Resolve(registry, component);
    return record != nullptr ? static_cast<SInt32>(record->version) : 0;
}

extern "C" OSStatus OpenAComponent(Component component, ComponentInstance* outInstance)
{
    if (outInstance == nullptr)
        return paramErr;
    *outInstance = nullptr;
    Registry& registry = TheRegistry();
    ComponentInstanceRecord* instance = nullptr;
    {
        const std::lock_guard<std::mutex> guard(registry.lock);
        if (component == nullptr || IndexOf(registry, component) == registry.components.size())
            return invalidComponentID;
        instance = new (std::nothrow) ComponentInstanceRecord;
        if (instance == nullptr)
            return memFullErr;
        try
        {
            registry.instances.insert(instance);
        }
        catch (const std::bad_alloc&)
        {
            delete instance;
            return memFullErr;
        }
        instance->component = component;
        ++component->openInstances;
    }

    ComponentParameters call =
        MakeComponentCall(kComponentOpenSelect, {reinterpret_cast<intptr_t>(instance)});
    const ComponentResult result = component->entry(&call, nullptr);
    if (result != noErr)
    {
        const std::lock_guard<std::mutex> guard(registry.lock);
        registry.instances.erase(instance);
        --component->openInstances;
        delete instance;
        return result;
    }
    if (component->description.componentType != kAudioUnitCarbonViewComponentType)
        FxCacheFastDispatch(instance);
    *outInstance = instance;
    return noErr;
}

extern "C" ComponentInstance OpenComponent(Component component)
{
    ComponentInstance instance = nullptr;
    return OpenAComponent(component, &instance) == noErr ? instance : nullptr;
}

extern "C" OSStatus CloseComponent(ComponentInstance instance)
{
    Registry& registry = TheRegistry();
    {
        const std::lock_guard<std::mutex> guard(registry.lock);
        if (instance == nullptr || registry.instances.count(instance) == 0)
            return paramErr;
    }
    ComponentParameters call =
        MakeComponentCall(kComponentCloseSelect, {reinterpret_cast<intptr_t>(instance)});
    const ComponentResult result = instance->component->entry(&call, instance->storage);
    {
        const std::lock_guard<std::mutex> guard(registry.lock);
        registry.instances.erase(instance);
        --instance->component->openInstances;
    }
    delete instance;
    return result;
}

extern "C" Component FxGetComponentOfInstance(ComponentInstance instance)
{
    return instance != nullptr ? instance->component : nullptr;
}

extern "C" void* GetComponentInstanceStorage(ComponentInstance instance)
{
    return instance != nullptr ? instance->storage : nullptr;
}

extern "C" void SetComponentInstanceStorage(ComponentInstance instance, void* storage)
{
    if (instance != nullptr)
        instance->storage = storage;
}

extern "C" SInt32 CountComponentInstances(Component component)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.lock);
    if (component == nullptr || IndexOf(registry, component) == registry.components.size())
        return 0;
    return component->openInstances;
}

extern "C" ComponentResult CallComponentDispatch(ComponentInstance instance,
                                                 ComponentParameters* params)
{
    if (instance == nullptr || params == nullptr)
        return badComponentInstance;
    return instance->component->entry(params, instance->storage);
}

extern "C" ComponentResult CallComponentCanDo(ComponentInstance instance, SInt16 selector)
{
    ComponentParameters call = MakeComponentCall(kComponentCanDoSelect, {selector});
    return CallComponentDispatch(instance, &call);
}

extern "C" ComponentResult CallComponentVersion(ComponentInstance instance)
{
    ComponentParameters call = MakeComponentCall(kComponentVersionSelect, {});
    return CallComponentDispatch(instance, &call);
}
