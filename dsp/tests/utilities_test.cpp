#include "csd_utilities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The sampling rate is process-wide: every test that changes it puts 44100 back.
class SamplingRate : public ::testing::Test
{
protected:
    void TearDown() override { csd_set_attr(-100, 44100.0f); }
};

TEST_F(SamplingRate, SetsRateAndDerivedValuesInSinglePrecision)
{
    csd_set_attr(-100, 48000.0f);
    EXPECT_EQ(csd_get_attr(-100), 48000.0f);
    EXPECT_EQ(csd_get_attr(5), 0.0f);
    EXPECT_EQ(gAudioSamplingRate, 48000.0f);
    EXPECT_EQ(gAudioSamplingRateReciprocal, 1.0f / 48000.0f);
    EXPECT_EQ(gSamplesPerMillisecond, 48000.0f * 0.001f);
    // Forming the derived values in double would give different floats for
    // some common rates.
    int doubleDiffers = 0;
    for (const float rate : {8000.0f, 11025.0f, 22050.0f, 32000.0f, 44100.0f, 48000.0f, 88200.0f,
                             96000.0f, 176400.0f, 192000.0f})
    {
        csd_set_attr(-100, rate);
        const float millisecondsPerSample = (1.0f / rate) * 0.001f;
        const float samplesPerMillisecond = rate * 0.001f;
        ASSERT_EQ(gMillisecondsPerSample, millisecondsPerSample) << rate;
        ASSERT_EQ(gSamplesPerMillisecond, samplesPerMillisecond) << rate;
        if (millisecondsPerSample != static_cast<float>((1.0 / rate) * 0.001) ||
            samplesPerMillisecond != static_cast<float>(rate * 0.001))
            ++doubleDiffers;
    }
    EXPECT_GT(doubleDiffers, 0);
}

TEST_F(SamplingRate, IgnoresOtherAttributesAndRefusesUnusableRates)
{
    csd_set_attr(-100, 96000.0f);
    for (const float bad :
         {0.0f, -44100.0f, kNaN, kInf, -kInf, std::numeric_limits<float>::denorm_min()})
    {
        csd_set_attr(-100, bad);
        EXPECT_EQ(gAudioSamplingRate, 96000.0f) << bad;
        EXPECT_EQ(gAudioSamplingRateReciprocal, 1.0f / 96000.0f) << bad;
    }
    csd_set_attr(200, 22050.0f);
    EXPECT_EQ(csd_get_attr(-100), 96000.0f);
}

TEST(FastArithmetic, MatchesTheReferenceCases)
{
    struct Case
    {
        const char* what;
        float got;
        float want;
    };
    const Case cases[] = {
        {"clip above", csd_fast_clip(2.0f, -1.0f, 1.0f), 1.0f},
        {"clip below", csd_fast_clip(-3.0f, -1.0f, 1.0f), -1.0f},
        {"clip inside", csd_fast_clip(0.25f, -1.0f, 1.0f), 0.25f},
        {"clip asymmetric", csd_fast_clip(0.7f, 0.0f, 0.5f), 0.5f},
        {"max", csd_fast_max(-2.0f, 3.0f), 3.0f},
        {"max reversed", csd_fast_max(3.0f, -2.0f), 3.0f},
        {"min", csd_fast_min(-2.0f, 3.0f), -2.0f},
        {"min reversed", csd_fast_min(3.0f, -2.0f), -2.0f},
        {"abs", csd_fast_abs(-3.5f), 3.5f},
        {"abs infinity", csd_fast_abs(-kInf), kInf},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
    EXPECT_FALSE(std::signbit(csd_fast_abs(-0.0f)));
    EXPECT_TRUE(std::isnan(csd_fast_abs(-kNaN)));
    EXPECT_FALSE(std::signbit(csd_fast_abs(-kNaN)));
}

TEST(Conversions, DecibelsAndAmplitude)
{
    EXPECT_EQ(csd_utilities_decibels2amplitude(-40.0f), 0.01f);
    EXPECT_EQ(csd_utilities_decibels2amplitude(0.0f), 1.0f);
    EXPECT_EQ(csd_utilities_amplitude2decibels(10.0f), 20.0f);
    EXPECT_EQ(csd_utilities_amplitude2decibels(0.0f), -kInf);
    EXPECT_EQ(csd_utilities_amplitude2decibels(-1.0f), 0.0f);
    EXPECT_EQ(csd_utilities_amplitude2decibels(kNaN), 0.0f);
}

// The exponent 0.05 * d is a float product; the power and the logarithm run
// in double. Sweeping a range shows the results match exactly and that the
// other precision would have been caught.
TEST(Conversions, KeepTheirMixedPrecision)
{
    int exponentDiffers = 0;
    int logDiffers = 0;
    for (int step = -1000; step <= 300; ++step)
    {
        const float d = static_cast<float>(step) * 0.0937f;
        const float single = 0.05f * d;
        const float want = static_cast<float>(std::pow(10.0, static_cast<double>(single)));
        ASSERT_EQ(csd_utilities_decibels2amplitude(d), want) << d;
        if (want != static_cast<float>(std::pow(10.0, 0.05 * static_cast<double>(d))))
            ++exponentDiffers;

        const float a = static_cast<float>(step + 1001) * 0.00731f;
        const float db = static_cast<float>(20.0 * std::log10(static_cast<double>(a)));
        ASSERT_EQ(csd_utilities_amplitude2decibels(a), db) << a;
        if (db != 20.0f * std::log10(a))
            ++logDiffers;
    }
    EXPECT_GT(exponentDiffers, 0);
    EXPECT_GT(logDiffers, 0);
}

TEST(Conversions, ValueTexts)
{
    struct Case
    {
        float x;
        const char* onOff;
        const char* percent;
    };
    const Case cases[] = {
        {0.0f, "Off", "0"},   {-0.0f, "Off", "0"},         {1.0f, "On", "100"},
        {0.257f, "On", "25"}, {-0.257f, "On", "-25"},      {0.999f, "On", "99"},
        {kNaN, "On", "0"},    {1e30f, "On", "2147483647"}, {-1e30f, "On", "-2147483648"},
    };
    for (const Case& c : cases)
    {
        char text[16];
        std::memset(text, 'x', sizeof text);
        float2OnOff(c.x, text);
        EXPECT_STREQ(text, c.onOff) << c.x;
        float2percent(c.x, text);
        EXPECT_STREQ(text, c.percent) << c.x;
    }
}

TEST(Memory, AllocatesZeroedCopiesAndFrees)
{
    auto* block = static_cast<unsigned char*>(csd_mem_alloc(64));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(block[i], 0) << i;
    const char source[] = "abcdefgh";
    csd_memcpy(block + 8, source, sizeof source);
    EXPECT_STREQ(reinterpret_cast<char*>(block + 8), "abcdefgh");
    EXPECT_EQ(block[7], 0);
    csd_mem_free(block);
}
} // namespace
