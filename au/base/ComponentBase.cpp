#include "ComponentBase.h"

OSStatus ComponentBase::ComponentEntryDispatch(ComponentParameters* params, ComponentBase* object)
{
    if (object == nullptr)
        return paramErr;
    switch (params->what)
    {
    case kComponentVersionSelect:
        return object->Version();
    case kComponentCanDoSelect:
    {
        const auto selector = ComponentParameter<SInt16>(params, 0);
        return selector >= kComponentVersionSelect && selector <= kComponentOpenSelect ? 1 : 0;
    }
    case kComponentCloseSelect:
        object->PreDestructor();
        delete object;
        return noErr;
    default:
        return badComponentSelector;
    }
}
