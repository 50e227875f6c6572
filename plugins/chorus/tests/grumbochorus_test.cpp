#include "allocation_counter.h"
#include "grumbochorus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace
{

constexpr float kRate = 44100.0f;

struct Stereo
{
    explicit Stereo(int frames, float fill = 0.0f) : left(frames, fill), right(frames, fill) {}
    float** channels()
    {
        pointers[0] = left.data();
        pointers[1] = right.data();
        return pointers;
    }
    std::vector<float> left, right;
    float* pointers[2] = {};
};

Stereo noise(int frames, uint32_t seed = 1)
{
    Stereo s(frames);
    for (int i = 0; i < frames; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        s.left[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        seed = seed * 1664525u + 1013904223u;
        s.right[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    }
    return s;
}

std::string display(grumbochorus& effect, VstInt32 index)
{
    char buffer[64] = "untouched";
    effect.getParameterDisplay(index, buffer);
    return buffer;
}

// Runs frames of silence so the smoothed values reach their targets.
void settle(grumbochorus& effect, int frames = 30000)
{
    Stereo in(frames), out(frames);
    effect.processReplacing(in.channels(), out.channels(), frames);
}

} // namespace

TEST(grumbochorus, IdentityNamesAndLabels)
{
    grumbochorus effect(nullptr);
    char buffer[64];
    ASSERT_TRUE(effect.getEffectName(buffer));
    EXPECT_STREQ(buffer, "GrumboChorus");
    ASSERT_TRUE(effect.getProductString(buffer));
    EXPECT_STREQ(buffer, "GrumboChorus");
    ASSERT_TRUE(effect.getVendorString(buffer));
    EXPECT_STREQ(buffer, "Quorlin");
    EXPECT_EQ(effect.getVendorVersion(), 65536);
    EXPECT_EQ(effect.getAeffect()->numPrograms, 0);
    EXPECT_EQ(effect.getAeffect()->numParams, 3);
    EXPECT_EQ(effect.getAeffect()->numInputs, 2);
    EXPECT_EQ(effect.getAeffect()->numOutputs, 2);

    const char* const names[] = {"Depth", "Speed", "Mixture", "reserved", "reserved"};
    const VstInt32 indices[] = {0, 1, 2, 3, -1};
    for (int i = 0; i < 5; ++i)
    {
        effect.getParameterName(indices[i], buffer);
        EXPECT_STREQ(buffer, names[i]);
        std::strcpy(buffer, "x");
        effect.getParameterLabel(indices[i], buffer);
        EXPECT_STREQ(buffer, "");
    }
}

TEST(grumbochorus, DefaultsDisplaysAndClamping)
{
    grumbochorus effect(nullptr);
    EXPECT_EQ(effect.getParameter(0), 0.4f);
    EXPECT_EQ(effect.getParameter(1), 0.4f);
    EXPECT_EQ(effect.getParameter(2), 0.5f);
    EXPECT_EQ(effect.getParameter(3), 0.0f);
    EXPECT_EQ(effect.getParameter(-1), 0.0f);

    struct Case
    {
        VstInt32 index;
        float value, stored;
        const char* display;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0, 0.4f, 0.4f, "5.80"},    {0, 0.0f, 0.0f, "1.00"},  {0, 1.0f, 1.0f, "13.00"},
        {1, 2.0f, 1.0f, "13.00"},   {1, -0.5f, 0.0f, "1.00"}, {1, nan, 1.0f, "13.00"},
        {2, 0.0f, 0.0f, "-6.00"},   {2, 0.5f, 0.5f, "+0.00"}, {2, 1.0f, 1.0f, "+6.00"},
        {2, 0.25f, 0.25f, "-3.00"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.index << " " << c.value);
        effect.setParameter(c.index, c.value);
        EXPECT_EQ(effect.getParameter(c.index), c.stored);
        EXPECT_EQ(display(effect, c.index), c.display);
    }
    EXPECT_EQ(display(effect, 3), "");

    effect.setParameter(3, 0.7f); // ignored
    effect.setParameter(-1, 0.7f);
    EXPECT_EQ(effect.getParameter(3), 0.0f);

    // Speed sets the LFO to 0.5 + 10 x value^2 Hz.
    for (const auto& [value, hz] :
         {std::pair{1.0f, 10.5f}, {0.0f, 0.5f}, {2.0f, 10.5f}, {0.4f, 2.1f}})
    {
        effect.setParameter(1, value);
        EXPECT_FLOAT_EQ(effect.oscillator().speed, hz) << value;
        EXPECT_FLOAT_EQ(effect.oscillator().increment, hz / kRate * 1000.0f) << value;
    }
}

TEST(grumbochorus, MixtureSettlesToEqualPowerGains)
{
    struct Case
    {
        float mixture, dry, wet;
    };
    const Case cases[] = {{0.0f, 1.0f, 0.0f}, {0.5f, 0.70711f, 0.39284f}, {1.0f, 0.0f, 0.55556f}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mixture);
        grumbochorus effect(nullptr);
        effect.setParameter(2, c.mixture);
        EXPECT_EQ(effect.currentDryGain(), 0.0f); // gains fade in from 0
        settle(effect, 2000);
        EXPECT_NEAR(effect.currentDryGain(), c.dry, 1e-5f);
        EXPECT_NEAR(effect.currentWetGain(), c.wet, 1e-5f);
    }

    // Mixture 0: the input alone comes out.
    grumbochorus dry(nullptr);
    dry.setParameter(2, 0.0f);
    settle(dry, 2000);
    Stereo in = noise(1000), out(1000);
    dry.processReplacing(in.channels(), out.channels(), 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_NEAR(out.left[i], in.left[i], 1e-6f) << i;
}

TEST(grumbochorus, DepthSetsBaseDelayAndSweep)
{
    struct Case
    {
        float depth, base, sweep;
    };
    const Case cases[] = {{0.0f, 30.0f, 0.0f}, {1.0f, 10.0f, 20.0f}, {0.5f, 27.5f, 2.5f}};
    for (const Case& c : cases)
    {
        grumbochorus effect(nullptr);
        effect.setParameter(0, c.depth);
        EXPECT_EQ(effect.currentBaseDelay(), 0.0f);
        settle(effect);
        EXPECT_NEAR(effect.currentBaseDelay(), c.base, 1e-3f) << c.depth;
        EXPECT_NEAR(effect.currentModDepth(), c.sweep, 1e-3f) << c.depth;
    }
}

TEST(grumbochorus, DepthZeroEchoesAfterThirtyMillisecondsAndCrossFeedsInverted)
{
    grumbochorus effect(nullptr);
    effect.setParameter(0, 0.0f);
    effect.setParameter(2, 1.0f); // wet only
    settle(effect);

    const int frames = 4000;
    Stereo in(frames), out(frames);
    in.left[0] = 0.5f;
    effect.processReplacing(in.channels(), out.channels(), frames);

    // The first sample above a tenth of the channel's peak. (The glide of the
    // base delay stalls a hair short of 30 ms in single precision, so the
    // sample before the echo carries a few percent of it.)
    const auto onset = [](const std::vector<float>& x)
    {
        float peak = 0.0f;
        for (float v : x)
            peak = std::max(peak, std::fabs(v));
        for (int i = 0; i < static_cast<int>(x.size()); ++i)
            if (std::fabs(x[i]) > 0.1f * peak)
                return i;
        return -1;
    };
    // Both taps of the left line sit at 30 ms: 1323 samples.
    EXPECT_EQ(onset(out.left), 1323);
    // A tenth of that, inverted, enters the right line and comes out 30 ms later.
    const int right = onset(out.right);
    EXPECT_EQ(right, 2 * 1323);
    ASSERT_GE(right, 0);
    EXPECT_LT(out.right[right] * out.left[1323], 0.0f);
}

TEST(grumbochorus, SilenceStaysSilentAndRateChangeClearsTheLines)
{
    grumbochorus effect(nullptr);
    settle(effect);
    Stereo in(512), out(512, 1.0f);
    effect.processReplacing(in.channels(), out.channels(), 512);
    for (int i = 0; i < 512; ++i)
        ASSERT_LT(std::fabs(out.left[i]) + std::fabs(out.right[i]), 1e-20f) << i;

    // Fill the lines, then change the rate: the next block hears nothing of it.
    const auto tailAfter = [](bool changeRate)
    {
        grumbochorus chorus(nullptr);
        chorus.setParameter(2, 1.0f);
        Stereo loud = noise(4096), out(4096);
        chorus.processReplacing(loud.channels(), out.channels(), 4096);
        if (changeRate)
            chorus.setSampleRate(48000.0f);
        Stereo quiet(256), tail(256);
        chorus.processReplacing(quiet.channels(), tail.channels(), 256);
        float peak = 0.0f;
        for (int i = 0; i < 256; ++i)
            peak = std::max(peak, std::fabs(tail.left[i]) + std::fabs(tail.right[i]));
        return peak;
    };
    EXPECT_GT(tailAfter(false), 0.01f);
    EXPECT_LT(tailAfter(true), 1e-20f);
}

TEST(grumbochorus, ResumeClearsTheLines)
{
    grumbochorus effect(nullptr);
    effect.setParameter(2, 1.0f);
    Stereo loud = noise(4096), out(4096);
    effect.processReplacing(loud.channels(), out.channels(), 4096);
    effect.suspend();
    effect.resume();
    Stereo quiet(256), tail(256);
    effect.processReplacing(quiet.channels(), tail.channels(), 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_LT(std::fabs(tail.left[i]) + std::fabs(tail.right[i]), 1e-20f) << i;
}

// The chorus written out frame by frame from its formulas, in the plainest
// form: one sample at a time, floor for the table positions, the filter's
// offset added in double precision. The effect's block loop must give the
// same bits.
class ReferenceChorus
{
public:
    ReferenceChorus()
    {
        for (int i = 0; i < 1000; ++i)
        {
            sine[i] = (std::sin(static_cast<float>(i) * 0.006283185910433531f) + 1.0f) * 0.5f;
            curve[i] =
                static_cast<float>(std::tanh(static_cast<double>(static_cast<float>(i) * 0.01f)));
        }
        samplesPerMs = static_cast<float>(kRate * 0.001);
        size = static_cast<int>(30.0f * samplesPerMs) + 1;
        lineL.assign(static_cast<size_t>(size), 0.0f);
        lineR.assign(static_cast<size_t>(size), 0.0f);

        // Band-pass around the mean of 300 and 2500 Hz.
        const float centre =
            static_cast<float>(static_cast<double>((300.0f + 2500.0f) * 0.5f) / kRate);
        const float octaves = static_cast<float>(std::log2(static_cast<double>(2500.0f / 300.0f)));
        const float w0 = static_cast<float>(static_cast<double>(centre) * 6.283185307179586);
        const float s = static_cast<float>(std::sin(static_cast<double>(w0)));
        const float alpha =
            static_cast<float>(s * std::sinh(0.34657359027997264 * octaves *
                                             static_cast<double>(w0) / static_cast<double>(s)));
        const float a0 = 1.0f + alpha;
        b0 = alpha / a0;
        a1 = static_cast<float>(-2.0 * std::cos(static_cast<double>(w0)) / a0);
        a2 = (1.0f - alpha) / a0;
    }

    void set(float depth, float speed, float mixture)
    {
        params[0] = depth;
        params[2] = mixture;
        const float hz = 0.5f + 10.0f * speed * speed;
        increment = static_cast<float>(static_cast<double>(hz) / kRate * 1000.0);
    }

    void process(const float* inL, const float* inR, float* outL, float* outR, int frames)
    {
        const float c = params[0] * params[0] * params[0];
        const float modTarget = 20.0f * c;
        const float baseTarget = 10.0f + 20.0f * (1.0f - c);
        const float wetTarget = std::sqrt(params[2]) * 0.5555556f;
        const float dryTarget = std::sqrt(1.0f - params[2]);
        for (int n = 0; n < frames; ++n)
        {
            const float p = phase;
            const int i = static_cast<int>(std::floor(p));
            const float frac = p - static_cast<float>(i);
            int j = i + 250;
            if (j > 999)
                j -= 1000;
            const float a = lfo(i, frac) * modDepth;
            const float b = lfo(j, frac) * modDepth;

            const float sumL = tap(lineL, baseDelay + a) + tap(lineL, baseDelay + b);
            const float sumR =
                tap(lineR, baseDelay + modDepth - a) + tap(lineR, baseDelay + modDepth - b);
            lineL[static_cast<size_t>(write)] = step(stateL, saturate(2.0f * inL[n] - 0.1f * sumR));
            lineR[static_cast<size_t>(write)] = step(stateR, saturate(2.0f * inR[n] - 0.1f * sumL));
            if (++write >= size)
                write -= size;
            phase += increment;
            if (phase >= 1000.0f)
                phase -= 1000.0f;

            outL[n] = inL[n] * dryGain + sumL * wetGain;
            outR[n] = inR[n] * dryGain + sumR * wetGain;
            wetGain += 0.05f * (wetTarget - wetGain);
            dryGain += 0.05f * (dryTarget - dryGain);
            modDepth += 0.001f * (modTarget - modDepth);
            baseDelay += 0.001f * (baseTarget - baseDelay);
        }
    }

private:
    struct State
    {
        float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
    };

    float lfo(int i, float frac) const
    {
        return sine[i] * (1.0f - frac) + sine[i == 999 ? 0 : i + 1] * frac;
    }

    float tap(const std::vector<float>& line, float ms) const
    {
        float pos = static_cast<float>(write) - ms * samplesPerMs;
        while (pos < 0.0f)
            pos += static_cast<float>(size);
        if (pos >= static_cast<float>(size)) // -tiny + size rounds to size: slot 0
            pos -= static_cast<float>(size);
        const int i = static_cast<int>(std::floor(pos));
        const float frac = pos - static_cast<float>(i);
        return line[static_cast<size_t>(i)] * (1.0f - frac) +
               line[static_cast<size_t>(i == size - 1 ? 0 : i + 1)] * frac;
    }

    float saturate(float x) const
    {
        const float sign = x < 0.0f ? -1.0f : 1.0f;
        const float magnitude = x < 0.0f ? x * -1.0f : x;
        if (magnitude >= 10.0f)
            return sign * curve[999];
        const float p = magnitude * 100.0f;
        const int i = static_cast<int>(std::floor(p));
        const float frac = p - static_cast<float>(i);
        return sign * (curve[i] * (1.0f - frac) + curve[std::min(i + 1, 999)] * frac);
    }

    float step(State& s, float x) const
    {
        const float y = static_cast<float>(
            static_cast<double>(b0 * x + -b0 * s.x2 - a1 * s.y1 - a2 * s.y2) + 1e-25);
        s.x2 = s.x1;
        s.x1 = x;
        s.y2 = s.y1;
        s.y1 = y;
        return y;
    }

    float sine[1000], curve[1000];
    float params[3] = {};
    float samplesPerMs = 0.0f;
    int size = 0, write = 0;
    std::vector<float> lineL, lineR;
    float b0 = 0.0f, a1 = 0.0f, a2 = 0.0f;
    State stateL, stateR;
    float phase = 0.0f, increment = 0.0f;
    float dryGain = 0.0f, wetGain = 0.0f, modDepth = 0.0f, baseDelay = 0.0f;
};

TEST(grumbochorus, BlockProcessingGivesTheFrameByFrameResultExactly)
{
    struct Case
    {
        float depth, speed, mixture;
    };
    const Case cases[] = {
        {0.4f, 0.4f, 0.5f},
        {0.0f, 0.0f, 1.0f},
        {1.0f, 1.0f, 0.7f},
        {0.77f, 0.13f, 0.9f},
    };
    const int blocks[] = {512, 1, 7, 64, 65, 333, 1000, 3};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.depth << " " << c.speed << " " << c.mixture);
        grumbochorus effect(nullptr);
        ReferenceChorus reference;
        effect.setParameter(0, c.depth);
        effect.setParameter(1, c.speed);
        effect.setParameter(2, c.mixture);
        reference.set(c.depth, c.speed, c.mixture);

        // Noise and loud noise (past the end of the saturation table, both
        // signs), sines, and silence, in blocks of assorted sizes.
        uint32_t seed = 7;
        int frame = 0;
        for (int round = 0; round < 12; ++round)
        {
            for (int frames : blocks)
            {
                const float level = round % 4 == 3 ? 0.0f : (round % 4 == 1 ? 8.0f : 0.5f);
                Stereo in(frames), expected(frames);
                for (int i = 0; i < frames; ++i, ++frame)
                {
                    seed = seed * 1664525u + 1013904223u;
                    const float random = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
                    in.left[i] = level * random;
                    in.right[i] = level * std::sin(0.031f * static_cast<float>(frame));
                }
                reference.process(in.left.data(), in.right.data(), expected.left.data(),
                                  expected.right.data(), frames);
                Stereo out(frames, 0.25f);
                effect.processReplacing(in.channels(), out.channels(), frames);
                for (int i = 0; i < frames; ++i)
                {
                    ASSERT_EQ(out.left[i], expected.left[i]) << "frame " << frame - frames + i;
                    ASSERT_EQ(out.right[i], expected.right[i]) << "frame " << frame - frames + i;
                }
            }
        }
    }
}

TEST(grumbochorus, ProcessAddsAndSharedBuffersMatchSeparateOnes)
{
    const int frames = 3000;
    const Stereo in = noise(frames);

    grumbochorus replacing(nullptr), shared(nullptr), adding(nullptr);
    Stereo source = in, separate(frames);
    replacing.processReplacing(source.channels(), separate.channels(), frames);

    Stereo inPlace = in;
    shared.processReplacing(inPlace.channels(), inPlace.channels(), frames);
    EXPECT_EQ(inPlace.left, separate.left);
    EXPECT_EQ(inPlace.right, separate.right);

    Stereo added(frames, 0.25f);
    Stereo again = in;
    adding.process(again.channels(), added.channels(), frames);
    for (int i = 0; i < frames; ++i)
    {
        ASSERT_EQ(added.left[i], 0.25f + separate.left[i]) << i;
        ASSERT_EQ(added.right[i], 0.25f + separate.right[i]) << i;
    }
}

TEST(grumbochorus, NonFiniteInputLeavesNothingStuck)
{
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    {
        grumbochorus effect(nullptr);
        effect.setParameter(2, 0.7f);
        Stereo in = noise(512), out(512);
        in.left[100] = bad;
        in.right[300] = -bad;
        effect.processReplacing(in.channels(), out.channels(), 512);

        Stereo next = noise(4096, 9), after(4096);
        effect.processReplacing(next.channels(), after.channels(), 4096);
        float wet = 0.0f;
        for (int i = 0; i < 4096; ++i)
        {
            ASSERT_TRUE(std::isfinite(after.left[i]) && std::isfinite(after.right[i]))
                << bad << " " << i;
            wet = std::max(wet, std::fabs(after.left[i]));
        }
        EXPECT_GT(wet, 0.01f);
    }
}

TEST(grumbochorus, ProcessingAllocatesNothingWhileTheRateStands)
{
    grumbochorus effect(nullptr);
    Stereo in = noise(2048), out(2048);

    {
        allocation_counter::Watch watch;
        effect.processReplacing(in.channels(), out.channels(), 2048); // the very first block
        effect.setParameter(1, 0.9f);
        effect.process(in.channels(), out.channels(), 100);
        effect.resume();
        effect.processReplacing(in.channels(), out.channels(), 2048);
        // A rate whose lines fit the buffers they have needs nothing new either.
        effect.setSampleRate(22050.0f);
        effect.processReplacing(in.channels(), out.channels(), 2048);
        effect.setSampleRate(44100.0f);
        effect.processReplacing(in.channels(), out.channels(), 2048);
        EXPECT_EQ(watch.allocations(), 0);
    }
}
