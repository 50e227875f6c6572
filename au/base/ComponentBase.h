// Root of every component object (Audio Unit and view), and the entry logic
// that turns Component Manager calls into calls of one object per instance.
//
// Instance storage convention: the storage of an instance holds the object's
// ComponentBase pointer (as void*), so dispatchers and fast-dispatch entries
// can recover the object whatever its most-derived class.
#pragma once

#include <CoreServices/CoreServices.h>

#include <new>

class ComponentBase
{
public:
    explicit ComponentBase(ComponentInstance instance) : mComponentInstance(instance) {}
    virtual ~ComponentBase() = default;
    ComponentBase(const ComponentBase&) = delete;
    ComponentBase& operator=(const ComponentBase&) = delete;

    virtual SInt32 Version() { return 1; }
    virtual void PostConstructor() {}
    virtual void PreDestructor() {}

    ComponentInstance GetComponentInstance() const { return mComponentInstance; }

    // Selectors -4 (version), -3 (can-do) and -2 (close: PreDestructor, then
    // the object is destroyed). A null object answers paramErr.
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, ComponentBase* object);

    static ComponentBase* FromStorage(void* storage)
    {
        return static_cast<ComponentBase*>(storage);
    }
    void* AsStorage() { return static_cast<void*>(this); }

private:
    ComponentInstance mComponentInstance;
};

// Runs a call and converts whatever escapes it into a status: out of memory
// gives memFullErr, a thrown 32-bit status itself, a thrown 16-bit status
// widened, anything else -1.
template <typename Call> OSStatus CatchStatus(Call&& call) noexcept
{
    try
    {
        return call();
    }
    catch (const std::bad_alloc&)
    {
        return memFullErr;
    }
    catch (OSStatus status)
    {
        return status;
    }
    catch (OSErr status)
    {
        return status;
    }
    catch (...)
    {
        return -1;
    }
}

// The entry function of a component class C, for C's own dispatcher taking
// (params, C*). Open creates a C for the new instance, runs its
// PostConstructor and stores it; every other selector goes to C's
// dispatcher with the stored object.
template <typename C> struct ComponentEntryPoint
{
    static OSStatus Dispatch(ComponentParameters* params, void* storage)
    {
        return CatchStatus(
            [&]() -> OSStatus
            {
                if (params->what == kComponentOpenSelect)
                    return Open(ComponentParameter<ComponentInstance>(params, 0));
                C* object = storage != nullptr
                                ? static_cast<C*>(ComponentBase::FromStorage(storage))
                                : nullptr;
                return C::ComponentEntryDispatch(params, object);
            });
    }

private:
    static OSStatus Open(ComponentInstance instance)
    {
        C* object = new C(instance);
        try
        {
            object->PostConstructor();
        }
        catch (...)
        {
            delete object;
            throw;
        }
        SetComponentInstanceStorage(instance, static_cast<ComponentBase*>(object)->AsStorage());
        return noErr;
    }
};
