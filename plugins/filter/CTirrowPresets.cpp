#include "CTirrow.h"

#include <cstring>

namespace
{

struct Preset
{
    const char* name;
    float values[CTirrow::kNumParams]; // cutoff, resonance, drive, LPF, BPF, HPF, notch, peak
};

const Preset kFactory[CTirrow::kNumPrograms] = {
    {"Default", {1.0f, 0.0f, 0.0f, 1, 0, 0, 0, 0}},
    {"Low pass filter", {1.0f, 0.2f, 0.2f, 1, 0, 0, 0, 0}},
    {"Hi pass filter", {0.0f, 0.2f, 0.2f, 0, 0, 1, 0, 0}},
    {"Band pass filter", {0.5f, 0.2f, 0.2f, 0, 1, 0, 0, 0}},
    {"Notch filter", {0.5f, 0.2f, 0.2f, 0, 0, 0, 1, 0}},
    {"Peak filter", {0.5f, 0.45f, 0.2f, 0, 0, 0, 0, 1}},
    {"Split (HP + LP)", {0.5f, 0.2f, 0.2f, 1, 0, 1, 0, 0}},
    {"SuperRes (LP + PK)", {0.5f, 0.5f, 0.5f, 1, 0, 0, 0, 1}},
    {"Driven", {0.4f, 0.2f, 1.0f, 0, 0, 1, 0, 0}},
    {"Full ahead warp speed", {0.5f, 0.5f, 1.0f, 1, 1, 1, 1, 1}},
    {"Grimey!", {0.3f, 0.75f, 0.9f, 1, 0, 0, 1, 0}},
    {"Disasterpiece", {0.75f, 0.9f, 0.9f, 0, 1, 0, 0, 1}},
    {"Edge of Madness", {0.8f, 1.0f, 0.9f, 1, 1, 1, 0, 1}},
    {"Do you wish to fight me?", {0.4f, 0.1f, 0.3f, 0, 1, 1, 0, 0}},
    {"Join us at...", {0.2f, 0.1f, 0.4f, 0, 0, 1, 1, 0}},
    {"www.quorlin.example", {0.8f, 0.1f, 0.4f, 1, 1, 0, 0, 0}},
};

} // namespace

void CTirrow::createPresets()
{
    programs = std::make_unique<Program[]>(kNumPrograms);
    for (VstInt32 p = 0; p < kNumPrograms; ++p)
    {
        std::strcpy(programs[p].name, kFactory[p].name);
        std::memcpy(programs[p].values, kFactory[p].values, sizeof programs[p].values);
    }
}
