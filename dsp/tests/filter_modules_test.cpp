#include "csd_utilities.h"
#include "filter_4P_LP.h"
#include "filter_average.h"
#include "filter_biquad.h"
#include "filter_butterworth.h"
#include "filter_chamberlin_multimode.h"
#include "filter_multimode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Feeds `samples` of a signal through `step` and returns the largest
// magnitude of the last `tail` outputs.
double peakAfterSettling(const std::function<float(float)>& step,
                         const std::function<float(int)>& signal, int samples = 20000,
                         int tail = 2000)
{
    double peak = 0.0;
    for (int n = 0; n < samples; ++n)
    {
        const float y = step(signal(n));
        if (n >= samples - tail)
            peak = std::max(peak, std::fabs(static_cast<double>(y)));
    }
    return peak;
}

float sine(int n, double hz)
{
    return static_cast<float>(std::sin(2.0 * kPi * hz * n / 44100.0));
}

// ---- Butterworth sections ----

TEST(Butterworth, DcResponseAndCutoffFromAnyAttribute)
{
    filter_butterworth_2P_LP_struct lp;
    filter_butterworth_2P_HP_struct hp;
    filter_butterworth_2P_LP_init(&lp);
    filter_butterworth_2P_HP_init(&hp);
    EXPECT_EQ(lp.cutoff, 1000.0f);
    float low = 0.0f, high = 0.0f;
    for (int n = 0; n < 2000; ++n)
    {
        low = filter_butterworth_2P_LP_dsp(&lp, 1.0f);
        high = filter_butterworth_2P_HP_dsp(&hp, 1.0f);
    }
    EXPECT_NEAR(low, 1.0f, 1e-4f);
    EXPECT_NEAR(high, 0.0f, 1e-6f);
    EXPECT_EQ(filter_butterworth_2P_LP_get_output(&lp), low);
    EXPECT_EQ(filter_butterworth_2P_HP_get_output(&hp), high);

    filter_butterworth_2P_LP_set_attr(&lp, 201, 2500.0f);
    EXPECT_EQ(lp.cutoff, 2500.0f);
    filter_butterworth_2P_LP_clear(&lp);
    EXPECT_EQ(filter_butterworth_2P_LP_get_output(&lp), 0.0f);
    EXPECT_EQ(filter_butterworth_2P_LP_dsp(&lp, 1.0f), lp.a0);
}

// -3 dB at the cutoff for both sections.
TEST(Butterworth, HalfPowerAtTheCutoff)
{
    filter_butterworth_2P_LP_struct lp;
    filter_butterworth_2P_HP_struct hp;
    filter_butterworth_2P_LP_init(&lp);
    filter_butterworth_2P_HP_init(&hp);
    filter_butterworth_2P_HP_set_attr(&hp, 200, 1000.0f);
    auto tone = [](int n) { return sine(n, 1000.0); };
    EXPECT_NEAR(
        peakAfterSettling([&](float x) { return filter_butterworth_2P_LP_dsp(&lp, x); }, tone),
        std::sqrt(0.5), 0.005);
    EXPECT_NEAR(
        peakAfterSettling([&](float x) { return filter_butterworth_2P_HP_dsp(&hp, x); }, tone),
        std::sqrt(0.5), 0.005);
}

// The low-pass takes its tangent in double from a single-precision angle;
// the high-pass takes a single-precision tangent.
TEST(Butterworth, TangentPrecision)
{
    int lpDiffers = 0, hpDiffers = 0;
    for (int k = 1; k < 200; ++k)
    {
        const float fc = 20.0f + 97.3f * static_cast<float>(k);
        filter_butterworth_2P_LP_struct lp;
        filter_butterworth_2P_HP_struct hp;
        filter_butterworth_2P_LP_init(&lp);
        filter_butterworth_2P_HP_init(&hp);
        filter_butterworth_2P_LP_set_attr(&lp, 200, fc);
        filter_butterworth_2P_HP_set_attr(&hp, 200, fc);

        const float angle = fc * 3.14159265358979f * gAudioSamplingRateReciprocal;
        const float cLp = static_cast<float>(1.0 / std::tan(static_cast<double>(angle)));
        const float wantLp = 1.0f / (1.0f + 1.41421356237f * cLp + cLp * cLp);
        ASSERT_EQ(lp.a0, wantLp) << fc;
        const float cLpSingle = 1.0f / std::tan(angle);
        if (1.0f / (1.0f + 1.41421356237f * cLpSingle + cLpSingle * cLpSingle) != wantLp)
            ++lpDiffers;

        const float cHp = std::tan(fc * 3.14159265358979f / gAudioSamplingRate);
        const float wantHp = 1.0f / (1.0f + 1.41421356237f * cHp + cHp * cHp);
        ASSERT_EQ(hp.a0, wantHp) << fc;
        const float cHpDouble = static_cast<float>(
            std::tan(static_cast<double>(fc * 3.14159265358979f / gAudioSamplingRate)));
        if (1.0f / (1.0f + 1.41421356237f * cHpDouble + cHpDouble * cHpDouble) != wantHp)
            ++hpDiffers;
    }
    EXPECT_GT(lpDiffers, 0);
    EXPECT_GT(hpDiffers, 0);
}

// ---- four-pole low-pass ----

TEST(FourPole, DefaultsUnityDcAndNoRecomputeForEqualValues)
{
    filter_4P_LP_struct f;
    filter_4P_LP_init(&f);
    EXPECT_EQ(filter_4P_LP_get_attr(&f, 200), 20.0f);
    EXPECT_EQ(filter_4P_LP_get_attr(&f, 201), 0.0f);
    EXPECT_EQ(filter_4P_LP_get_attr(&f, 5), 0.0f);
    EXPECT_DOUBLE_EQ(f.fc, 2.0 * 20.0 / 44100.0);
    EXPECT_DOUBLE_EQ(f.gain, std::pow(1.16 * f.fc, 4));

    f.fk = 123.0; // an equal value must leave the coefficients alone
    filter_4P_LP_set_attr(&f, 200, 20.0f);
    EXPECT_EQ(f.fk, 123.0);
    filter_4P_LP_set_attr(&f, 200, 2000.0f);
    EXPECT_DOUBLE_EQ(f.fk, 1.16 * 2.0 * 2000.0 / 44100.0);

    float y = 0.0f;
    for (int n = 0; n < 5000; ++n)
        y = filter_4P_LP_dsp(&f, 1.0f);
    EXPECT_NEAR(y, 1.0f, 1e-3f); // 0.35013 * 1.3^4 is one to five digits
}

TEST(FourPole, ResonanceFeedsBackAndLinkSharesSettings)
{
    filter_4P_LP_struct a, b;
    filter_4P_LP_init(&a);
    filter_4P_LP_init(&b);
    filter_4P_LP_set_attr(&a, 200, 1500.0f);
    filter_4P_LP_set_attr(&a, 201, 5.0f);
    EXPECT_DOUBLE_EQ(a.feedback, 2.0);
    EXPECT_DOUBLE_EQ(a.fb, 2.0 * (1.0 - 0.15 * a.fk * a.fk));

    for (int n = 0; n < 10; ++n)
        filter_4P_LP_dsp(&b, 0.5f);
    const double stage = b.out[2];
    filter_4P_LP_link(&a, &b);
    EXPECT_EQ(b.cutoff, 1500.0f);
    EXPECT_EQ(b.resonance, 5.0f);
    EXPECT_EQ(b.fb, a.fb);
    EXPECT_EQ(b.gain, a.gain);
    EXPECT_EQ(b.decay, a.decay);
    EXPECT_EQ(b.out[2], stage);

    // With resonance the impulse response keeps ringing long after the
    // unresonant one has died away.
    auto tail = [](filter_4P_LP_struct* f)
    {
        filter_4P_LP_clear(f);
        double energy = 0.0;
        for (int n = 0; n < 3000; ++n)
        {
            const float y = filter_4P_LP_dsp(f, n == 0 ? 1.0f : 0.0f);
            if (n >= 1500)
                energy += static_cast<double>(y) * y;
        }
        return energy;
    };
    filter_4P_LP_set_attr(&a, 201, 9.0f);
    const double resonant = tail(&a);
    filter_4P_LP_set_attr(&a, 201, 0.0f);
    const double plain = tail(&a);
    EXPECT_GT(resonant, 1e6 * plain);
    EXPECT_GT(resonant, 1e-12);
}

// The stages run in double; only the output is narrowed.
TEST(FourPole, RunsInDoublePrecision)
{
    filter_4P_LP_struct f;
    filter_4P_LP_init(&f);
    filter_4P_LP_set_attr(&f, 200, 3000.0f);
    filter_4P_LP_set_attr(&f, 201, 3.0f);
    double in[4] = {}, out[4] = {};
    float sin4[4] = {}, sout4[4] = {};
    int singleDiffers = 0;
    for (int n = 0; n < 300; ++n)
    {
        const float x = sine(n, 440.0);
        double s = (x - out[3] * f.fb) * (0.35013 * f.gain);
        for (int k = 0; k < 4; ++k)
        {
            out[k] = s + 0.3 * in[k] + f.decay * out[k];
            in[k] = s;
            s = out[k];
        }
        const float want = static_cast<float>(out[3]);
        ASSERT_EQ(filter_4P_LP_dsp(&f, x), want) << n;

        float t =
            (x - sout4[3] * static_cast<float>(f.fb)) * (0.35013f * static_cast<float>(f.gain));
        for (int k = 0; k < 4; ++k)
        {
            sout4[k] = t + 0.3f * sin4[k] + static_cast<float>(f.decay) * sout4[k];
            sin4[k] = t;
            t = sout4[k];
        }
        if (sout4[3] != want)
            ++singleDiffers;
    }
    EXPECT_GT(singleDiffers, 0);
}

// ---- biquad ----

class Biquad : public ::testing::Test
{
protected:
    void SetUp() override { filter_biquad_init(&bq); }
    double toneGain(double hz)
    {
        filter_biquad_clear(&bq);
        return peakAfterSettling([&](float x) { return filter_biquad_dsp(&bq, x); },
                                 [&](int n) { return sine(n, hz); });
    }
    float dcGain()
    {
        filter_biquad_clear(&bq);
        float y = 0.0f;
        for (int n = 0; n < 20000; ++n)
            y = filter_biquad_dsp(&bq, 1.0f);
        return y;
    }
    filter_biquad_struct bq;
};

TEST_F(Biquad, DefaultIsALowPassWithUnityDcGain)
{
    EXPECT_EQ(bq.frequency, 1000.0f);
    EXPECT_EQ(bq.Q, 1.0f);
    EXPECT_EQ(bq.type, 0);
    EXPECT_EQ(bq.A, 1.0f);
    EXPECT_NEAR(dcGain(), 1.0f, 1e-5f);
    EXPECT_LT(toneGain(8000.0), 0.03);
    EXPECT_EQ(filter_biquad_get_attr(&bq, 200), 0.0f);
}

TEST_F(Biquad, ResponsesByType)
{
    struct Case
    {
        int type;
        float gainDb;
        double hz;
        double low, high; // expected gain range at hz
    };
    const Case cases[] = {
        {1, 0.0f, 100.0, 0.0, 0.02}, // high-pass stops low tones
        {1, 0.0f, 10000.0, 0.95, 1.05},
        {2, 0.0f, 1000.0, 0.95, 1.05}, // band-pass, peak gain Q = 1
        {3, 0.0f, 1000.0, 0.0, 0.001}, // notch removes its centre
        {3, 0.0f, 5000.0, 0.9, 1.05},
        {4, 12.0f, 1000.0, 3.9, 4.05}, // peaking +12 dB at the centre
        {4, 0.0f, 1000.0, 0.9999, 1.0001},
        {5, 0.0f, 3000.0, 0.99, 1.01}, // all-pass keeps the level
        {6, 0.0f, 1000.0, 0.99, 1.01}, // band-pass, 0 dB peak
        {6, 0.0f, 50.0, 0.0, 0.1},
        {7, 6.0f, 20.0, 1.97, 2.01}, // low shelf lifts the bass
        {7, 6.0f, 15000.0, 0.98, 1.03},
        {8, -6.0f, 15000.0, 0.49, 0.53}, // high shelf cuts the treble
        {8, -6.0f, 20.0, 0.98, 1.02},
    };
    for (const Case& c : cases)
    {
        filter_biquad_init(&bq);
        filter_biquad_set_attr(&bq, 212, c.gainDb);
        filter_biquad_set_attr(&bq, 210, static_cast<float>(c.type));
        const double g = toneGain(c.hz);
        EXPECT_GE(g, c.low) << "type " << c.type << " at " << c.hz;
        EXPECT_LE(g, c.high) << "type " << c.type << " at " << c.hz;
    }
}

TEST_F(Biquad, WidthFromQBandwidthOrSlope)
{
    filter_biquad_set_attr(&bq, 210, 6.0f);
    const float alphaQ = bq.alpha;
    EXPECT_EQ(alphaQ, bq.sin_w0 / 2.0f);
    // One octave of bandwidth is about Q 1.41: a narrower band.
    filter_biquad_set_attr(&bq, 214, 1.0f);
    EXPECT_EQ(bq.alpha_mode, 0);
    EXPECT_NEAR(bq.alpha, bq.sin_w0 / (2.0f * 1.4142f), 0.002f);
    EXPECT_LT(toneGain(2000.0), 0.6);
    // A shelf with slope 1 has beta * sin w0 == 2 sqrt(A) alpha and the
    // same alpha as Q = 1/sqrt(2).
    filter_biquad_set_attr(&bq, 212, 6.0f);
    filter_biquad_set_attr(&bq, 210, 7.0f);
    filter_biquad_set_attr(&bq, 213, 1.0f);
    EXPECT_EQ(bq.alpha_mode, 2);
    EXPECT_NEAR(bq.alpha, bq.sin_w0 / (2.0f * 0.70710678f), 1e-6f);
    EXPECT_NEAR(bq.beta * bq.sin_w0, 2.0f * std::sqrt(bq.A) * bq.alpha, 1e-6f);
    for (const float bad : {0.0f, -2.0f, kNaN})
    {
        filter_biquad_set_attr(&bq, 213, bad);
        EXPECT_TRUE(std::isfinite(bq.b0) && std::isfinite(bq.a0_reciprocal)) << bad;
    }
}

TEST_F(Biquad, EqualValuesUnknownTypesDirectCoefficientsAndLink)
{
    bq.b0 = 42.0f; // an equal value must not recompute
    filter_biquad_set_attr(&bq, 200, 1000.0f);
    EXPECT_EQ(bq.b0, 42.0f);
    filter_biquad_set_attr(&bq, 200, 1200.0f);
    EXPECT_NE(bq.b0, 42.0f);

    const float b0 = bq.b0;
    for (const float type : {9.0f, -1.0f, kNaN, 1e20f})
    {
        filter_biquad_set_attr(&bq, 210, type);
        EXPECT_EQ(bq.b0, b0) << type;
    }

    filter_biquad_set_coeffs(&bq, 2.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_EQ(bq.a0_reciprocal, 0.5f);
    filter_biquad_clear(&bq);
    EXPECT_EQ(filter_biquad_dsp(&bq, 0.8f), 0.4f);

    filter_biquad_struct other;
    filter_biquad_init(&other);
    filter_biquad_dsp(&other, 0.3f);
    filter_biquad_set_attr(&bq, 210, 3.0f);
    filter_biquad_set_attr(&bq, 200, 5000.0f);
    filter_biquad_link(&bq, &other);
    EXPECT_EQ(other.frequency, 5000.0f);
    EXPECT_EQ(other.b1, bq.b1);
    EXPECT_EQ(other.a0_reciprocal, bq.a0_reciprocal);
    EXPECT_EQ(other.type, 0); // type is not copied
    EXPECT_EQ(other.x1, 0.3f);
}

// Coefficients in single precision.
TEST_F(Biquad, CoefficientsInSinglePrecision)
{
    int doubleDiffers = 0;
    for (int k = 1; k < 100; ++k)
    {
        const float hz = 37.0f * static_cast<float>(k);
        filter_biquad_set_attr(&bq, 200, hz);
        const float w0 = hz * 6.28318530718f * gAudioSamplingRateReciprocal;
        const float s = std::sin(w0), c = std::cos(w0);
        const float alpha = s / (2.0f * 1.0f);
        ASSERT_EQ(bq.b1, 1.0f - c) << hz;
        ASSERT_EQ(bq.a0_reciprocal, 1.0f / (1.0f + alpha)) << hz;
        const double wd = hz * 2.0 * kPi / 44100.0;
        if (static_cast<float>(1.0 - std::cos(wd)) != bq.b1)
            ++doubleDiffers;
    }
    EXPECT_GT(doubleDiffers, 0);
}

// ---- moving average ----

class Average : public ::testing::Test
{
protected:
    void SetUp() override { filter_average_init(&avg); }
    void TearDown() override { filter_average_free(&avg); }
    filter_average_struct avg;
};

TEST_F(Average, RunningMeanMeanAbsoluteAndRms)
{
    filter_average_set_attr(&avg, 230, 4.0f);
    EXPECT_EQ(filter_average_get_attr(&avg, 230), 4.0f);
    const float ramp[] = {0.25f, 0.5f, 0.75f, 1.0f, 1.0f, 1.0f};
    for (const float want : ramp)
        EXPECT_EQ(filter_average_dsp(&avg, 1.0f), want);
    EXPECT_EQ(filter_average_dsp(&avg, 0.0f), 0.75f); // the oldest 1 leaves

    filter_average_set_attr(&avg, 231, 1.0f);
    EXPECT_EQ(filter_average_get_attr(&avg, 231), 1.0f);
    filter_average_clear(&avg);
    float y = 0.0f;
    for (int n = 0; n < 8; ++n)
        y = filter_average_dsp(&avg, n % 2 ? -0.5f : 0.5f);
    EXPECT_EQ(y, 0.5f);

    filter_average_set_attr(&avg, 231, 2.0f);
    for (int n = 0; n < 8; ++n)
        y = filter_average_dsp(&avg, -2.0f);
    EXPECT_FLOAT_EQ(y, 2.0f);

    filter_average_set_attr(&avg, 231, 7.0f); // unknown mode keeps the last output
    EXPECT_EQ(filter_average_dsp(&avg, 100.0f), y);
}

TEST_F(Average, RefusesBadLengthsAndRestartsOnANewOne)
{
    filter_average_set_attr(&avg, 230, 3.0f);
    for (const float bad : {0.0f, 0.5f, 257.0f, -4.0f, kNaN})
    {
        filter_average_set_attr(&avg, 230, bad);
        EXPECT_EQ(filter_average_get_attr(&avg, 230), 3.0f) << bad;
    }
    for (int n = 0; n < 100; ++n)
        filter_average_dsp(&avg, 5.0f);
    // Changing the length mid-stream starts a clean window.
    filter_average_set_attr(&avg, 230, 2.0f);
    EXPECT_EQ(filter_average_dsp(&avg, 1.0f), 0.5f);
    EXPECT_EQ(filter_average_dsp(&avg, 1.0f), 1.0f);
    for (int n = 0; n < 10; ++n)
        EXPECT_EQ(filter_average_dsp(&avg, 1.0f), 1.0f) << n;

    filter_average_set_attr(&avg, 230, 256.0f);
    for (int n = 0; n < 1000; ++n)
        filter_average_dsp(&avg, n % 3 ? 0.25f : -0.5f);
    EXPECT_NEAR(filter_average_get_output(&avg), 0.0f, 0.002f);
}

// A sample processed in an unknown mode must not shift the window: afterwards
// a constant input still averages to itself.
TEST_F(Average, UnknownModeLeavesTheWindowAlone)
{
    filter_average_set_attr(&avg, 230, 4.0f);
    for (int n = 0; n < 10; ++n)
        filter_average_dsp(&avg, 1.0f);
    filter_average_set_attr(&avg, 231, 5.0f);
    EXPECT_EQ(filter_average_dsp(&avg, 9.0f), 1.0f);
    EXPECT_EQ(filter_average_dsp(&avg, -9.0f), 1.0f);
    filter_average_set_attr(&avg, 231, 0.0f);
    for (int n = 0; n < 20; ++n)
        EXPECT_EQ(filter_average_dsp(&avg, 1.0f), 1.0f) << n;
}

TEST_F(Average, NonFiniteSamplesDoNotPoisonTheWindow)
{
    filter_average_set_attr(&avg, 230, 2.0f);
    filter_average_dsp(&avg, kNaN);
    filter_average_dsp(&avg, std::numeric_limits<float>::infinity());
    EXPECT_EQ(filter_average_dsp(&avg, 1.0f), 0.5f);
    EXPECT_EQ(filter_average_dsp(&avg, 1.0f), 1.0f);
}

// ---- double-sampled multimode ----

TEST(Multimode, MorphWeights)
{
    struct Case
    {
        float morph;
        float low, high, band, notch;
    };
    const Case cases[] = {
        {0.0f, 0, 0, 0, 1}, {1.0f / 3.0f, 1, 0, 0, 0}, {2.0f / 3.0f, 0, 0, 1, 0},
        {1.0f, 0, 1, 0, 0}, {0.5f, 0.5f, 0, 0.5f, 0},  {1.0f / 6.0f, 0.5f, 0, 0, 0.5f},
    };
    filter_multimode_struct f;
    filter_multimode_init(&f);
    EXPECT_EQ(f.weight_notch, 1.0f);
    for (const Case& c : cases)
    {
        filter_multimode_set_attr(&f, 20, c.morph);
        EXPECT_NEAR(f.weight_low, c.low, 1e-6f) << c.morph;
        EXPECT_NEAR(f.weight_high, c.high, 1e-6f) << c.morph;
        EXPECT_NEAR(f.weight_band, c.band, 1e-6f) << c.morph;
        EXPECT_NEAR(f.weight_notch, c.notch, 1e-6f) << c.morph;
    }
}

TEST(Multimode, OffGivesSilenceAndStillFlipsTheOffset)
{
    filter_multimode_struct f;
    filter_multimode_init(&f);
    filter_multimode_set_attr(&f, 299, 0.0f);
    const double before = gFilterMultimodeAntiDenormal;
    EXPECT_EQ(std::fabs(before), 1e-15);
    EXPECT_EQ(filter_multimode_dsp(&f, 0.7f), 0.0f);
    EXPECT_EQ(gFilterMultimodeAntiDenormal, -before);
    filter_multimode_set_attr(&f, 299, 1.0f);
    EXPECT_NE(filter_multimode_dsp(&f, 0.7f), 0.0f);
    EXPECT_EQ(gFilterMultimodeAntiDenormal, before);
}

TEST(Multimode, CoefficientsAttributesAndRateFollow)
{
    filter_multimode_struct f;
    filter_multimode_init(&f);
    EXPECT_EQ(filter_multimode_get_attr(&f, 200), 1000.0f);
    EXPECT_EQ(filter_multimode_get_attr(&f, 201), 0.0f);
    EXPECT_EQ(filter_multimode_get_attr(&f, 210), 0.0f);
    EXPECT_DOUBLE_EQ(f.f, 2.0 * std::sin(kPi * 1000.0 / 88200.0));
    EXPECT_DOUBLE_EQ(f.damp, std::min(2.0, 2.0 / f.f - f.f / 2.0));
    filter_multimode_set_attr(&f, 201, 5.0f);
    EXPECT_DOUBLE_EQ(f.damp, 2.0 * (1.0 - std::pow(0.5, 0.25)));
    filter_multimode_set_attr(&f, 200, 20000.0f);
    EXPECT_EQ(f.f, 0.25);

    csd_set_attr(-100, 96000.0f);
    filter_multimode_set_attr(&f, 200, 1000.0f);
    const double at96k = f.f;
    csd_set_attr(-100, 44100.0f);
    filter_multimode_update_sampling_rate(&f);
    EXPECT_GT(f.f, at96k);
    EXPECT_DOUBLE_EQ(f.f, 2.0 * std::sin(kPi * 1000.0 / 88200.0));
}

// Both passes, the alternating offset and the saturation in double, only
// the output narrowed; every type and the morph path.
TEST(Multimode, TwoPassesInDoublePrecision)
{
    for (int type = 0; type <= 6; ++type)
    {
        filter_multimode_struct f;
        filter_multimode_init(&f);
        filter_multimode_set_attr(&f, 200, 2500.0f);
        filter_multimode_set_attr(&f, 201, 7.0f);
        filter_multimode_set_attr(&f, 210, static_cast<float>(type));
        filter_multimode_set_attr(&f, 20, 0.4f);
        const bool morph = type == 6;
        double low = 0, high = 0, band = 0, notch = 0;
        float sLow = 0, sBand = 0; // the low-pass run in single precision
        int singleDiffers = 0;
        for (int n = 0; n < 200; ++n)
        {
            const float x = sine(n, 700.0);
            const double r = gFilterMultimodeAntiDenormal;
            double sel[2][5];
            for (int pass = 0; pass < 2; ++pass)
            {
                notch = (pass == 0 ? (x + r) * 0.5 : 0.0) - f.damp * band;
                low = f.f * band - (pass == 0 ? r : 0.0) + low;
                high = notch - low;
                band = f.f * high + band;
                const double responses[5] = {low, high, band, notch, low - high};
                std::copy(responses, responses + 5, sel[pass]);
            }
            double s = 0.0;
            if (morph)
                for (int pass = 0; pass < 2; ++pass)
                    s += f.weight_low * sel[pass][0] + f.weight_band * sel[pass][2] +
                         f.weight_high * sel[pass][1] + f.weight_notch * sel[pass][3];
            else if (type <= 4)
                s = sel[0][type] + sel[1][type];
            else
                s = sel[0][1]; // unknown type: the first pass's high-pass
            const float want = static_cast<float>(s / (0.28 * s * s + 1.0));
            const float got =
                morph ? filter_multimode_dsp_morph(&f, x) : filter_multimode_dsp(&f, x);
            ASSERT_EQ(got, want) << "type " << type << " sample " << n;

            if (type != 0)
                continue;
            const float fs = static_cast<float>(f.f);
            const float ds = static_cast<float>(f.damp);
            float sum = 0.0f;
            for (int pass = 0; pass < 2; ++pass)
            {
                const float sNotch = (pass == 0 ? x * 0.5f : 0.0f) - ds * sBand;
                sLow = fs * sBand + sLow;
                sBand = fs * (sNotch - sLow) + sBand;
                sum += sLow;
            }
            if (sum / (0.28f * sum * sum + 1.0f) != want)
                ++singleDiffers;
        }
        if (type == 0)
        {
            EXPECT_GT(singleDiffers, 0);
        }
    }
}

// ---- single-pass multimode ----

TEST(Chamberlin, ResponsesAndUnknownType)
{
    struct Case
    {
        int type;
        double hz;
        double low, high;
    };
    const Case cases[] = {
        {0, 20.0, 0.99, 1.01},   // low-pass passes the bass
        {0, 15000.0, 0.0, 0.05}, // ... and stops the treble
        {1, 15000.0, 0.7, 1.3},
        {2, 20.0, 0.0, 0.05},
        // The tuning 2 sin(pi fc / (2 rate)) puts the centre of this
        // single-pass filter an octave below the set frequency.
        {3, 500.0, 0.0, 0.01}, // notch removes its centre
        {3, 100.0, 0.95, 1.05},
    };
    for (const Case& c : cases)
    {
        filter_chamberlin_multimode_struct f;
        filter_chamberlin_multimode_init(&f);
        filter_chamberlin_multimode_set_attr(&f, 201, 1.0f);
        filter_chamberlin_multimode_set_attr(&f, 210, static_cast<float>(c.type));
        const double g =
            peakAfterSettling([&](float x) { return filter_chamberlin_multimode_dsp(&f, x); },
                              [&](int n) { return sine(n, c.hz); });
        EXPECT_GE(g, c.low) << "type " << c.type << " at " << c.hz;
        EXPECT_LE(g, c.high) << "type " << c.type << " at " << c.hz;
    }

    filter_chamberlin_multimode_struct f;
    filter_chamberlin_multimode_init(&f);
    EXPECT_EQ(f.damp, 2.0);
    EXPECT_EQ(filter_chamberlin_multimode_get_attr(&f, 200), 1000.0f);
    const float y = filter_chamberlin_multimode_dsp(&f, 1.0f);
    filter_chamberlin_multimode_set_attr(&f, 210, 4.0f);
    EXPECT_EQ(filter_chamberlin_multimode_dsp(&f, 1.0f), 0.0f);
    EXPECT_EQ(filter_chamberlin_multimode_get_output(&f), y);
    EXPECT_EQ(filter_chamberlin_multimode_get_attr(&f, 210), 4.0f);
}
} // namespace
