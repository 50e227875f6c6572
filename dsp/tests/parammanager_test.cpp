#include "GrizzboxTwoParamManager.h"
#include "csd_utilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::string valueString(vk_paramManager& manager, int32_t id, int32_t maxLen = 8)
{
    char text[64];
    std::memset(text, 'x', sizeof text);
    manager.getValueString(id, text, maxLen);
    return text;
}

class FuzzParameters : public ::testing::Test
{
protected:
    GrizzboxTwoParamManager manager;
};

TEST_F(FuzzParameters, DeclaresFourParametersWithHostFacingTexts)
{
    struct Case
    {
        int32_t id;
        const char* shortName;
        const char* longName;
        const char* unit;
        float minimum, maximum, defaultValue;
        vk_paramTypes kind;
        float vstValue;
        const char* display;
    };
    const Case cases[] = {
        {0, "Fuzz Amt", "Fuzz Amount", "", 0.0f, 1.0f, 0.1f, kParamLinear, 0.1f, "   0"},
        {1, "Filter", "Filter Amount", "Hz", 400.0f, 14000.0f, 14000.0f, kParamFrequency, 1.0f,
         "14000"},
        {2, "Output", "Output Level", "dB", -40.0f, 3.0f, -30.0f, kParamDecibel, 0.16707f, " -30"},
        {3, "Stomp", "Stomp Switch", "", 0.0f, 1.0f, 1.0f, kParamOnOff, 1.0f, "On"},
    };
    for (const Case& c : cases)
    {
        char text[16];
        manager.getName(c.id, text, 8);
        EXPECT_STREQ(text, c.shortName);
        EXPECT_EQ(manager.getName(c.id), c.longName);
        manager.getUnitsName(c.id, text, 8);
        EXPECT_STREQ(text, c.unit);
        EXPECT_EQ(manager.getMinimumValue(c.id), c.minimum);
        EXPECT_EQ(manager.getMaximumValue(c.id), c.maximum);
        EXPECT_EQ(manager.getDefaultValue(c.id), c.defaultValue);
        EXPECT_EQ(manager.getType(c.id), c.kind);
        EXPECT_EQ(manager.getNaturalValue(c.id), c.defaultValue);
        EXPECT_NEAR(manager.getVSTvalue(c.id), c.vstValue, 1e-5f) << c.id;
        EXPECT_EQ(valueString(manager, c.id), c.display) << c.id;
    }
    EXPECT_EQ(FUZZ_FILTER_MIN, 400.0f);
    EXPECT_EQ(FUZZ_FILTER_MAX, 14000.0f);
    EXPECT_EQ(FUZZ_OUTPUT_GAIN_MIN, -40.0f);
    EXPECT_EQ(FUZZ_OUTPUT_GAIN_MAX, 3.0f);
    EXPECT_EQ(manager.getMetricalNames(), nullptr);
}

TEST_F(FuzzParameters, HostValuesToNaturalValues)
{
    struct Case
    {
        int32_t id;
        float vst;
        float natural;
        float tolerance;
    };
    const Case cases[] = {
        {0, 0.25f, 0.25f, 0.0f},
        {1, 0.0f, 400.0f, 0.0f},
        {1, 1.0f, 14000.0f, 0.01f},
        {1, 0.5f, 2366.4f, 1.0f},
        {2, 1.0f, 3.0f, 0.0f},
        {2, 0.0f, -40.0f, 0.0f},
        {2, 0.01f, -69.3f, 0.1f},
        {2, 0.094f, -40.0f, 0.2f},
        {3, 0.5f, 0.0f, 0.0f},
        {3, 0.51f, 1.0f, 0.0f},
        // Positions outside 0..1 are held at the ends of the curves.
        {1, 1.5f, 14000.0f, 0.01f},
        {1, -0.5f, 400.0f, 0.0f},
        {1, kNaN, 400.0f, 0.0f},
        {2, 7.0f, 3.0f, 0.0f},
        {2, -1.0f, -40.0f, 0.0f},
    };
    for (const Case& c : cases)
    {
        manager.setVSTvalue(c.id, c.vst);
        EXPECT_NEAR(manager.getNaturalValue(c.id), c.natural, c.tolerance)
            << "id " << c.id << " vst " << c.vst;
        if (!std::isnan(c.vst))
        {
            EXPECT_EQ(manager.getVSTvalue(c.id), c.vst); // stored as given
        }
    }
    manager.setVSTvalue(3, 0.5f);
    EXPECT_EQ(valueString(manager, 3), "Off");
    manager.setVSTvalue(3, 0.51f);
    EXPECT_EQ(valueString(manager, 3), "On");
}

TEST_F(FuzzParameters, NaturalValuesToHostValuesAreLimited)
{
    manager.setNaturalValue(2, -30.0f);
    EXPECT_NEAR(manager.getVSTvalue(2), 0.16707f, 1e-5f);
    manager.setNaturalValue(1, 20000.0f);
    EXPECT_EQ(manager.getVSTvalue(1), 1.0f);
    EXPECT_EQ(manager.getNaturalValue(1), 20000.0f);
    manager.setNaturalValue(1, 100.0f);
    EXPECT_EQ(manager.getVSTvalue(1), 0.0f);
    manager.setNaturalValue(0, -3.0f);
    EXPECT_EQ(manager.getVSTvalue(0), 0.0f);
}

TEST_F(FuzzParameters, DspValuesAreLimitedAndConverted)
{
    manager.setNaturalValue(2, -50.0f);
    EXPECT_EQ(manager.getDSPValue(2), 0.01f);
    manager.setNaturalValue(2, 0.0f);
    EXPECT_EQ(manager.getDSPValue(2), 1.0f);
    manager.setNaturalValue(1, 20000.0f);
    EXPECT_EQ(manager.getDSPValue(1), 14000.0f);
    manager.setNaturalValue(0, 0.5f);
    EXPECT_EQ(manager.getDSPValue(0), 0.5f);
}

TEST_F(FuzzParameters, TextsAreBoundedAndTerminated)
{
    char text[16];
    manager.getName(0, text, 9);
    EXPECT_STREQ(text, "Fuzz Amou");
    manager.getName(0, text, 15);
    EXPECT_STREQ(text, "Fuzz Amount");
    manager.getName(1, text, 3);
    EXPECT_STREQ(text, "Fil");
    EXPECT_EQ(valueString(manager, 1, 2), "14");

    manager.getVSTvalueString(0, text);
    EXPECT_STREQ(text, "0.100000");
    manager.setVSTvalue(1, 123.25f);
    manager.getVSTvalueString(1, text);
    EXPECT_STREQ(text, "123.2500");

    std::memset(text, 'x', sizeof text);
    manager.getName(0, text, -1);
    manager.getValueString(0, text, -1);
    EXPECT_EQ(text[0], 'x');
}

TEST_F(FuzzParameters, UndeclaredIdsReadZeroAndIgnoreWrites)
{
    for (const int32_t id : {-1, 4, 1000})
    {
        manager.setVSTvalue(id, 0.7f);
        manager.setNaturalValue(id, 5.0f);
        EXPECT_EQ(manager.getVSTvalue(id), 0.0f);
        EXPECT_EQ(manager.getNaturalValue(id), 0.0f);
        EXPECT_EQ(manager.getDSPValue(id), 0.0f);
        EXPECT_EQ(manager.getType(id), kParamLinear);
        EXPECT_EQ(manager.getName(id), "");
        char text[16];
        manager.getName(id, text, 8);
        EXPECT_STREQ(text, "");
        manager.getUnitsName(id, text, 8);
        EXPECT_STREQ(text, "");
    }
}

TEST(ParamManager, TimeTexts)
{
    vk_paramManager manager;
    struct Case
    {
        float milliseconds;
        int32_t maxLen;
        const char* want;
    };
    const Case cases[] = {
        {1500.0f, 8, "1.500"}, {250.0f, 8, "250"},  {1000.0f, 8, "1000"},
        {5.4f, 8, "  5"},      {1500.0f, 3, "1.5"}, {1e30f, 6, "100000"},
    };
    for (const Case& c : cases)
    {
        char text[16];
        std::memset(text, 'x', sizeof text);
        manager.floatToTimeStr(text, c.milliseconds, c.maxLen);
        EXPECT_STREQ(text, c.want) << c.milliseconds;
        EXPECT_EQ(text[c.maxLen + 1], 'x') << "wrote past the terminator";
    }
}

// A manager with one parameter of each remaining kind.
class KindsManager : public vk_paramManager
{
public:
    KindsManager()
    {
        newParameter(0, "Steps", "Steps", "", 1.0f, 8.0f, 1.0f, kParamInteger);
        newParameter(1, "Division", "Div", "", 0.0f, 14.0f, 8.0f, kParamBeatDivision);
        newParameter(2, "Width", "Width", "%", 20.0f, 20000.0f, 20.0f, kParamLinear);
        newParameter(3, "Two", "Two", "", -1.0f, 1.0f, 0.0f, static_cast<vk_paramTypes>(2));
        newParameter(4, "Nine", "Nine", "", -1.0f, 1.0f, 0.0f, static_cast<vk_paramTypes>(9));
    }
};

TEST(ParamManager, IntegerAndUnnamedKinds)
{
    KindsManager manager;
    struct Case
    {
        int32_t id;
        float vst;
        float natural;
        const char* display;
    };
    const Case cases[] = {
        {0, 0.5f, 5.0f, "   5"},  {0, 0.0f, 1.0f, "   1"},  {0, 1.0f, 8.0f, "   8"},
        {0, 0.07f, 1.0f, "   1"}, {3, 0.75f, 0.5f, "   0"}, {4, 0.0f, -1.0f, "  -1"},
    };
    for (const Case& c : cases)
    {
        manager.setVSTvalue(c.id, c.vst);
        EXPECT_EQ(manager.getNaturalValue(c.id), c.natural) << c.id << " " << c.vst;
        EXPECT_EQ(valueString(manager, c.id), c.display) << c.id << " " << c.vst;
    }
    manager.setNaturalValue(0, 4.5f);
    EXPECT_EQ(manager.getVSTvalue(0), 0.5f);
    manager.setNaturalValue(4, 0.0f);
    EXPECT_EQ(manager.getVSTvalue(4), 0.5f);
    manager.setVSTvalue(0, kNaN); // no crash, no out-of-range conversion
    EXPECT_EQ(valueString(manager, 0), "   0");
}

// (max - min) * x + min, all in single precision.
TEST(ParamManager, LinearKindInSinglePrecision)
{
    KindsManager manager;
    int doubleDiffers = 0;
    for (int step = 0; step <= 1000; ++step)
    {
        const float x = static_cast<float>(step) * 0.000973f;
        manager.setVSTvalue(2, x);
        const float want = (20000.0f - 20.0f) * x + 20.0f;
        ASSERT_EQ(manager.getNaturalValue(2), want) << x;
        if (static_cast<float>(19980.0 * static_cast<double>(x) + 20.0) != want)
            ++doubleDiffers;
    }
    EXPECT_GT(doubleDiffers, 0);
}

TEST(ParamManager, BeatDivisions)
{
    const char* const names[] = {"1/32 ", "1/16T", "1/16 ", "1/8 T", "1/16.",
                                 "1/8  ", "1/4 T", "1/8. ", "1/4  ", "1/2 T",
                                 "1/4 .", "1/2  ", "1/1 T", "1/2 .", "1/1  "};
    const float beats[] = {0.125f, 1.0f / 6, 0.25f, 1.0f / 3, 0.375f,   0.5f, 2.0f / 3, 0.75f,
                           1.0f,   4.0f / 3, 1.5f,  2.0f,     8.0f / 3, 3.0f, 4.0f};
    for (int i = 0; i < kNumBeatDivisions; ++i)
    {
        EXPECT_STREQ(beatTimeStr[i], names[i]) << i;
        EXPECT_FLOAT_EQ(gBeatMults[i], beats[i]) << i;
    }

    KindsManager manager;
    struct Case
    {
        float vst;
        float natural;
        float dsp;
        const char* display;
    };
    const Case cases[] = {
        {1.0f, 14.0f, 4.0f, "1/1  "},  {0.5f, 7.0f, 0.75f, "1/8. "},
        {0.0f, 0.0f, 0.125f, "1/32 "}, {1.5f, 22.0f, 4.0f, "1/1  "}, // beyond the host range
        {kNaN, kNaN, 0.0f, "1/32 "},
    };
    for (const Case& c : cases)
    {
        manager.setVSTvalue(1, c.vst);
        const float natural = manager.getNaturalValue(1);
        if (std::isnan(c.natural))
        {
            EXPECT_TRUE(std::isnan(natural));
        }
        else
        {
            EXPECT_EQ(natural, c.natural) << c.vst;
            EXPECT_EQ(manager.getDSPValue(1), c.dsp) << c.vst;
        }
        EXPECT_EQ(valueString(manager, 1), c.display) << c.vst;
    }
    manager.setNaturalValue(1, 7.0f);
    EXPECT_EQ(manager.getVSTvalue(1), 7.0f / 15.0f);
}

// Re-declaring a parameter replaces its curve (the old table is released).
TEST(ParamManager, RedeclaringReplacesTheCurve)
{
    vk_paramManager manager;
    manager.newParameter(7, "Cutoff", "Cut", "Hz", 100.0f, 1000.0f, 100.0f, kParamFrequency);
    manager.newParameter(7, "Cutoff", "Cut", "Hz", 20.0f, 20000.0f, 20000.0f, kParamFrequency);
    EXPECT_EQ(manager.getVSTvalue(7), 1.0f);
    manager.setVSTvalue(7, 0.0f);
    EXPECT_EQ(manager.getNaturalValue(7), 20.0f);
    manager.newParameter(7, "Level", "Lvl", "dB", -60.0f, 6.0f, 0.0f, kParamLinear);
    manager.setVSTvalue(7, 1.0f);
    EXPECT_EQ(manager.getNaturalValue(7), 6.0f);
}
} // namespace
