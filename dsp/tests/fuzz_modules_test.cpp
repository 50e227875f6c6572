#include "csd_utilities.h"
#include "dist_mxr.h"
#include "filter_2_pole_low_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr double kTwoPi = 6.283185307179586;

// The measured points of the distortion curve.
const std::vector<std::pair<int, float>> kMeasured = {
    {0, -0.988682f},   {16, -0.966766f},  {32, -0.939727f},  {48, -0.909791f},  {64, -0.876845f},
    {80, -0.840288f},  {96, -0.799950f},  {112, -0.755068f}, {128, -0.705182f}, {144, -0.649595f},
    {160, -0.585544f}, {176, -0.514007f}, {192, -0.431714f}, {208, -0.337715f}, {224, -0.231045f},
    {240, -0.112705f}, {254, -0.003420f}, {255, 0.000000f},  {256, 0.001333f},  {258, 0.003998f},
    {259, 0.010531f},  {272, 0.112931f},  {288, 0.236449f},  {304, 0.349791f},  {320, 0.448938f},
    {336, 0.534034f},  {352, 0.606625f},  {368, 0.669243f},  {384, 0.722957f},  {400, 0.770322f},
    {416, 0.812374f},  {432, 0.849556f},  {448, 0.882956f},  {464, 0.912916f},  {480, 0.940057f},
    {496, 0.963891f},  {511, 0.980730f},
};

TEST(DistortionCurve, KeepsTheMeasuredPointsAndTheirShape)
{
    const float* table = mxr_distortion_plus_data;
    for (const auto& [index, value] : kMeasured)
        EXPECT_EQ(table[index], value) << "entry " << index;
    EXPECT_EQ(table[1], -0.987793f); // the lowest entry a full-scale input reads

    for (int i = 1; i < MXR_DISTORTION_PLUS_SIZE; ++i)
        EXPECT_GT(table[i], table[i - 1]) << "entry " << i;

    for (size_t k = 1; k < kMeasured.size(); ++k)
    {
        const auto [i0, y0] = kMeasured[k - 1];
        const auto [i1, y1] = kMeasured[k];
        for (int i = i0; i <= i1; ++i)
        {
            const double line = y0 + (y1 - y0) * double(i - i0) / double(i1 - i0);
            EXPECT_LT(std::fabs(table[i] - line), 0.002) << "entry " << i;
        }
    }

    for (int i = 256; i <= 258; ++i)
        EXPECT_NEAR(table[i] - table[i - 1], 0.001333, 2e-6) << "step to " << i;
    for (const int i : {250, 254, 260, 264})
        EXPECT_NEAR(table[i] - table[i - 1], 0.0078, 0.0008) << "step to " << i;
    EXPECT_LT(table[16] - table[15], 0.002);
    EXPECT_LT(table[511] - table[510], 0.002);
}

struct MxrCase
{
    float gain;
    float level;
    float x;
    float want;
};

TEST(DistMxr, ReferenceResults)
{
    const float* table = mxr_distortion_plus_data;
    const MxrCase cases[] = {
        {0.0f, 1.0f, 0.0f, 0.001333f},   // silence reads entry 256
        {0.0f, 1.0f, 1.0f, 0.980730f},   // top of the curve
        {0.0f, 1.0f, -1.0f, -0.987793f}, // -1 reads entry 1, never entry 0
        {0.0f, 1.0f, 5.0f, 0.980730f},   // clipped
        {0.0f, 1.0f, -5.0f, table[1]},   // clipped
        {1.0f, 1.0f, 0.05f, 0.980730f},  // driven to about 1.62, clipped
        {1.0f, 0.5f, 0.05f, 0.5f * 0.980730f},
        {0.0f, 0.25f, 0.0f, static_cast<float>(0.001333f * 0.25)},
        {0.0f, 1.0f, kInf, 0.980730f},
        {0.0f, 1.0f, -kInf, table[1]},
        {0.0f, 1.0f, kNaN, 0.001333f}, // NaN reads the centre, like silence
        {kNaN, 1.0f, 0.5f, 0.001333f},
    };
    for (const MxrCase& c : cases)
    {
        dist_mxr_struct mxr;
        dist_mxr_init(&mxr);
        dist_mxr_set_attr(&mxr, 630, c.gain);
        dist_mxr_set_attr(&mxr, 632, c.level);
        const float y = dist_mxr_dsp(&mxr, c.x);
        EXPECT_FLOAT_EQ(y, c.want) << "gain " << c.gain << " level " << c.level << " x " << c.x;
        EXPECT_EQ(dist_mxr_get_output(&mxr), y);
    }
}

TEST(DistMxr, Attributes)
{
    dist_mxr_struct mxr;
    dist_mxr_init(&mxr);
    EXPECT_EQ(dist_mxr_dsp(&mxr, 0.3f), 0.0f); // silent until a level is set
    dist_mxr_set_attr(&mxr, 630, 0.4f);
    dist_mxr_set_attr(&mxr, 632, 0.7f);
    dist_mxr_set_attr(&mxr, 631, 9.0f);
    EXPECT_EQ(dist_mxr_get_attr(&mxr, 630), 0.4f);
    EXPECT_EQ(dist_mxr_get_attr(&mxr, 632), 0.7f);
    EXPECT_EQ(dist_mxr_get_attr(&mxr, 631), 0.0f);
    dist_mxr_free(&mxr);
}

// The drive and the interpolation's first term and the level run in double,
// the driven sample and the second term in single precision.
TEST(DistMxr, KeepsItsMixedPrecision)
{
    const float* table = mxr_distortion_plus_data;
    const float gain = 0.37f;
    const float level = 0.8f;
    dist_mxr_struct mxr;
    dist_mxr_init(&mxr);
    dist_mxr_set_attr(&mxr, 630, gain);
    dist_mxr_set_attr(&mxr, 632, level);
    int singleDiffers = 0;
    for (int step = -400; step <= 400; ++step)
    {
        const float x = static_cast<float>(step) * 0.0001237f;
        const double drive = static_cast<double>(gain) * 31.415926536 + 1.0;
        const float a = static_cast<float>(x * drive) * 255.0f + 256.0f;
        const int i = static_cast<int>(a);
        const float f = a - static_cast<float>(i);
        const float want =
            static_cast<float>((table[i] * (1.0 - f) + static_cast<double>(f * table[i + 1])) *
                               static_cast<double>(level));
        ASSERT_EQ(dist_mxr_dsp(&mxr, x), want) << x;

        const float allSingle = (table[i] * (1.0f - f) + f * table[i + 1]) * level;
        if (allSingle != want)
            ++singleDiffers;
    }
    EXPECT_GT(singleDiffers, 0);
}

class LowPass : public ::testing::Test
{
protected:
    void SetUp() override { filter_2_pole_low_pass_init(&lp); }
    void TearDown() override
    {
        filter_2_pole_low_pass_free(&lp);
        csd_set_attr(-100, 44100.0f);
    }
    filter_2_pole_low_pass_struct lp;
};

TEST_F(LowPass, InitDefaultsAndUnityGainAtDC)
{
    EXPECT_EQ(filter_2_pole_low_pass_get_attr(&lp, 200), 1000.0f);
    EXPECT_EQ(filter_2_pole_low_pass_get_attr(&lp, 201), 1.0f);
    EXPECT_EQ(filter_2_pole_low_pass_get_attr(&lp, 202), 0.0f);
    EXPECT_DOUBLE_EQ(lp.w, 1000.0 * kTwoPi / 44100.0);
    EXPECT_EQ(lp.k, -1.0);
    float y = 0.0f;
    for (int n = 0; n < 4000; ++n)
        y = filter_2_pole_low_pass_dsp(&lp, 1.0f);
    EXPECT_NEAR(y, 1.0f, 1e-5f);
    EXPECT_EQ(filter_2_pole_low_pass_get_output(&lp), y);
}

TEST_F(LowPass, TinyOrZeroQDampsInsteadOfDividing)
{
    for (const float q : {0.0f, 0.0005f, -3.0f})
    {
        filter_2_pole_low_pass_set_attr(&lp, 201, q);
        EXPECT_EQ(lp.k, -1000.0) << q;
        EXPECT_TRUE(std::isfinite(lp.b1) && std::isfinite(lp.b2) && std::isfinite(lp.a0)) << q;
    }
    filter_2_pole_low_pass_set_attr(&lp, 201, 0.002f);
    EXPECT_DOUBLE_EQ(lp.k, -1.0 / static_cast<double>(0.002f));
}

TEST_F(LowPass, ClearKeepsCoefficientsAndForgetsHistory)
{
    filter_2_pole_low_pass_set_attr(&lp, 200, 3000.0f);
    for (int n = 0; n < 50; ++n)
        filter_2_pole_low_pass_dsp(&lp, n % 7 ? 0.5f : -0.9f);
    const double a0 = lp.a0;
    filter_2_pole_low_pass_clear(&lp);
    EXPECT_EQ(filter_2_pole_low_pass_get_output(&lp), 0.0f);
    EXPECT_EQ(lp.a0, a0);
    EXPECT_EQ(filter_2_pole_low_pass_dsp(&lp, 0.3f), static_cast<float>(a0 * 0.3f));
}

// The rate is read when the cutoff is set, not afterwards.
TEST_F(LowPass, FollowsTheRateOnlyWhenTheCutoffIsSetAgain)
{
    const double w = lp.w;
    csd_set_attr(-100, 48000.0f);
    filter_2_pole_low_pass_set_attr(&lp, 201, 2.0f);
    EXPECT_EQ(lp.w, w);
    filter_2_pole_low_pass_set_attr(&lp, 200, 1000.0f);
    EXPECT_DOUBLE_EQ(lp.w, 1000.0 * kTwoPi / 48000.0);
}

// At high Q the impulse response rings at the cutoff: zero crossings half a
// period apart.
TEST_F(LowPass, RingsAtItsCutoffWhenResonant)
{
    filter_2_pole_low_pass_set_attr(&lp, 200, 2205.0f); // 20 samples per period
    filter_2_pole_low_pass_set_attr(&lp, 201, 30.0f);
    std::vector<int> crossings;
    float previous = filter_2_pole_low_pass_dsp(&lp, 1.0f);
    for (int n = 1; n < 400; ++n)
    {
        const float y = filter_2_pole_low_pass_dsp(&lp, 0.0f);
        if ((previous > 0.0f) != (y > 0.0f))
            crossings.push_back(n);
        previous = y;
    }
    ASSERT_GT(crossings.size(), 20u);
    const double halfPeriod =
        double(crossings.back() - crossings.front()) / double(crossings.size() - 1);
    EXPECT_NEAR(halfPeriod, 10.0, 0.1);
}

// The recursion runs in double, the output is narrowed to float and the
// narrowed value is what the filter remembers.
TEST_F(LowPass, NarrowsEachOutputBeforeRememberingIt)
{
    filter_2_pole_low_pass_set_attr(&lp, 200, 5000.0f);
    filter_2_pole_low_pass_set_attr(&lp, 201, 0.707f);
    const double b1 = lp.b1, b2 = lp.b2, a0 = lp.a0;
    double y1 = 0.0, y2 = 0.0;       // as stated: narrowed history
    double wide1 = 0.0, wide2 = 0.0; // the alternative: full double history
    int differs = 0;
    for (int n = 0; n < 200; ++n)
    {
        const float x = static_cast<float>(std::sin(n * 0.37)) * 0.8f;
        const float want = static_cast<float>(b1 * y1 - b2 * y2 + a0 * x);
        ASSERT_EQ(filter_2_pole_low_pass_dsp(&lp, x), want) << n;
        y2 = y1;
        y1 = want;
        const double wide = b1 * wide1 - b2 * wide2 + a0 * x;
        wide2 = wide1;
        wide1 = wide;
        if (static_cast<float>(wide) != want)
            ++differs;
    }
    EXPECT_GT(differs, 0);
}
} // namespace
