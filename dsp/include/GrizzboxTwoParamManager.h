// The fuzz's parameters: fuzz amount, tone filter cutoff, output level and
// the stomp switch, in host index order.
#ifndef GRIZZBOXTWOPARAMMANAGER_H
#define GRIZZBOXTWOPARAMMANAGER_H

#include "vk_paramManager.h"

constexpr float FUZZ_FILTER_MIN = 400.0f;      // Hz
constexpr float FUZZ_FILTER_MAX = 14000.0f;    // Hz
constexpr float FUZZ_OUTPUT_GAIN_MIN = -40.0f; // dB
constexpr float FUZZ_OUTPUT_GAIN_MAX = 3.0f;   // dB

class GrizzboxTwoParamManager : public vk_paramManager
{
public:
    enum
    {
        kFuzzAmount = 0,
        kFilterAmount = 1,
        kOutputLevel = 2,
        kStompSwitch = 3,
        kNumParams = 4,
    };

    GrizzboxTwoParamManager();
    void getValueString(int32_t id, char* text, int32_t maxLen) override;
};

#endif
