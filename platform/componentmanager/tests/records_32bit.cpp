// Compiled for a 32-bit target only: the records take the classic 32-bit
// host layout there (the header checks their sizes; the offsets are here).
#include <AudioToolbox/AudioUnitUtilities.h>

#include <cstddef>

static_assert(sizeof(void*) == 4, "compile this file with -m32");
static_assert(offsetof(AudioUnitParameterInfo, unitName) == 52);
static_assert(offsetof(AudioUnitParameterInfo, cfNameString) == 60);
static_assert(offsetof(AudioUnitParameterInfo, unit) == 64);
static_assert(offsetof(AudioUnitParameterInfo, flags) == 80);
static_assert(offsetof(AudioUnitConnection, destInputNumber) == 8);
static_assert(offsetof(AUPreset, presetName) == 4);
static_assert(offsetof(AudioUnitParameterEvent, eventValues) == 16);
static_assert(offsetof(AudioUnitExternalBuffer, size) == 4);
static_assert(offsetof(HostCallbackInfo, transportStateProc) == 12);
static_assert(sizeof(AudioStreamBasicDescription) == 40);
static_assert(sizeof(AudioUnitParameter) == 16);

int main()
{
    return 0;
}
