// Compiled with -m32 by the effect_records_32bit test: the layout checks in
// the record headers then hold the 32-bit host layout (AEffect of 144 bytes).
#include "aeffectx.h"

static_assert(sizeof(void*) == 4, "this file must be compiled for a 32-bit target");
static_assert(sizeof(AEffect) == 144);
