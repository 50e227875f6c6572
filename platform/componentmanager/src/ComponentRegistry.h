// Internal records of the Component Manager, shared by its sources.
#pragma once

#include <AudioUnit/AudioUnit.h>

#include <string>

struct ComponentRecord
{
    ComponentDescription description{};
    ComponentRoutineUPP entry = nullptr;
    std::string name;
    UInt32 version = 0;
    SInt32 openInstances = 0;
};

struct ComponentInstanceRecord
{
    ComponentRecord* component = nullptr;
    void* storage = nullptr;
    // Entry functions the unit handed out through its fast-dispatch property,
    // read once when the instance opens; null when the unit offers none.
    AudioUnitGetParameterProc fastGetParameter = nullptr;
    AudioUnitSetParameterProc fastSetParameter = nullptr;
    AudioUnitRenderProc fastRender = nullptr;
};

// Reads the fast-dispatch entries of a freshly opened Audio Unit.
void FxCacheFastDispatch(ComponentInstanceRecord* instance);
