// Parameter manager: per-parameter description (names, unit, range, default,
// kind) and the three forms of its value: the host's 0..1 "VST value", the
// natural value in the parameter's own unit, and the DSP value the signal code
// uses. An effect derives its own manager and declares its parameters in the
// constructor.
#ifndef VK_PARAMMANAGER_H
#define VK_PARAMMANAGER_H

#include "csd_table.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

enum vk_paramTypes : int32_t
{
    kParamLinear = 0,       // min + x * (max - min)
    kParamOnOff = 1,        // on above 0.5
    kParamFrequency = 4,    // exponential curve from min to max
    kParamDecibel = 5,      // fader curve from min to max; DSP value is linear gain
    kParamInteger = 6,      // linear, rounded half up
    kParamBeatDivision = 7, // index 0..14 into the beat divisions
};

// Beat divisions of kParamBeatDivision: display names (five characters) and
// lengths in beats.
constexpr int kNumBeatDivisions = 15;
extern const char* const beatTimeStr[kNumBeatDivisions];
extern const float gBeatMults[kNumBeatDivisions];

class vk_paramManager
{
public:
    vk_paramManager() = default;
    virtual ~vk_paramManager();
    vk_paramManager(const vk_paramManager&) = delete;
    vk_paramManager& operator=(const vk_paramManager&) = delete;

    // Declares (or re-declares) a parameter; its value starts at the default.
    virtual void newParameter(int32_t id, const char* name, const char* shortName,
                              const char* unitName, float minimum, float maximum,
                              float defaultValue, vk_paramTypes kind);

    // Ids that were never declared read as zero / empty and ignore writes;
    // nothing is ever inserted after declaration, so reads are safe from any
    // thread.
    virtual float getVSTvalue(int32_t id);
    virtual void setVSTvalue(int32_t id, float x);
    virtual float getNaturalValue(int32_t id);
    virtual void setNaturalValue(int32_t id, float v);
    virtual float getDSPValue(int32_t id);
    virtual float getDefaultValue(int32_t id);
    virtual float getMinimumValue(int32_t id);
    virtual float getMaximumValue(int32_t id);
    virtual vk_paramTypes getType(int32_t id);

    // Text calls write at most maxLen characters and a terminator at
    // text[maxLen]: text holds maxLen + 1 bytes. A negative maxLen writes
    // nothing.
    // The long name when maxLen > 8, else the short name.
    virtual void getName(int32_t id, char* text, int32_t maxLen);
    virtual std::string getName(int32_t id);
    virtual void getUnitsName(int32_t id, char* text, int32_t maxLen);
    virtual void getValueString(int32_t id, char* text, int32_t maxLen);
    // "%f" of the VST value, at most 8 characters; text holds 9 bytes.
    virtual void getVSTvalueString(int32_t id, char* text);

    virtual float VSTvalueFromNaturalValue(int32_t id, float v);
    virtual float naturalValueFromVSTvalue(int32_t id, float x);
    virtual float dspValueFromNaturalValue(int32_t id, float v);

    // No controller binding in this manager; derived managers may add one.
    virtual void bindMIDICC(int32_t id, int32_t controller);
    virtual void unbindMIDICC(int32_t id);
    virtual void handleMIDICC(int32_t controller, int32_t value);

    // Seconds with "%4.3f" above 1000 ms, else milliseconds with "%3.0f";
    // at most maxLen characters plus the terminator at text[maxLen].
    virtual void floatToTimeStr(char* text, float milliseconds, int32_t maxLen);

    const char* const* getMetricalNames() const { return nullptr; }

private:
    template <typename T> static T find(const std::map<int32_t, T>& map, int32_t id);
    static float load(const std::map<int32_t, std::atomic<float>>& map, int32_t id);
    bool declared(int32_t id) const { return mKind.count(id) != 0; }
    table_struct* tableOf(int32_t id);

    std::map<int32_t, std::atomic<float>> mVSTValue;
    std::map<int32_t, std::atomic<float>> mNaturalValue;
    std::map<int32_t, float> mMinimum;
    std::map<int32_t, float> mMaximum;
    std::map<int32_t, float> mDefault;
    std::map<int32_t, std::string> mName;
    std::map<int32_t, std::string> mShortName;
    std::map<int32_t, std::string> mUnitName;
    std::map<int32_t, vk_paramTypes> mKind;
    std::map<int32_t, table_struct> mTable;
};

#endif
