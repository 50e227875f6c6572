// Every module fed the float values a broken host or a broken saved state can
// produce. Run under AddressSanitizer and UndefinedBehaviorSanitizer, any read
// outside an array or undefined conversion fails the run; the assertions
// check the results that must stay usable.
#include "csd_dsp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
const float kHostile[] = {std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          1e30f,
                          -1e30f,
                          std::numeric_limits<float>::denorm_min(),
                          0.0f,
                          -0.0f,
                          3e9f,
                          -3e9f};

TEST(BadInput, DistortionAndTablesStayFiniteForAnySample)
{
    dist_mxr_struct mxr;
    dist_mxr_init(&mxr);
    dist_mxr_set_attr(&mxr, 630, 0.5f);
    dist_mxr_set_attr(&mxr, 632, 1.0f);
    table_struct table{};
    ASSERT_NE(table_init(&table, 64), nullptr);
    table_fill(&table, TABLE_DECIBEL_FADER, -40.0f, 3.0f);
    for (const float x : kHostile)
    {
        const float y = dist_mxr_dsp(&mxr, x);
        EXPECT_TRUE(std::isfinite(y)) << x;
        EXPECT_LE(std::fabs(y), 0.99f) << x;
        for (float (*lookup)(table_struct*, float) :
             {table_lookup, table_lookup_clip, table_lookup_clip_bipolar})
        {
            const float v = lookup(&table, x);
            EXPECT_GE(v, -83.0f) << x;
            EXPECT_LE(v, 3.0f) << x;
        }
        const float u = table_inverse_lookup(&table, x);
        EXPECT_TRUE(u >= 0.0f && u < 1.0f) << x;
    }
    // Hostile settings: the index stays inside the curve.
    for (const float gain : kHostile)
    {
        dist_mxr_set_attr(&mxr, 630, gain);
        for (const float x : kHostile)
            dist_mxr_dsp(&mxr, x);
    }
    table_free(&table);
}

TEST(BadInput, EveryModuleAcceptsHostileSettingsAndSamples)
{
    filter_2_pole_low_pass_struct lp2;
    filter_butterworth_2P_LP_struct bwl;
    filter_butterworth_2P_HP_struct bwh;
    filter_4P_LP_struct lp4;
    filter_biquad_struct bq;
    filter_average_struct avg;
    filter_multimode_struct mm;
    filter_chamberlin_multimode_struct ch;
    filter_derez_struct dz;
    filter_downsample_struct dn;
    filter_overdrive_struct od;
    dist_clip_struct cl;
    dist_warp_parabola_struct pa;
    dist_warp_sine_struct si;
    filter_2_pole_low_pass_init(&lp2);
    filter_butterworth_2P_LP_init(&bwl);
    filter_butterworth_2P_HP_init(&bwh);
    filter_4P_LP_init(&lp4);
    filter_biquad_init(&bq);
    filter_average_init(&avg);
    filter_multimode_init(&mm);
    filter_chamberlin_multimode_init(&ch);
    filter_derez_init(&dz);
    filter_downsample_init(&dn);
    filter_overdrive_init(&od);
    dist_clip_init(&cl);
    dist_warp_parabola_init(&pa);
    dist_warp_sine_init(&si);

    const int attributes[] = {20,  200, 201, 210, 212, 213, 214, 220,  230,
                              231, 240, 299, 600, 601, 610, 620, -100, 7};
    int finiteOutputs = 0;
    for (const float value : kHostile)
    {
        for (const int a : attributes)
        {
            csd_set_attr(a, value);
            filter_2_pole_low_pass_set_attr(&lp2, a, value);
            filter_butterworth_2P_LP_set_attr(&bwl, a, value);
            filter_butterworth_2P_HP_set_attr(&bwh, a, value);
            filter_4P_LP_set_attr(&lp4, a, value);
            filter_biquad_set_attr(&bq, a, value);
            filter_average_set_attr(&avg, a, value);
            filter_multimode_set_attr(&mm, a, value);
            filter_chamberlin_multimode_set_attr(&ch, a, value);
            filter_derez_set_attr(&dz, a, value);
            filter_downsample_set_attr(&dn, a, value);
            filter_overdrive_set_attr(&od, a, value);
            dist_clip_set_attr(&cl, a, value);
            dist_warp_sine_set_attr(&si, a, value);
        }
        for (const float x : kHostile)
        {
            filter_2_pole_low_pass_dsp(&lp2, x);
            filter_butterworth_2P_LP_dsp(&bwl, x);
            filter_butterworth_2P_HP_dsp(&bwh, x);
            filter_4P_LP_dsp(&lp4, x);
            filter_biquad_dsp(&bq, x);
            filter_multimode_dsp(&mm, x);
            filter_multimode_dsp_morph(&mm, x);
            filter_chamberlin_multimode_dsp(&ch, x);
            filter_downsample_dsp(&dn, x);
            filter_overdrive_dsp(&od, x);
            dist_clip_dsp(&cl, x);
            dist_warp_sine_dsp(&si, x);
            // These three keep no state a bad sample can poison, or guard it.
            finiteOutputs += std::isfinite(filter_average_dsp(&avg, x));
            finiteOutputs += std::isfinite(filter_derez_dsp(&dz, x));
            const float p = dist_warp_parabola_dsp(&pa, x);
            EXPECT_TRUE(std::isnan(x) || (p >= -1.0f && p <= 1.0f)) << x;
        }
    }
    constexpr int kCount = sizeof kHostile / sizeof kHostile[0];
    EXPECT_EQ(finiteOutputs, 2 * kCount * kCount);
    const float rate = csd_get_attr(-100);
    EXPECT_TRUE(std::isfinite(rate) && rate > 0.0f) << rate;
    csd_set_attr(-100, 44100.0f);
    filter_average_free(&avg);
}
} // namespace
