#include "SaturationTable.h"
#include "apFDelay.h"
#include "apLFO.h"
#include "grumboFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace
{

constexpr double kRate = 44100.0;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr double kPi = 3.14159265358979323846;

} // namespace

TEST(apLFO, TableHoldsOneUnipolarCycleReadAQuarterApart)
{
    struct Case
    {
        float phase, out, out90;
    };
    apLFO lfo;
    const float last = lfo.table[999];
    const Case cases[] = {
        {0.0f, 0.5f, 1.0f},
        {250.0f, 1.0f, 0.5f},
        {500.0f, 0.5f, 0.0f},
        {750.0f, 0.0f, 0.5f}, // the second output wraps to entry 0
        {999.5f, 0.5f * (last + 0.5f), lfo.table[249] * 0.5f + 0.5f},
        {125.25f, 0.75f * lfo.table[125] + 0.25f * lfo.table[126],
         0.75f * lfo.table[375] + 0.25f * lfo.table[376]},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.phase);
        lfo.phase = c.phase;
        float out = -1.0f, out90 = -1.0f;
        lfo.get90Values(&out, &out90);
        EXPECT_NEAR(out, c.out, 1e-6f);
        EXPECT_NEAR(out90, c.out90, 1e-6f);
        EXPECT_NEAR(lfo.getValueWithPhase(250.0f), out90, 1e-5f);
        EXPECT_EQ(lfo.phase, c.phase); // reading does not move the phase
    }
}

TEST(apLFO, SpeedSetsTheIncrementAndTheSecondOutputLeadsByAQuarterCycle)
{
    apLFO lfo;
    lfo.setSampleRate(kRate);
    lfo.setSpeed(2.1f);
    EXPECT_NEAR(lfo.increment, 0.047619f, 1e-6f);

    // A rate change alone keeps the increment until the next setSpeed.
    lfo.setSampleRate(2.0 * kRate);
    EXPECT_NEAR(lfo.increment, 0.047619f, 1e-6f);
    lfo.setSampleRate(kRate);

    const int period = 21000;
    std::vector<float> out(period + period / 4), out90(out.size());
    for (size_t n = 0; n < out.size(); ++n)
    {
        lfo.get90Values(&out[n], &out90[n]);
        lfo.advance();
    }
    EXPECT_NEAR(out[period], out[0], 1e-3f); // one cycle in 21000 samples
    for (int n = 0; n < period; n += 97)
        ASSERT_NEAR(out90[n], out[n + period / 4], 1e-3f) << n;
}

TEST(apLFO, BrokenSpeedsAndOffsetsStayInsideTheTable)
{
    apLFO lfo; // sample rate still 0: the increment is infinite
    lfo.setSpeed(1.0f);
    lfo.advance();
    EXPECT_EQ(lfo.phase, 0.0f);

    lfo.setSampleRate(kRate);
    for (float speed : {-3.0f, 100000.0f, kNaN})
    {
        lfo.setSpeed(speed);
        for (int n = 0; n < 10; ++n)
        {
            lfo.advance();
            ASSERT_TRUE(lfo.phase >= 0.0f && lfo.phase < 1000.0f) << speed;
        }
    }
    lfo.phase = 100.0f;
    EXPECT_NEAR(lfo.getValueWithPhase(2150.0f), lfo.getValueWithPhase(150.0f), 1e-6f);
    for (float offset : {-10.0f, kNaN, kInf, 1e30f})
    {
        const float value = lfo.getValueWithPhase(offset);
        EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << offset;
    }
}

TEST(apFDelay, LengthFollowsMillisecondsAndRate)
{
    struct Case
    {
        double rate;
        float ms;
        int size;
    };
    const Case cases[] = {
        {44100.0, 30.0f, 1324}, {48000.0, 30.0f, 1441}, {96000.0, 10.0f, 961},
        {44100.0, 0.0f, 1},     {44100.0, -5.0f, 1},    {44100.0, kNaN, 1},
    };
    for (const Case& c : cases)
    {
        apFDelay line;
        line.setSampleRate(c.rate);
        line.setMaxDelay(c.ms);
        EXPECT_EQ(line.size, c.size) << c.rate << " " << c.ms;
        EXPECT_EQ(line.sizeF, static_cast<float>(c.size));
        EXPECT_EQ(line.writeIndex, 0);
    }
}

TEST(apFDelay, ReadReturnsTheSampleWrittenThatLongAgo)
{
    apFDelay line;
    line.setSampleRate(kRate);
    line.setMaxDelay(30.0f);
    EXPECT_FLOAT_EQ(line.samplesPerMs, 44.099998f);

    // Sample n holds the value n, so a read shows how far back it reached.
    const int written = 5000;
    for (int n = 0; n < written; ++n)
        line.write(static_cast<float>(n));
    const float newest = static_cast<float>(written - 1);

    struct Case
    {
        float samplesBack, expected;
    };
    const Case cases[] = {
        {1.0f, newest},
        {2.0f, newest - 1.0f},
        {100.0f, newest - 99.0f},
        {1.5f, newest - 0.5f}, // halfway between two samples
        {1323.0f, newest - 1322.0f},
        {0.0f, newest - 1323.0f}, // 0 reads the oldest slot, about to be overwritten
    };
    for (const Case& c : cases)
        EXPECT_NEAR(line.read(c.samplesBack / line.samplesPerMs), c.expected, 0.01f)
            << c.samplesBack;
    EXPECT_NEAR(line.read(30.0f), newest - 1322.0f, 0.01f);

    // Delays outside the line are held at its ends instead of reading outside it.
    for (float ms : {-1.0f, kNaN, 31.0f, 1e9f, kInf})
        EXPECT_EQ(line.read(ms), line.read(0.0f)) << ms;
}

TEST(apFDelay, ReadOnTheLastSlotInterpolatesTowardsTheFirst)
{
    apFDelay line;
    line.setSampleRate(kRate);
    line.setMaxDelay(30.0f);
    line.buffer[line.size - 1] = 1.0f;
    line.buffer[0] = 3.0f;
    EXPECT_NEAR(line.read(0.5f / line.samplesPerMs), 2.0f, 1e-3f);
}

TEST(apFDelay, ResetAndRateChangesClearTheLine)
{
    apFDelay line;
    EXPECT_EQ(line.read(10.0f), 0.0f); // no buffer yet: silence, writes ignored
    line.write(1.0f);

    line.setSampleRate(kRate);
    line.setMaxDelay(30.0f);
    for (int n = 0; n < 700; ++n)
        line.write(1.0f);
    line.reset();
    EXPECT_EQ(line.writeIndex, 0);
    EXPECT_EQ(line.read(10.0f), 0.0f);
    EXPECT_EQ(line.size, 1324);

    for (int n = 0; n < 700; ++n)
        line.write(1.0f);
    line.setSampleRate(48000.0);
    EXPECT_EQ(line.size, 1441);
    EXPECT_EQ(line.maxDelay, 30.0f);
    EXPECT_EQ(line.read(10.0f), 0.0f);
}

TEST(grumboFilter, CornersGiveTheKnownBandPass)
{
    grumboFilter filter;
    filter.setSampleRate(kRate);
    filter.set(300.0f, 2500.0f);
    EXPECT_NEAR(filter.centre, 0.031746f, 1e-6f);
    EXPECT_NEAR(filter.bandwidth, 3.0589f, 1e-4f);
    EXPECT_NEAR(filter.b0, 0.20252f, 1e-5f);
    EXPECT_EQ(filter.b1, 0.0f);
    EXPECT_EQ(filter.b2, -filter.b0);
    EXPECT_NEAR(filter.a1, -1.56334f, 1e-5f);
    EXPECT_NEAR(filter.a2, 0.59496f, 1e-5f);

    // Same values: nothing recomputed, also through a rate change.
    const float b0 = filter.b0, a1 = filter.a1, a2 = filter.a2;
    filter.setSampleRate(48000.0);
    filter.set2(filter.centre, filter.bandwidth);
    EXPECT_EQ(filter.b0, b0);
    EXPECT_EQ(filter.a1, a1);
    EXPECT_EQ(filter.a2, a2);
    filter.set2(0.05f, 1.0f);
    EXPECT_NE(filter.b0, b0);
}

TEST(grumboFilter, PassesItsCentreAtUnityAndOutputsOnlyTheOffsetUntilSet)
{
    grumboFilter fresh;
    fresh.setSampleRate(kRate);
    fresh.set2(0.5f, 0.1f); // the stored values: computes nothing
    EXPECT_EQ(fresh.step(1.0f), 1e-25f);
    EXPECT_EQ(fresh.step(-0.5f), 1e-25f);

    const auto gain = [](float hz)
    {
        grumboFilter filter;
        filter.setSampleRate(kRate);
        filter.set(300.0f, 2500.0f);
        double peak = 0.0;
        for (int n = 0; n < 44100; ++n)
        {
            const float y = filter.step(static_cast<float>(std::sin(2.0 * kPi * hz * n / kRate)));
            if (n > 22050)
                peak = std::max(peak, std::fabs(static_cast<double>(y)));
        }
        return peak;
    };
    EXPECT_NEAR(gain(1400.0f), 1.0, 0.01);
    // -3 dB half the bandwidth (3.0589 octaves) either side of the centre.
    const float halfBand = std::exp2(3.0589f / 2.0f);
    EXPECT_NEAR(gain(1400.0f / halfBand), std::sqrt(0.5), 0.01);
    EXPECT_NEAR(gain(1400.0f * halfBand), std::sqrt(0.5), 0.01);
    EXPECT_LT(gain(20.0f), 0.05);
    EXPECT_LT(gain(18000.0f), 0.1);
}

TEST(grumboFilter, StepAddsTheOffsetInDoublePrecisionAtEveryMagnitude)
{
    // With b0 = 1 and nothing else the step is the offset alone: the input
    // plus 1e-25 in double precision, rounded to float. Near zero that moves
    // the value; further out it must leave it exactly as it is.
    grumboFilter filter;
    filter.b0 = 1.0f;
    const auto check = [&filter](float x)
    {
        filter.reset();
        const float expected = static_cast<float>(static_cast<double>(x) + 1e-25);
        ASSERT_EQ(filter.step(x), expected) << x;
    };
    for (int exponent = -149; exponent <= 10; ++exponent)
        for (float mantissa : {1.0f, 1.0000001f, 1.3f, 1.5f, 1.9999999f})
            for (float sign : {1.0f, -1.0f})
                check(sign * std::ldexp(mantissa, exponent));
    // Every 97th float from 2^-62 to 2^-52, where the offset stops mattering.
    for (uint32_t bits = 0x20800000u; bits < 0x25800000u; bits += 97)
    {
        float x;
        std::memcpy(&x, &bits, sizeof x);
        check(x);
        check(-x);
    }
}

TEST(grumboFilter, UnusableSettingsPassNothingAndNaNStateRecovers)
{
    struct Case
    {
        double rate;
        float low, high;
    };
    const Case cases[] = {
        {kRate, 0.0f, 2500.0f}, {kRate, 300.0f, 300.0f}, {kRate, 2500.0f, 300.0f},
        {kRate, kNaN, 2500.0f}, {0.0, 300.0f, 2500.0f},  {kRate, 30000.0f, 58200.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.rate << " " << c.low << ".." << c.high);
        grumboFilter filter;
        filter.setSampleRate(c.rate);
        filter.set(c.low, c.high);
        for (int n = 0; n < 100; ++n)
            ASSERT_EQ(filter.step(n % 2 ? 1.0f : -1.0f), 1e-25f);
    }

    grumboFilter filter;
    filter.setSampleRate(kRate);
    filter.set(300.0f, 2500.0f);
    filter.step(kNaN);
    EXPECT_TRUE(filter.resetStateIfNotFinite());
    EXPECT_TRUE(std::isfinite(filter.step(0.5f)));
    EXPECT_FALSE(filter.resetStateIfNotFinite());
}

TEST(SaturationTable, FollowsTanhAndSaturatesAtTheLastEntry)
{
    const SaturationTable sat;
    const float last = sat.table[999];
    struct Case
    {
        float x, y;
    };
    const Case cases[] = {
        {0.0f, 0.0f},    {0.005f, 0.5f * sat.table[1]},
        {-20.0f, -last}, {10.0f, last},
        {9.995f, last},  {-9.995f, -last}, // between the last entry and 10: flat
        {kInf, last},    {-kInf, -last},
        {kNaN, 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(sat.saturate(c.x), c.y) << c.x;

    for (float x = -12.0f; x <= 12.0f; x += 0.0137f)
    {
        ASSERT_NEAR(sat.saturate(x), std::tanh(x), 2e-5f) << x;
        ASSERT_EQ(sat.saturate(-x), -sat.saturate(x)) << x;
    }
}
