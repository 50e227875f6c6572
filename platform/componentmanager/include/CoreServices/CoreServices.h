// The in-process Component Manager: a registry of components (type, subtype,
// manufacturer, entry function, name), component instances with their
// storage, and the call block through which every selector reaches a
// component's entry function.
//
// Call block. A call carries a selector ("what") and its parameters as
// pointer-wide words, LAST parameter first: params[0] is the last parameter
// of the call. paramSize is the number of parameter bytes in use. Integers are
// stored widened, pointers as intptr_t, and 32-bit floats by their bit pattern
// in the low 32 bits of the word (see ComponentParameterFromFloat32).
//
// Instances. Open and close answer the entry's status when it fails. Opening a component calls its
// entry with kComponentOpenSelect and one parameter, the new instance; the entry keeps its object
// as the instance's storage (SetComponentInstanceStorage). Closing calls the entry with
// kComponentCloseSelect and the instance before the instance is freed. A ComponentInstance may be
// passed where a Component is expected (GetComponentInfo on an instance answers its component's
// description).
//
// Threads. Registration, open and close take a lock; dispatching a call on an
// open instance takes none and may run on any thread.
//
// One registry per process. A bundle carries its own copy of this layer; a
// host that loads bundles exports these functions from its executable (CMake
// ENABLE_EXPORTS, or -rdynamic), so that the bundle's calls bind to the
// host's registry and listener service.
#pragma once

#include <CoreServices/MacTypes.h>

typedef struct ComponentRecord* Component;
typedef struct ComponentInstanceRecord* ComponentInstance;
typedef SInt32 ComponentResult;

struct ComponentDescription
{
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};
typedef struct ComponentDescription ComponentDescription;

enum
{
    kComponentParametersCapacity = 16
};

struct ComponentParameters
{
    UInt8 flags;
    UInt8 paramSize;
    SInt16 what;
    intptr_t params[kComponentParametersCapacity];
};
typedef struct ComponentParameters ComponentParameters;

typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters* params, void* storage);
typedef ComponentRoutineProcPtr ComponentRoutineUPP;

enum
{
    kComponentOpenSelect = -1,
    kComponentCloseSelect = -2,
    kComponentCanDoSelect = -3,
    kComponentVersionSelect = -4,
};

// Status codes of the Component Manager itself.
#define badComponentInstance ((OSStatus)0x80008001)
#define badComponentSelector ((OSStatus)0x80008002)
static const OSStatus invalidComponentID = -3000;
static const OSStatus fnfErr = -43; // a file or folder that is not there

#ifdef __cplusplus
extern "C"
{
#endif

    // Registry. The description's flag words are stored but not matched. The name
    // is copied. Answers null when the entry is null or memory runs out.
    Component FxRegisterComponent(const ComponentDescription* description,
                                  ComponentRoutineUPP entry, const char* name, UInt32 version);
    // Removes a component; refused (invalidComponentID) while instances are open.
    OSErr UnregisterComponent(Component component);
    // Registers every component listed in a bundle's Contents/Info.plist and
    // loads the bundle's executable to find their entry functions. The number
    // registered goes to outCount when given. A bundle that cannot be read, an
    // executable that cannot be loaded or a malformed component list registers
    // nothing and answers an error.
    OSStatus FxRegisterComponentsFromBundle(const char* bundlePath, SInt32* outCount);

    // Lookup: type, subtype and manufacturer of 0 match anything. Components are
    // visited in registration order; prev null starts from the first.
    Component FindNextComponent(Component prev, const ComponentDescription* looking);
    SInt32 CountComponents(const ComponentDescription* looking);
    OSErr GetComponentInfo(Component component, ComponentDescription* outDescription);
    // The registered name; the registry owns the text until the component is
    // unregistered. Null for an unknown component.
    const char* FxGetComponentName(Component component);
    SInt32 FxGetComponentVersionNumber(Component component);

    // Instances. Open and close answer the entry's status when it fails.
    OSStatus OpenAComponent(Component component, ComponentInstance* outInstance);
    ComponentInstance OpenComponent(Component component);
    OSStatus CloseComponent(ComponentInstance instance);
    Component FxGetComponentOfInstance(ComponentInstance instance);
    void* GetComponentInstanceStorage(ComponentInstance instance);
    void SetComponentInstanceStorage(ComponentInstance instance, void* storage);
    SInt32 CountComponentInstances(Component component);

    // Dispatch: hands the call block and the instance's storage to the entry.
    ComponentResult CallComponentDispatch(ComponentInstance instance, ComponentParameters* params);
    // Selector -3: non-zero when the component implements the selector.
    ComponentResult CallComponentCanDo(ComponentInstance instance, SInt16 selector);
    // Selector -4.
    ComponentResult CallComponentVersion(ComponentInstance instance);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include <cstring>
#include <initializer_list>
#include <type_traits>

inline intptr_t ComponentParameterFromFloat32(Float32 value)
{
    UInt32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return static_cast<intptr_t>(bits);
}

// Builds a call block from the parameters in call order.
inline ComponentParameters MakeComponentCall(SInt16 what, std::initializer_list<intptr_t> args)
{
    ComponentParameters call{};
    call.what = what;
    const size_t capacity = kComponentParametersCapacity;
    const size_t count = args.size() < capacity ? args.size() : capacity;
    call.paramSize = static_cast<UInt8>(count * sizeof(intptr_t));
    size_t i = 0;
    for (const intptr_t arg : args)
    {
        if (i == count)
            break;
        call.params[count - 1 - i] = arg;
        ++i;
    }
    return call;
}

inline size_t ComponentParameterCount(const ComponentParameters* params)
{
    return params->paramSize / sizeof(intptr_t);
}

// The raw word of the parameter at position index in call order (0 is the
// first parameter); 0 when the call has fewer parameters.
inline intptr_t ComponentParameterWord(const ComponentParameters* params, size_t index)
{
    const size_t count = ComponentParameterCount(params);
    if (index >= count || count > kComponentParametersCapacity)
        return 0;
    return params->params[count - 1 - index];
}

template <typename T> inline T ComponentParameter(const ComponentParameters* params, size_t index)
{
    const intptr_t word = ComponentParameterWord(params, index);
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<T>(word);
    else if constexpr (std::is_same_v<T, Float32>)
    {
        const UInt32 bits = static_cast<UInt32>(word);
        Float32 value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    else
        return static_cast<T>(word);
}
#endif
