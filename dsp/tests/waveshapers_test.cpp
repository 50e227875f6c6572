#include "dist_waveshapers.h"
#include "filter_shapers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(Waveshapers, ReferenceResults)
{
    dist_clip_struct clip;
    dist_clip_init(&clip);
    dist_warp_parabola_struct parabola;
    dist_warp_parabola_init(&parabola);
    dist_warp_sine_struct sine;
    dist_warp_sine_init(&sine);
    filter_overdrive_struct od;
    filter_overdrive_init(&od);
    filter_overdrive_set_attr(&od, 240, 2.0f);

    struct Case
    {
        const char* what;
        float x;
        float want;
        float tolerance;
    };
    const Case clipCases[] = {
        {"inside", 0.5f, 0.5f, 0}, {"above", 1.5f, 0.9f, 0}, {"below", -2.0f, -0.9f, 0}};
    for (const Case& c : clipCases)
        EXPECT_EQ(dist_clip_dsp(&clip, c.x), c.want) << c.what;
    const Case parabolaCases[] = {{"half", 0.5f, 0.75f, 0},  {"minus half", -0.5f, -0.75f, 0},
                                  {"beyond", 2.0f, 1.0f, 0}, {"below", -3.0f, -1.0f, 0},
                                  {"zero", 0.0f, 0.0f, 0},   {"top", 1.0f, 1.0f, 0}};
    for (const Case& c : parabolaCases)
        EXPECT_EQ(dist_warp_parabola_dsp(&parabola, c.x), c.want) << c.what;
    const Case sineCases[] = {{"quarter", 0.25f, 1.0f, 0},
                              {"half", 0.5f, 0.0f, 1e-7f},
                              {"minus quarter", -0.25f, -1.0f, 0}};
    for (const Case& c : sineCases)
        EXPECT_NEAR(dist_warp_sine_dsp(&sine, c.x), c.want, c.tolerance) << c.what;
    const Case overdriveCases[] = {{"half", 0.5f, 0.75f, 0},
                                   {"minus half", -0.5f, -0.75f, 0},
                                   {"beyond", 1.5f, 1.0f, 0},
                                   {"below", -1.0f, -1.0f, 0},
                                   {"zero", 0.0f, 0.0f, 0}};
    for (const Case& c : overdriveCases)
        EXPECT_EQ(filter_overdrive_dsp(&od, c.x), c.want) << c.what;

    EXPECT_EQ(dist_clip_get_output(&clip), -0.9f);
    EXPECT_EQ(dist_warp_parabola_get_output(&parabola), 1.0f);
    EXPECT_EQ(dist_warp_sine_get_output(&sine), -1.0f);
    EXPECT_EQ(filter_overdrive_get_output(&od), 0.0f);
}

TEST(Waveshapers, Attributes)
{
    dist_clip_struct clip;
    dist_clip_init(&clip);
    dist_clip_set_attr(&clip, 610, 2.0f);
    dist_clip_set_attr(&clip, 601, 1.0f);
    dist_clip_set_attr(&clip, 600, -1.0f);
    dist_clip_set_attr(&clip, 602, 7.0f);
    EXPECT_EQ(dist_clip_dsp(&clip, 0.3f), 0.6f);
    EXPECT_EQ(dist_clip_dsp(&clip, -0.7f), -1.0f);
    EXPECT_EQ(dist_clip_get_attr(&clip, 610), 2.0f);
    EXPECT_EQ(dist_clip_get_attr(&clip, 601), 1.0f);
    EXPECT_EQ(dist_clip_get_attr(&clip, 600), -1.0f);
    EXPECT_EQ(dist_clip_get_attr(&clip, 602), 0.0f);

    dist_warp_sine_struct sine;
    dist_warp_sine_init(&sine);
    dist_warp_sine_set_attr(&sine, 620, 3.0f);
    EXPECT_EQ(dist_warp_sine_get_attr(&sine, 620), 3.0f);
    EXPECT_EQ(dist_warp_sine_get_attr(&sine, 621), 0.0f);
    EXPECT_EQ(sine.w, 3.0 * 6.283185307179586);
    EXPECT_NEAR(dist_warp_sine_dsp(&sine, 0.25f / 3.0f), 1.0f, 1e-6f);

    filter_overdrive_struct od;
    filter_overdrive_init(&od);
    EXPECT_EQ(filter_overdrive_get_attr(&od, 240), 1.0f);
    EXPECT_FLOAT_EQ(filter_overdrive_dsp(&od, 0.3f), 0.3f); // exponent 1 is linear
}

// The parabola and sine are computed in double and narrowed once.
TEST(Waveshapers, DoublePrecisionCurves)
{
    dist_warp_parabola_struct parabola;
    dist_warp_sine_struct sine;
    dist_warp_sine_init(&sine);
    int parabolaDiffers = 0, sineDiffers = 0;
    for (int k = -1000; k <= 1000; ++k)
    {
        const float x = static_cast<float>(k) * 0.000977f;
        const double dx = x;
        const float wantParabola = static_cast<float>(x > 0.0f ? 1.0 - (dx - 1.0) * (dx - 1.0)
                                                               : (dx + 1.0) * (dx + 1.0) - 1.0);
        ASSERT_EQ(dist_warp_parabola_dsp(&parabola, x), wantParabola) << x;
        const float single =
            x > 0.0f ? 1.0f - (x - 1.0f) * (x - 1.0f) : (x + 1.0f) * (x + 1.0f) - 1.0f;
        if (single != wantParabola)
            ++parabolaDiffers;

        const float wantSine = static_cast<float>(std::sin(dx * 6.283185307179586));
        ASSERT_EQ(dist_warp_sine_dsp(&sine, x), wantSine) << x;
        if (std::sin(x * 6.2831853f) != wantSine)
            ++sineDiffers;
    }
    EXPECT_GT(parabolaDiffers, 0);
    EXPECT_GT(sineDiffers, 0);
}

TEST(BitReducer, KeepsTheTopBits)
{
    filter_derez_struct d;
    filter_derez_init(&d);
    EXPECT_EQ(filter_derez_get_attr(&d, 210), 24.0f);
    const float step = 1.0f / 8388608.0f;
    // 24 bits: truncation toward zero to multiples of 2^-23.
    EXPECT_EQ(filter_derez_dsp(&d, 0.3f), std::trunc(0.3f * 8388608.0f) * step);
    EXPECT_EQ(filter_derez_dsp(&d, 5.5f * step), 5.0f * step);
    EXPECT_EQ(filter_derez_dsp(&d, -5.5f * step), -5.0f * step);

    filter_derez_set_attr(&d, 210, 8.0f);
    EXPECT_EQ(filter_derez_get_attr(&d, 210), 8.0f);
    const int32_t n = static_cast<int32_t>(0.3f * 8388608.0f);
    EXPECT_EQ(filter_derez_dsp(&d, 0.3f), static_cast<float>(n & ~0xffff) * step);
    // Negative samples keep the arithmetic shift's rounding toward -infinity.
    EXPECT_EQ(filter_derez_dsp(&d, -0.3f), static_cast<float>((-n) & ~0xffff) * step);
    EXPECT_EQ(filter_derez_dsp(&d, 65535.0f * step), 0.0f);
    EXPECT_EQ(filter_derez_get_output(&d), 0.0f);

    // Out-of-range input saturates; NaN is silence.
    EXPECT_EQ(filter_derez_dsp(&d, kNaN), 0.0f);
    EXPECT_GT(filter_derez_dsp(&d, kInf), 255.0f);
    EXPECT_LT(filter_derez_dsp(&d, -1e30f), -255.0f);
    filter_derez_set_attr(&d, 210, -100.0f); // shift 124: taken modulo 32
    EXPECT_EQ(filter_derez_dsp(&d, 0.5f), 0.0f);
}

TEST(Downsampler, HoldsEveryNthSample)
{
    struct Case
    {
        float rate;
        float want[8];
    };
    const Case cases[] = {
        {1.0f, {1, 2, 3, 4, 5, 6, 7, 8}},
        {0.5f, {0, 2, 2, 4, 4, 6, 6, 8}},
        {0.25f, {0, 0, 0, 4, 4, 4, 4, 8}},
    };
    for (const Case& c : cases)
    {
        filter_downsample_struct ds;
        filter_downsample_init(&ds);
        filter_downsample_set_attr(&ds, 220, c.rate);
        EXPECT_EQ(filter_downsample_get_attr(&ds, 220), c.rate);
        for (int n = 0; n < 8; ++n)
            EXPECT_EQ(filter_downsample_dsp(&ds, static_cast<float>(n + 1)), c.want[n])
                << "rate " << c.rate << " sample " << n;
        EXPECT_EQ(filter_downsample_get_output(&ds), c.want[7]);
    }
}

TEST(AllPass, DoesNothing)
{
    filter_all_pass_struct a;
    filter_all_pass_init(&a);
    filter_all_pass_set_attr(&a, 200, 1000.0f);
    filter_all_pass_clear(&a);
    EXPECT_EQ(filter_all_pass_dsp(&a, 0.5f), 0.0f);
    EXPECT_EQ(filter_all_pass_get_attr(&a, 200), 0.0f);
    EXPECT_EQ(filter_all_pass_get_output(&a), 0.0f);
    filter_all_pass_free(&a);
}
} // namespace
