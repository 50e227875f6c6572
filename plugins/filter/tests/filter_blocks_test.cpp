#include "CExpMapper.h"
#include "CSoftShaper.h"
#include "CStateVariableFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using Quorlin::Fx::CSoftShaper;
using Quorlin::Fx::CStateVariableFilter;
using Quorlin::Fx::SvfResponses;
using Quorlin::Utility::CExpMapper;

namespace
{

constexpr float kRate = 44100.0f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr double kPi = 3.14159265358979323846;

// Root-mean-square of one response over the last `window` samples of a sine
// of `hz` run through the filter for `total` samples.
float sineRms(CStateVariableFilter& filter, float hz, int total, int window,
              float SvfResponses::*response)
{
    double sum = 0.0;
    for (int n = 0; n < total; ++n)
    {
        const float x = static_cast<float>(std::sin(2.0 * kPi * hz * n / kRate));
        const float y = filter.step(x).*response;
        if (n >= total - window)
            sum += static_cast<double>(y) * y;
    }
    return static_cast<float>(std::sqrt(sum / window));
}

} // namespace

TEST(CExpMapper, MapsAlongEqualRatioCurveAndClampsTheResult)
{
    struct Case
    {
        float min, max, x, expected, tolerance;
    };
    const Case cases[] = {
        {50, 33075, 0.9f, 17276.0f, 1.0f}, // the filter's mapper at 44.1 kHz
        {50, 33075, 0.0f, 50.0f, 0.01f},
        {50, 33075, 0.5f, 1286.0f, 0.5f}, // geometric mean
        {50, 33075, 1.0f, 33075.0f, 0.05f},
        {50, 33075, 1.2f, 33075.0f, 0.0f}, // only the result is clamped
        {50, 33075, -0.3f, 50.0f, 0.0f},
        {50, 33075, kNaN, 50.0f, 0.0f}, // NaN lands on the bottom of the range
        {0, 1000, 0.0f, 1.0f, 0.0f},    // min <= 0 behaves as min = 1
        {0, 1000, 0.5f, 31.6228f, 0.001f},
        {-5, 1000, 1.5f, 1000.0f, 0.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " at " << c.x);
        CExpMapper mapper(c.min, c.max, c.x);
        EXPECT_NEAR(mapper.getValue(), c.expected, c.tolerance);
        CExpMapper other(c.min, c.max, 0.25f);
        EXPECT_EQ(other.setAndGetValue(c.x), mapper.getValue());
    }
}

TEST(CExpMapper, SetRangeTakesEffectOnlyAtTheNextMapping)
{
    CExpMapper mapper(50, 33075, 1.0f);
    mapper.setRange(100, 200);
    EXPECT_NEAR(mapper.getValue(), 33075.0f, 0.05f);
    mapper.setValue(0.5f);
    EXPECT_NEAR(mapper.getValue(), 141.421f, 0.01f);
    mapper.setValue(3.0f);
    EXPECT_EQ(mapper.getValue(), 200.0f);
}

TEST(CStateVariableFilter, StartsAtPointNineOfTheCutoffRange)
{
    CStateVariableFilter filter(kRate);
    EXPECT_EQ(filter.frequency, 0.9f);
    EXPECT_EQ(filter.resonance, 0.5f);
    EXPECT_NEAR(filter.cutoff, 17276.0f, 1.0f);
    EXPECT_NEAR(filter.f, 2.0 * std::sin(kPi * 17276.0 / 88200.0), 1e-4);
    EXPECT_NEAR(filter.damp, 2.0 * (1.0 - std::pow(0.5, 0.25)), 1e-6);
    EXPECT_EQ(filter.low, 0.0f);
    EXPECT_EQ(filter.band, 0.0f);
    EXPECT_EQ(filter.high, 0.0f);
    EXPECT_EQ(filter.notch, 0.0f);
}

TEST(CStateVariableFilter, CoefficientsFollowCutoffAndResonance)
{
    const float sqrt2 = std::sqrt(2.0f);
    const float heaviestAtTop = 2.0f / sqrt2 - 0.5f * sqrt2; // the stability cap, ~0.7071
    struct Case
    {
        float frequency, resonance, f, damp;
    };
    const Case cases[] = {
        {1.0f, 0.0f, sqrt2, heaviestAtTop},
        {0.938f, 0.0f, sqrt2, heaviestAtTop}, // cutoff just past 22050 Hz: f stops rising
        {0.95f, 1.0f, sqrt2, 0.0f},
        {0.0f, 1.0f, 0.00356194f, 0.0f}, // 50 Hz
        {0.0f, 0.0f, 0.00356194f, 2.0f},
        {0.0f, 0.5f, 0.00356194f, 0.318207f},
        {0.0f, 1.5f, 0.00356194f, 0.0f},  // resonance clamped to 1
        {0.0f, -0.2f, 0.00356194f, 2.0f}, // and to 0
        {0.0f, kNaN, 0.00356194f, 2.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << "frequency " << c.frequency << " resonance " << c.resonance);
        CStateVariableFilter filter(kRate);
        filter.setFrequency(c.frequency);
        filter.setResonance(c.resonance);
        EXPECT_NEAR(filter.f, c.f, 1e-6f);
        EXPECT_NEAR(filter.damp, c.damp, 1e-5f);
    }

    CStateVariableFilter below(kRate);
    below.setFrequency(0.93f); // about 21000 Hz
    EXPECT_LT(below.cutoff, 22050.0f);
    EXPECT_LT(below.f, sqrt2 - 0.01f);
}

TEST(CStateVariableFilter, SampleRateChangeRemapsTheCutoffAndKeepsTheState)
{
    CStateVariableFilter filter(kRate);
    filter.setFrequency(0.5f);
    for (int n = 0; n < 100; ++n)
        filter.step(1.0f);
    const float low = filter.low;
    const float band = filter.band;

    filter.setSampleRate(96000.0f);
    EXPECT_NEAR(filter.cutoff, std::sqrt(50.0f * 72000.0f), 0.5f);
    EXPECT_NEAR(filter.f, 2.0 * std::sin(kPi * filter.cutoff / 192000.0), 1e-5);
    EXPECT_EQ(filter.low, low);
    EXPECT_EQ(filter.band, band);

    // A broken rate still leaves usable coefficients.
    for (float rate : {0.0f, -48000.0f, kNaN})
    {
        filter.setSampleRate(rate);
        EXPECT_TRUE(std::isfinite(filter.f) && filter.f >= 0.0f) << rate;
        EXPECT_TRUE(std::isfinite(filter.damp)) << rate;
    }
}

TEST(CStateVariableFilter, ConstantInputSettlesToUnityLowPassAndNothingElse)
{
    for (float frequency : {0.1f, 0.5f, 0.95f})
    {
        SCOPED_TRACE(frequency);
        CStateVariableFilter filter(kRate);
        filter.setFrequency(frequency);
        filter.setResonance(0.3f);
        SvfResponses out;
        for (int n = 0; n < 44100; ++n)
            out = filter.step(1.0f);
        EXPECT_NEAR(out.low, 1.0f, 1e-4f);
        EXPECT_NEAR(out.band, 0.0f, 1e-4f);
        EXPECT_NEAR(out.high, 0.0f, 1e-4f);
        EXPECT_NEAR(out.notch, 1.0f, 1e-4f);
        EXPECT_NEAR(out.peak, 1.0f, 1e-4f);
    }
}

TEST(CStateVariableFilter, NotchRemovesItsCentreAndPassesFarFrequencies)
{
    CStateVariableFilter filter(kRate);
    filter.setFrequency(0.5f);
    filter.setResonance(0.0f);
    const float centre = filter.cutoff; // about 1286 Hz
    EXPECT_LT(sineRms(filter, centre, 22050, 4410, &SvfResponses::notch), 0.01f);

    CStateVariableFilter far(kRate);
    far.setFrequency(0.5f);
    far.setResonance(0.0f);
    EXPECT_NEAR(sineRms(far, 40.0f, 44100, 4410, &SvfResponses::notch), std::sqrt(0.5f), 0.02f);

    // The band-pass peaks at the same frequency, with a gain of 1 / damp.
    CStateVariableFilter band(kRate);
    band.setFrequency(0.5f);
    band.setResonance(0.2f);
    EXPECT_NEAR(sineRms(band, centre, 44100, 4410, &SvfResponses::band),
                std::sqrt(0.5f) / band.damp, 0.02f);
}

TEST(CStateVariableFilter, RingsWithoutDecayAtFullResonanceOnly)
{
    const auto ringing = [](float resonance)
    {
        CStateVariableFilter filter(kRate);
        filter.setFrequency(0.5f);
        filter.setResonance(resonance);
        float early = 0.0f, late = 0.0f;
        for (int n = 0; n < 44100; ++n)
        {
            const float y = std::fabs(filter.step(n == 0 ? 1.0f : 0.0f).band);
            if (n >= 1000 && n < 2000)
                early = std::max(early, y);
            if (n >= 43100)
                late = std::max(late, y);
        }
        return late / early;
    };
    EXPECT_NEAR(ringing(1.0f), 1.0f, 0.02f);
    EXPECT_LT(ringing(0.99f), 0.5f);
}

TEST(CStateVariableFilter, RecoversFromANonFiniteInput)
{
    for (float bad : {kNaN, std::numeric_limits<float>::infinity()})
    {
        CStateVariableFilter filter(kRate);
        filter.setFrequency(0.5f);
        EXPECT_FALSE(filter.resetStateIfNotFinite());
        filter.step(0.5f);
        filter.step(bad);
        filter.step(0.5f);
        EXPECT_TRUE(filter.resetStateIfNotFinite());
        const SvfResponses out = filter.step(0.5f);
        for (float y : {out.low, out.band, out.high, out.notch, out.peak})
            EXPECT_TRUE(std::isfinite(y));
        EXPECT_FALSE(filter.resetStateIfNotFinite());
    }
}

TEST(CSoftShaper, PassesSamplesUnchangedUntilTheFirstDrive)
{
    const CSoftShaper shaper;
    for (float x : {0.0f, 0.3f, -2.0f, 1000.0f})
        EXPECT_EQ(shaper.shape(x), x);
    EXPECT_EQ(shaper.getDrive(), 0.0f);
}

TEST(CSoftShaper, CurveMatchesKnownPointsAndIsOdd)
{
    struct Case
    {
        float drive, x, y;
    };
    const Case cases[] = {
        {0.0f, 0.1f, 0.1789f}, {0.0f, 0.5f, 0.6623f}, {0.0f, 2.0f, 1.3423f},
        {1.0f, 0.1f, 0.9174f}, {1.0f, 0.5f, 0.9901f}, {1.0f, 2.0f, 1.0050f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "drive " << c.drive << " x " << c.x);
        CSoftShaper shaper;
        shaper.setDrive(c.drive);
        EXPECT_NEAR(shaper.shape(c.x), c.y, 1e-4f);
        EXPECT_EQ(shaper.shape(-c.x), -shaper.shape(c.x));
    }
}

TEST(CSoftShaper, UnitSamplesStayUnitAndFullDriveStaysBelowItsCeiling)
{
    for (float drive : {0.0f, 0.2f, 0.5f, 0.9f, 1.0f})
    {
        CSoftShaper shaper;
        shaper.setDrive(drive);
        EXPECT_FLOAT_EQ(shaper.shape(1.0f), 1.0f) << drive;
        EXPECT_FLOAT_EQ(shaper.shape(-1.0f), -1.0f) << drive;
    }

    CSoftShaper full;
    full.setDrive(1.0f);
    float previous = 0.0f;
    for (float x = 0.001f; x < 1e6f; x *= 1.05f)
    {
        const float y = full.shape(x);
        ASSERT_LE(y, 100.0f / 99.0f + 1e-6f) << x;
        ASSERT_GE(y, previous - 1e-6f) << x; // rising, up to float rounding
        previous = y;
    }
}

TEST(CSoftShaper, DriveIsAPercentageAndOutOfRangeDrivesAreClamped)
{
    CSoftShaper shaper;
    shaper.setDrive(0.37f);
    EXPECT_FLOAT_EQ(shaper.getDrive(), 37.0f);

    struct Case
    {
        float drive, percent, k;
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0.9608f}, {0.5f, 50.0f, 2.8460f}, {1.0f, 100.0f, 99.0f},
        {2.0f, 100.0f, 99.0f}, {-1.0f, 0.0f, 0.9608f}, {kNaN, 0.0f, 0.9608f},
    };
    for (const Case& c : cases)
    {
        shaper.setDrive(c.drive);
        EXPECT_FLOAT_EQ(shaper.getDrive(), c.percent) << c.drive;
        EXPECT_NEAR(shaper.k, c.k, c.k * 1e-4f) << c.drive;
    }
}

// The coefficients and the curve's denominator are formed in double precision
// and rounded once; the per-sample step is single precision throughout. Each
// reference below differs from its all-float or all-double variant on many of
// these inputs, so a change of precision anywhere shows up as a mismatch.
TEST(FilterPrecision, CoefficientsCurveAndStepRoundAsWritten)
{
    const double piFromFloat = 3.1415927410125732;
    for (int i = 0; i <= 64; ++i)
        for (int j = 0; j <= 20; ++j)
        {
            const float frequency = static_cast<float>(i) / 64.0f;
            const float resonance = static_cast<float>(j) / 20.0f;
            CStateVariableFilter filter(kRate);
            filter.setFrequency(frequency);
            filter.setResonance(resonance);
            const float ratio = std::min(filter.cutoff / (2.0f * kRate), 0.25f);
            const float f = static_cast<float>(2.0 * std::sin(piFromFloat * ratio));
            const float fromResonance =
                static_cast<float>(2.0 * (1.0 - std::pow(static_cast<double>(resonance), 0.25)));
            const float damp = std::min({fromResonance, 2.0f, 2.0f / f - 0.5f * f});
            ASSERT_EQ(filter.f, f) << frequency << " " << resonance;
            ASSERT_EQ(filter.damp, damp) << frequency << " " << resonance;
        }

    for (float drive : {0.0f, 0.3f, 0.5f, 1.0f})
    {
        CSoftShaper shaper;
        shaper.setDrive(drive);
        for (int i = -300; i <= 300; ++i)
        {
            const float x = static_cast<float>(i) / 100.0f;
            const float numerator = (shaper.k + 1.0f) * x;
            const double denominator = static_cast<double>(shaper.k) * std::fabs(x) + 1.0;
            ASSERT_EQ(shaper.shape(x), static_cast<float>(numerator / denominator))
                << drive << " " << x;
        }
    }

    CStateVariableFilter filter(kRate);
    filter.setFrequency(0.7f);
    filter.setResonance(0.8f);
    const float f = filter.f, damp = filter.damp;
    float notch = 0.0f, low = 0.0f, high = 0.0f, band = 0.0f;
    uint32_t seed = 1;
    for (int n = 0; n < 2000; ++n)
    {
        seed = seed * 1664525u + 1013904223u;
        const float x = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        const float in = x + 1e-15f;
        SvfResponses expected;
        for (int pass = 0; pass < 2; ++pass)
        {
            notch = in - damp * band;
            low = low + f * band;
            high = notch - low;
            band = f * high + band;
            expected.low += 0.5f * low;
            expected.band += 0.5f * band;
            expected.high += 0.5f * high;
            expected.notch += 0.5f * notch;
            expected.peak += 0.5f * (low - high);
        }
        const SvfResponses out = filter.step(x);
        ASSERT_TRUE(out.low == expected.low && out.band == expected.band &&
                    out.high == expected.high && out.notch == expected.notch &&
                    out.peak == expected.peak)
            << "sample " << n;
    }
}
