#include "GrizzboxTwoParamManager.h"

GrizzboxTwoParamManager::GrizzboxTwoParamManager()
{
    newParameter(kFuzzAmount, "Fuzz Amount", "Fuzz Amt", "", 0.0f, 1.0f, 0.1f, kParamLinear);
    newParameter(kFilterAmount, "Filter Amount", "Filter", "Hz", FUZZ_FILTER_MIN, FUZZ_FILTER_MAX,
                 14000.0f, kParamFrequency);
    newParameter(kOutputLevel, "Output Level", "Output", "dB", FUZZ_OUTPUT_GAIN_MIN,
                 FUZZ_OUTPUT_GAIN_MAX, -30.0f, kParamDecibel);
    newParameter(kStompSwitch, "Stomp Switch", "Stomp", "", 0.0f, 1.0f, 1.0f, kParamOnOff);
}

void GrizzboxTwoParamManager::getValueString(int32_t id, char* text, int32_t maxLen)
{
    vk_paramManager::getValueString(id, text, maxLen);
}
