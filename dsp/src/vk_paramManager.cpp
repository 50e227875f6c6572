#include "vk_paramManager.h"

#include "csd_utilities.h"

#include <cmath>
#include <cstdio>
#include <cstring>

const char* const beatTimeStr[kNumBeatDivisions] = {
    "1/32 ", "1/16T", "1/16 ", "1/8 T", "1/16.", "1/8  ", "1/4 T", "1/8. ",
    "1/4  ", "1/2 T", "1/4 .", "1/2  ", "1/1 T", "1/2 .", "1/1  ",
};

const float gBeatMults[kNumBeatDivisions] = {
    0.125f, 1.0f / 6.0f, 0.25f, 1.0f / 3.0f, 0.375f,      0.5f, 2.0f / 3.0f, 0.75f,
    1.0f,   4.0f / 3.0f, 1.5f,  2.0f,        8.0f / 3.0f, 3.0f, 4.0f,
};

namespace
{
constexpr int kTableSize = 1024;
constexpr int kValueTextSize = 61;

// Index into the beat divisions for any float, NaN included.
int beatIndex(float v)
{
    if (!(v >= 0.0f))
        return 0;
    if (v >= static_cast<float>(kNumBeatDivisions - 1))
        return kNumBeatDivisions - 1;
    return static_cast<int>(v);
}

// Truncation toward zero to an int for display, safe for any float.
int displayInteger(float v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483648.0f)
        return 2147483647;
    if (v <= -2147483648.0f)
        return -2147483647 - 1;
    return static_cast<int>(v);
}

float limitUnit(float v)
{
    if (v > 1.0f)
        return 1.0f;
    if (v >= 0.0f)
        return v;
    return 0.0f; // below 0, and NaN from an empty range
}

void copyBounded(char* text, const char* source, int32_t maxLen)
{
    if (maxLen < 0)
        return;
    std::strncpy(text, source, static_cast<size_t>(maxLen));
    text[maxLen] = '\0';
}
} // namespace

vk_paramManager::~vk_paramManager()
{
    for (auto& entry : mTable)
        table_free(&entry.second);
}

template <typename T> T vk_paramManager::find(const std::map<int32_t, T>& map, int32_t id)
{
    const auto it = map.find(id);
    return it == map.end() ? T{} : it->second;
}

float vk_paramManager::load(const std::map<int32_t, std::atomic<float>>& map, int32_t id)
{
    const auto it = map.find(id);
    return it == map.end() ? 0.0f : it->second.load(std::memory_order_relaxed);
}

table_struct* vk_paramManager::tableOf(int32_t id)
{
    const auto it = mTable.find(id);
    return it == mTable.end() ? nullptr : &it->second;
}

void vk_paramManager::newParameter(int32_t id, const char* name, const char* shortName,
                                   const char* unitName, float minimum, float maximum,
                                   float defaultValue, vk_paramTypes kind)
{
    mVSTValue.try_emplace(id, 0.0f);
    mNaturalValue.try_emplace(id, 0.0f);
    mMinimum[id] = minimum;
    mMaximum[id] = maximum;
    mDefault[id] = defaultValue;
    mName[id] = name ? name : "";
    mShortName[id] = shortName ? shortName : "";
    mUnitName[id] = unitName ? unitName : "";
    mKind[id] = kind;

    if (const auto old = mTable.find(id); old != mTable.end())
    {
        table_free(&old->second);
        mTable.erase(old);
    }
    if (kind == kParamFrequency || kind == kParamDecibel)
    {
        table_struct& table = mTable[id];
        table_init(&table, kTableSize);
        table_fill(&table, kind == kParamFrequency ? TABLE_EXPONENTIAL : TABLE_DECIBEL_FADER,
                   minimum, maximum);
    }
    setNaturalValue(id, defaultValue);
}

float vk_paramManager::getVSTvalue(int32_t id)
{
    return load(mVSTValue, id);
}

void vk_paramManager::setVSTvalue(int32_t id, float x)
{
    if (!declared(id))
        return;
    mVSTValue.find(id)->second.store(x, std::memory_order_relaxed);
    mNaturalValue.find(id)->second.store(naturalValueFromVSTvalue(id, x),
                                         std::memory_order_relaxed);
}

float vk_paramManager::getNaturalValue(int32_t id)
{
    return load(mNaturalValue, id);
}

void vk_paramManager::setNaturalValue(int32_t id, float v)
{
    if (!declared(id))
        return;
    mNaturalValue.find(id)->second.store(v, std::memory_order_relaxed);
    mVSTValue.find(id)->second.store(VSTvalueFromNaturalValue(id, v), std::memory_order_relaxed);
}

float vk_paramManager::getDSPValue(int32_t id)
{
    return dspValueFromNaturalValue(id, getNaturalValue(id));
}

float vk_paramManager::getDefaultValue(int32_t id)
{
    return find(mDefault, id);
}

float vk_paramManager::getMinimumValue(int32_t id)
{
    return find(mMinimum, id);
}

float vk_paramManager::getMaximumValue(int32_t id)
{
    return find(mMaximum, id);
}

vk_paramTypes vk_paramManager::getType(int32_t id)
{
    return find(mKind, id);
}

void vk_paramManager::getName(int32_t id, char* text, int32_t maxLen)
{
    const auto& names = maxLen > 8 ? mName : mShortName;
    const auto it = names.find(id);
    copyBounded(text, it == names.end() ? "" : it->second.c_str(), maxLen);
}

std::string vk_paramManager::getName(int32_t id)
{
    return find(mName, id);
}

void vk_paramManager::getUnitsName(int32_t id, char* text, int32_t maxLen)
{
    const auto it = mUnitName.find(id);
    copyBounded(text, it == mUnitName.end() ? "" : it->second.c_str(), maxLen);
}

void vk_paramManager::getValueString(int32_t id, char* text, int32_t maxLen)
{
    char scratch[kValueTextSize] = {};
    const float natural = getNaturalValue(id);
    switch (getType(id))
    {
    case kParamOnOff:
        std::snprintf(scratch, sizeof scratch, "%s", natural > 0.5f ? "On" : "Off");
        break;
    case kParamInteger:
        std::snprintf(scratch, sizeof scratch, "%4d", displayInteger(natural));
        break;
    case kParamBeatDivision:
        std::snprintf(scratch, sizeof scratch, "%s",
                      beatTimeStr[beatIndex(15.0f * getVSTvalue(id))]);
        break;
    default:
        std::snprintf(scratch, sizeof scratch, "%4.0f", static_cast<double>(natural));
        break;
    }
    copyBounded(text, scratch, maxLen);
}

void vk_paramManager::getVSTvalueString(int32_t id, char* text)
{
    char scratch[64] = {};
    std::snprintf(scratch, sizeof scratch, "%f", static_cast<double>(getVSTvalue(id)));
    copyBounded(text, scratch, 8);
}

float vk_paramManager::VSTvalueFromNaturalValue(int32_t id, float v)
{
    const float minimum = getMinimumValue(id);
    const float maximum = getMaximumValue(id);
    float x;
    switch (getType(id))
    {
    case kParamOnOff:
        x = v;
        break;
    case kParamFrequency:
        x = table_inverse_calculate(TABLE_EXPONENTIAL, v, minimum, maximum);
        break;
    case kParamDecibel:
        x = table_inverse_calculate(TABLE_DECIBEL_FADER, v, minimum, maximum);
        break;
    case kParamBeatDivision:
        x = v / 15.0f;
        break;
    default: // linear, integer and unnamed kinds
        x = (v - minimum) / (maximum - minimum);
        break;
    }
    return limitUnit(x);
}

float vk_paramManager::naturalValueFromVSTvalue(int32_t id, float x)
{
    const float minimum = getMinimumValue(id);
    const float maximum = getMaximumValue(id);
    switch (getType(id))
    {
    case kParamOnOff:
        return x > 0.5f ? 1.0f : 0.0f;
    case kParamFrequency:
    case kParamDecibel:
        if (const table_struct* table = tableOf(id))
        {
            // The lookup stores its result in the record it reads; a private
            // record over the shared entries keeps concurrent calls from
            // different threads from writing the same field.
            table_struct reader = {table->count, table->data, 0.0f};
            return table_lookup_clip(&reader, x);
        }
        return 0.0f;
    case kParamInteger:
        return std::trunc((maximum - minimum) * x + minimum + 0.5f);
    case kParamBeatDivision:
        return static_cast<float>(std::trunc(static_cast<double>(x) * 0.99 * 15.0));
    default:
        return (maximum - minimum) * x + minimum;
    }
}

float vk_paramManager::dspValueFromNaturalValue(int32_t id, float v)
{
    const float minimum = getMinimumValue(id);
    const float maximum = getMaximumValue(id);
    if (v > maximum)
        v = maximum;
    else if (minimum > v)
        v = minimum;
    switch (getType(id))
    {
    case kParamDecibel:
        return csd_utilities_decibels2amplitude(v);
    case kParamBeatDivision:
        return gBeatMults[beatIndex(v)];
    default:
        return v;
    }
}

void vk_paramManager::bindMIDICC(int32_t, int32_t) {}

void vk_paramManager::unbindMIDICC(int32_t) {}

void vk_paramManager::handleMIDICC(int32_t, int32_t) {}

void vk_paramManager::floatToTimeStr(char* text, float milliseconds, int32_t maxLen)
{
    if (maxLen < 0)
        return;
    const size_t size = static_cast<size_t>(maxLen) + 1;
    if (milliseconds > 1000.0f)
        std::snprintf(text, size, "%4.3f", static_cast<double>(milliseconds) * 0.001);
    else
        std::snprintf(text, size, "%3.0f", static_cast<double>(milliseconds));
    text[maxLen] = '\0';
}
