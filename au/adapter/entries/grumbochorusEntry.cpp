// The GrumboChorus effect component's entry, through the generic entry
// logic: open creates a grumbochorus, everything else goes to the Audio Unit
// dispatcher; failures come back as status codes.
#include "grumbochorus.h"

extern "C" __attribute__((visibility("default"))) ComponentResult
grumbochorusEntry(ComponentParameters* params, void* storage)
{
    if (params == nullptr)
        return paramErr;
    return ComponentEntryPoint<grumbochorus>::Dispatch(params, storage);
}
