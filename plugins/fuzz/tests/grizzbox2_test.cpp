// Grizzbox2 as a host sees and hears it: the built bundle, driven through its
// entry point, record and dispatcher.
#include "grizzbox2_host.h"

#include "GrizzboxTwoParamManager.h"
#include "csd_utilities.h"
#include "dist_mxr.h"
#include "filter_2_pole_low_pass.h"
#include "grizzbox2.h"

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>
#include <vector>

using namespace grizzbox2_test;

namespace
{

constexpr float kRate = 44100.0f;

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Amplitude of one frequency in a signal (a single DFT bin over the whole
// length, which should hold whole periods).
double amplitudeAt(const std::vector<float>& signal, double frequency, double rate)
{
    double re = 0.0, im = 0.0;
    for (size_t i = 0; i < signal.size(); ++i)
    {
        const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        re += signal[i] * std::cos(phase);
        im += signal[i] * std::sin(phase);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(signal.size());
}

} // namespace

TEST(Grizzbox2Identity, RecordAndStringsAsHostsReadThem)
{
    Plugin plugin;
    const AEffect* e = plugin.record();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 4);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing) << "no editor yet: replacing only";
    EXPECT_EQ(e->uniqueID, 0x564B6636) << "'VKf6'";
    EXPECT_EQ(e->version, 1);

    EXPECT_EQ(plugin.text(effGetEffectName), "Grizzbox2");
    EXPECT_EQ(plugin.text(effGetProductString), "Grizzbox2");
    EXPECT_EQ(plugin.text(effGetVendorString), "Velkorsonic, Inc.");
    EXPECT_EQ(plugin.dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(plugin.dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(plugin.text(effGetProgramName), "");

    // No chunk: the host saves the four parameter values instead.
    void* chunk = &plugin;
    EXPECT_EQ(plugin.dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(plugin.dispatch(effGetChunk, 1, 0, &chunk), 0);
}

TEST(Grizzbox2Identity, CanDoAnswersOnlyItsOwnCapabilitiesWholeString)
{
    Plugin plugin;
    const struct
    {
        const char* capability;
        VstIntPtr answer;
    } cases[] = {
        {"plugAsChannelInsert", 1},
        {"plugAsSend", 1},
        {"1in1out", 1},
        {"1in2out", 1},
        {"2in2out", 1},
        {"receiveVstMidiEvent", 0},
        {"receiveVstEvents", 0},
        {"bypass", 0},
        {"plugAsSendX", 0},
        {"1in", 0},
        {"2in2out ", 0},
        {"", 0},
    };
    for (const auto& c : cases)
    {
        char text[64];
        std::strcpy(text, c.capability);
        EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, text), c.answer) << '"' << c.capability << '"';
    }
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(Grizzbox2Parameters, NamesUnitsAndDefaults)
{
    Plugin plugin;
    const struct
    {
        const char* name;
        const char* unit;
        float value;
        const char* display;
    } params[] = {
        {"Fuzz Amt", "", 0.1f, "   0"},
        {"Filter", "Hz", 1.0f, "14000"},
        {"Output", "dB", 0.16707f, " -30"},
        {"Stomp", "", 1.0f, "On"},
    };
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(plugin.text(effGetParamName, i), params[i].name);
        EXPECT_EQ(plugin.text(effGetParamLabel, i), params[i].unit);
        EXPECT_NEAR(plugin.get(i), params[i].value, 1e-4);
        EXPECT_EQ(plugin.text(effGetParamDisplay, i), params[i].display);
    }
}

TEST(Grizzbox2Parameters, DisplayTextsFollowTheHostValue)
{
    const struct
    {
        int index;
        float value;
        const char* display;
    } cases[] = {
        {0, 0.0f, "   0"},  {0, 0.49f, "   0"}, {0, 0.5f, "   0"},  {0, 1.0f, "   1"},
        {1, 0.0f, " 400"},  {1, 0.5f, "2366"},  {1, 1.0f, "14000"}, {2, 0.0f, " -40"},
        {2, 0.01f, " -69"}, {2, 1.0f, "   3"},  {3, 0.0f, "Off"},   {3, 0.5f, "Off"},
        {3, 0.51f, "On"},
    };
    Plugin plugin;
    for (const auto& c : cases)
    {
        plugin.set(c.index, c.value);
        EXPECT_FLOAT_EQ(plugin.get(c.index), c.value);
        EXPECT_EQ(plugin.text(effGetParamDisplay, c.index), c.display)
            << "parameter " << c.index << " at " << c.value;
    }
}

TEST(Grizzbox2Parameters, UnknownIndicesAndNaNValuesChangeNothing)
{
    Plugin plugin;
    const std::vector<float> silence(4096, 0.0f);
    const std::vector<float> before = plugin.processLeft(silence);

    plugin.set(4, 1.0f);
    plugin.set(-1, 1.0f);
    plugin.set(0, std::nanf(""));
    plugin.set(1, std::nanf(""));
    plugin.set(2, std::nanf(""));
    plugin.set(3, std::nanf(""));

    EXPECT_NEAR(plugin.get(0), 0.1f, 1e-6);
    EXPECT_EQ(plugin.get(1), 1.0f);
    EXPECT_NEAR(plugin.get(2), 0.16707f, 1e-4);
    EXPECT_EQ(plugin.get(3), 1.0f);
    EXPECT_EQ(plugin.get(-1), 0.0f);
    EXPECT_EQ(plugin.get(4), 0.0f);
    EXPECT_EQ(plugin.text(effGetParamName, 4), "");
    EXPECT_EQ(plugin.text(effGetParamLabel, -1), "");
    EXPECT_EQ(plugin.text(effGetParamDisplay, -1), "   0");
    EXPECT_EQ(plugin.text(effGetParamDisplay, 4), "   0");

    // The signal path still answers silence exactly as before.
    const std::vector<float> after = plugin.processLeft(silence);
    EXPECT_EQ(after.back(), before.back());
}

TEST(Grizzbox2Sound, SilenceGivesTheCurveCentreTimesTheLevel)
{
    // The curve's centre entry is 0.001333; the default level is -30 dB.
    const double expected = 0.001333 * std::pow(10.0, -30.0 / 20.0);
    for (const Pins pins : {Pins{true, true}, Pins{false, true}, Pins{true, false}})
    {
        Plugin plugin(pins);
        std::vector<float> inL(4096, 0.0f), inR(4096, 0.0f), outL(4096), outR(4096, 7.0f);
        plugin.process(inL, inR, outL, outR);
        EXPECT_NEAR(outL.back(), expected, expected * 1e-3);
        if (pins.secondOutput)
        {
            EXPECT_FLOAT_EQ(outR.back(), outL.back());
        }
        else
        {
            EXPECT_EQ(outR.back(), 7.0f) << "second output left alone";
        }
    }
}

TEST(Grizzbox2Sound, StompOffIsASampleExactPassthrough)
{
    std::vector<float> left = sine(440.0, 0.8, kRate, 3000);
    std::vector<float> right = sine(97.0, 1.5, kRate, 3000);
    // Values no arithmetic would keep as they are.
    left[10] = 1e-40f; // subnormal
    left[11] = -0.0f;
    right[12] = std::nanf("");
    right[13] = INFINITY;
    right[14] = 3.4e38f;

    const struct
    {
        Pins pins;
        bool rightFromLeft;
        bool rightWritten;
    } cases[] = {
        {{true, true}, false, true},
        {{false, true}, true, true},
        {{true, false}, false, false},
        {{false, false}, false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << "second input " << c.pins.secondInput
                                          << ", second output " << c.pins.secondOutput);
        Plugin plugin(c.pins);
        plugin.set(3, 0.5f); // "Off" from 0.5 down
        for (float value : {1.0f, 0.0f, 0.75f})
        {
            // The other controls have no say while the switch is off.
            plugin.set(0, value);
            plugin.set(1, value);
            plugin.set(2, value);
            std::vector<float> inL = left, inR = right;
            std::vector<float> outL(left.size()), outR(left.size(), 7.0f);
            plugin.process(inL, inR, outL, outR, 333);
            for (size_t i = 0; i < left.size(); ++i)
            {
                ASSERT_TRUE(sameBits(outL[i], left[i])) << "frame " << i;
                const float expectedRight =
                    c.rightWritten ? (c.rightFromLeft ? left[i] : right[i]) : 7.0f;
                ASSERT_TRUE(sameBits(outR[i], expectedRight)) << "frame " << i;
            }
        }
    }
}

TEST(Grizzbox2Sound, FullFuzzTurnsASmallSineIntoANearSquareWave)
{
    Plugin plugin;
    plugin.set(0, 1.0f);                  // drive 1 + 31.4 = 32.4
    plugin.set(2, hostValueFor(2, 0.0f)); // 0 dB
    const int frames = 44100;
    const std::vector<float> out = plugin.processLeft(sine(100.0, 0.1, kRate, frames));

    // 441 samples a period: look at the plateaus around each peak, after the
    // first period.
    std::vector<float> highs, lows;
    for (int period = 1; period < 100; ++period)
    {
        for (int k = -40; k <= 40; ++k)
        {
            highs.push_back(out[static_cast<size_t>(period * 441 + 110 + k)]);
            lows.push_back(out[static_cast<size_t>(period * 441 + 331 + k)]);
        }
    }
    for (float v : highs)
        ASSERT_NEAR(v, 0.981, 0.003);
    for (float v : lows)
        ASSERT_NEAR(v, -0.989, 0.003);

    // Square: the drive reaches the limit once |sin| > 1/3.24, about 80 % of
    // the time; the output sits near a rail at least that long.
    const auto nearRail =
        std::count_if(out.begin() + 441, out.end(), [](float v) { return std::fabs(v) > 0.95f; });
    EXPECT_GT(static_cast<double>(nearRail) / (frames - 441), 0.78);
    for (float v : out)
        ASSERT_LT(std::fabs(v), 1.05f);
}

TEST(Grizzbox2Sound, LevelIsAppliedBeforeTheToneFilter)
{
    // With the level before the filter, a level change scales the whole output
    // at once: no step through the filter's memory. Lowest cutoff makes any
    // memory obvious.
    Plugin plugin;
    plugin.set(1, 0.0f);
    plugin.set(2, hostValueFor(2, 0.0f));
    std::vector<float> quiet(20000, 0.0f);
    const float settledHigh = plugin.processLeft(quiet).back();
    plugin.set(2, hostValueFor(2, -20.0f));
    const std::vector<float> out = plugin.processLeft(quiet);
    // The filter glides from the old DC level to the new one.
    EXPECT_NEAR(out.front(), settledHigh, settledHigh * 0.05);
    EXPECT_NEAR(out.back(), settledHigh * 0.1, settledHigh * 0.002);
}

TEST(Grizzbox2Sound, SampleRateChangeKeepsTheCutoffInHertz)
{
    // Small signals pass the curve's centre nearly linearly: the response at
    // 4 kHz against 200 Hz shows the tone filter at 2000 Hz.
    auto attenuation = [](float rate)
    {
        Plugin plugin;
        plugin.set(0, 0.0f);
        plugin.set(1, hostValueFor(1, 2000.0f));
        plugin.setSampleRate(rate);
        const int frames = static_cast<int>(rate); // one second: whole periods
        const double low =
            amplitudeAt(plugin.processLeft(sine(200.0, 0.002, rate, frames)), 200.0, rate);
        const double high =
            amplitudeAt(plugin.processLeft(sine(4000.0, 0.002, rate, frames)), 4000.0, rate);
        return 20.0 * std::log10(high / low);
    };
    const double at44 = attenuation(44100.0f);
    const double at96 = attenuation(96000.0f);
    const double at22 = attenuation(22050.0f);
    EXPECT_LT(at44, -6.0) << "one octave above a 2 kHz two-pole cutoff";
    EXPECT_NEAR(at96, at44, 0.5);
    EXPECT_NEAR(at22, at44, 1.0);
}

TEST(Grizzbox2Sound, SampleRateChangeGoesToTheProcessRateNotTheBaseMember)
{
    // The effect class itself, outside the bundle: the base class's rate
    // member keeps 44100 while the process-wide rate follows the host.
    grizzbox2 effect(nullptr);
    for (const float rate : {96000.0f, 22050.0f})
    {
        effect.setSampleRate(rate);
        EXPECT_EQ(effect.getSampleRate(), 44100.0f);
        EXPECT_EQ(csd_get_attr(CSD_ATTR_SAMPLING_RATE), rate);
    }
    csd_set_attr(CSD_ATTR_SAMPLING_RATE, kRate);
}

TEST(Grizzbox2Sound, ASampleRateThatIsNotAPositiveNumberIsRefused)
{
    const std::vector<float> probe = sine(3000.0, 0.3, kRate, 2048);
    Plugin reference;
    reference.set(1, 0.4f);
    const std::vector<float> expected = reference.processLeft(probe);
    for (const float rate : {0.0f, -48000.0f, std::nanf(""), INFINITY})
    {
        Plugin plugin;
        plugin.set(1, 0.4f);
        plugin.setSampleRate(rate);
        EXPECT_EQ(plugin.processLeft(probe), expected) << "rate " << rate;
    }
}

TEST(Grizzbox2Channels, PinsAreReadAtResume)
{
    Plugin plugin;
    const std::vector<float> left = sine(300.0, 0.5, kRate, 1024);
    const std::vector<float> right = sine(700.0, 0.05, kRate, 1024);
    auto run = [&](std::vector<float>& outL, std::vector<float>& outR)
    {
        std::vector<float> inL = left, inR = right;
        outL.assign(left.size(), 0.0f);
        outR.assign(left.size(), 7.0f);
        plugin.suspend();
        plugin.resume();
        plugin.process(inL, inR, outL, outR);
    };
    std::vector<float> stereoL, stereoR;
    run(stereoL, stereoR);
    EXPECT_NE(stereoL, stereoR);

    // Reported unconnected but not yet re-read: still stereo.
    plugin.setPins({false, false});
    std::vector<float> inL = left, inR = right, outL(1024), outR(1024, 7.0f);
    plugin.process(inL, inR, outL, outR);
    EXPECT_NE(outR[1000], 7.0f);

    std::vector<float> monoL, monoR;
    run(monoL, monoR);
    EXPECT_EQ(monoL, stereoL);
    EXPECT_EQ(monoR, std::vector<float>(1024, 7.0f)) << "second output left alone";

    plugin.setPins({false, true});
    std::vector<float> dualL, dualR;
    run(dualL, dualR);
    EXPECT_EQ(dualL, stereoL);
    EXPECT_EQ(dualR, stereoL) << "left input on both channels";

    plugin.setPins({true, true});
    std::vector<float> againL, againR;
    run(againL, againR);
    EXPECT_EQ(againR, stereoR);
}

TEST(Grizzbox2Channels, MonoOutputNeedsOnlyOneOutputPointer)
{
    Plugin plugin({false, false});
    std::vector<float> in = sine(300.0, 0.5, kRate, 512), out(512);
    float* inputs[1] = {in.data()};
    float* outputs[1] = {out.data()};
    plugin.record()->processReplacing(plugin.record(), inputs, outputs, 512);
    EXPECT_NE(out[511], 0.0f);
}

TEST(Grizzbox2Channels, InPlaceProcessingMatchesSeparateBuffers)
{
    for (const Pins pins : {Pins{true, true}, Pins{false, true}})
    {
        Plugin separate(pins), inPlace(pins);
        std::vector<float> inL = sine(300.0, 0.5, kRate, 2048), inR = sine(50.0, 0.3, kRate, 2048);
        std::vector<float> outL(2048), outR(2048);
        separate.process(inL, inR, outL, outR);
        std::vector<float> bufL = inL, bufR = inR;
        inPlace.process(bufL, bufR, bufL, bufR);
        EXPECT_EQ(bufL, outL);
        EXPECT_EQ(bufR, outR);
    }
}

TEST(Grizzbox2Lifecycle, SuspendClearsTheToneFilters)
{
    Plugin used, fresh;
    used.set(1, 0.0f);
    fresh.set(1, 0.0f);
    used.processLeft(sine(100.0, 0.9, kRate, 5000));
    used.suspend();
    used.resume();
    const std::vector<float> probe = sine(1000.0, 0.2, kRate, 256);
    EXPECT_EQ(used.processLeft(probe), fresh.processLeft(probe));
}

TEST(Grizzbox2Lifecycle, ZeroAndNegativeFrameCountsProcessNothing)
{
    Plugin plugin;
    std::vector<float> in(16, 0.5f), out(16, 7.0f);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out.data(), out.data()};
    for (VstInt32 frames : {0, -1, -512})
        plugin.record()->processReplacing(plugin.record(), inputs, outputs, frames);
    EXPECT_EQ(out, std::vector<float>(16, 7.0f));
}

TEST(Grizzbox2Lifecycle, OnlyTheReplacingCallProcesses)
{
    // The accumulating and the double-precision calls are not offered: a host
    // that makes them anyway finds its output buffers as they were.
    Plugin plugin;
    std::vector<float> in(64, 0.5f), outL(64, 0.25f), outR(64, -0.25f);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    plugin.record()->process(plugin.record(), inputs, outputs, 64);
    EXPECT_EQ(outL, std::vector<float>(64, 0.25f));
    EXPECT_EQ(outR, std::vector<float>(64, -0.25f));

    std::vector<double> inD(64, 0.5), outDL(64, 0.25), outDR(64, -0.25);
    double* inputsD[2] = {inD.data(), inD.data()};
    double* outputsD[2] = {outDL.data(), outDR.data()};
    plugin.record()->processDoubleReplacing(plugin.record(), inputsD, outputsD, 64);
    EXPECT_EQ(outDL, std::vector<double>(64, 0.25));
    EXPECT_EQ(outDR, std::vector<double>(64, -0.25));
    EXPECT_EQ(plugin.record()->flags & effFlagsCanDoubleReplacing, 0);

    // The replacing call does write them.
    plugin.record()->processReplacing(plugin.record(), inputs, outputs, 64);
    EXPECT_NE(outL.back(), 0.25f);
}

TEST(Grizzbox2Robustness, NonFiniteInputDoesNotLeaveTheFiltersStuck)
{
    const struct
    {
        const char* name;
        float fuzz, filter, level;
    } settings[] = {
        {"defaults", 0.1f, 1.0f, 0.16707f},
        {"full fuzz, darkest", 1.0f, 0.0f, 1.0f},
        {"clean, mid", 0.0f, 0.5f, 0.5f},
    };
    for (const auto& s : settings)
    {
        for (const float bad : {std::nanf(""), INFINITY, -INFINITY})
        {
            for (const Pins pins : {Pins{true, true}, Pins{true, false}})
            {
                SCOPED_TRACE(::testing::Message() << s.name << ", input " << bad << ", "
                                                  << (pins.secondOutput ? "stereo" : "mono"));
                Plugin plugin(pins);
                plugin.set(0, s.fuzz);
                plugin.set(1, s.filter);
                plugin.set(2, s.level);
                std::vector<float> block = sine(440.0, 0.5, kRate, 512);
                block[100] = bad;
                block[101] = bad;
                plugin.processLeft(block);
                const std::vector<float> next = plugin.processLeft(sine(440.0, 0.5, kRate, 512));
                for (float v : next)
                    ASSERT_TRUE(std::isfinite(v));
            }
        }
    }
}

TEST(Grizzbox2Robustness, DenormalsAreFlushedWhileProcessingOnly)
{
    // An input that lands exactly on the curve's zero entry (255 of 512) at
    // drive 1 feeds the filter true silence, so its output decays towards 0
    // from a loud start and would pass through subnormal values.
    const float zeroEntry = -1.0f / 255.0f;
    Plugin plugin;
    plugin.set(0, 0.0f);
    plugin.set(1, 0.0f);
    plugin.set(2, 1.0f);

    const unsigned callerMode = _mm_getcsr();
    ASSERT_EQ(callerMode & 0x8040u, 0u) << "the test starts without flush-to-zero";
    plugin.processLeft(std::vector<float>(512, 0.9f));
    const std::vector<float> decay = plugin.processLeft(std::vector<float>(20000, zeroEntry));
    EXPECT_EQ(_mm_getcsr(), callerMode);

    EXPECT_EQ(decay.back(), 0.0f) << "the decay ends in true zero";
    for (size_t i = 0; i < decay.size(); ++i)
        ASSERT_FALSE(std::fpclassify(decay[i]) == FP_SUBNORMAL) << "frame " << i;

    // A caller that runs with its own mode gets exactly that mode back.
    const unsigned ownMode = (callerMode & ~0x6000u) | 0x6000u | 0x8000u; // round to zero, FTZ
    _mm_setcsr(ownMode);
    plugin.processLeft(std::vector<float>(512, 0.3f));
    const unsigned after = _mm_getcsr();
    _mm_setcsr(callerMode);
    EXPECT_EQ(after, ownMode);
}

TEST(Grizzbox2Sound, StompSwitchActsWithinTheBlock)
{
    // A second thread, like a host's user interface, switches the effect off
    // while a long block is being processed. The block then shows fuzz up to
    // some frame and an exact passthrough from the next frame on. The switch
    // may land after the block if the thread is slow to run, so a few blocks
    // are tried.
    constexpr size_t kFrames = size_t{1} << 21;
    std::vector<float> in(kFrames);
    for (size_t i = 0; i < kFrames; ++i)
        in[i] = 0.2f + 0.1f * static_cast<float>(i % 997) / 997.0f;
    std::vector<float> out(kFrames);

    int switchedWithin = 0;
    for (int attempt = 0; attempt < 8 && switchedWithin == 0; ++attempt)
    {
        Plugin plugin({false, false});
        plugin.set(0, 1.0f);
        plugin.set(2, 1.0f);
        std::fill(out.begin(), out.end(), std::nanf(""));
        std::thread user(
            [&]
            {
                // Wait until the block is under way.
                const volatile float* watched = out.data() + 1000;
                while (std::isnan(*watched))
                    std::this_thread::yield();
                plugin.set(3, 0.0f);
            });
        float* inputs[1] = {in.data()};
        float* outputs[1] = {out.data()};
        plugin.record()->processReplacing(plugin.record(), inputs, outputs,
                                          static_cast<VstInt32>(kFrames));
        user.join();

        size_t firstClean = 0;
        while (firstClean < kFrames && !sameBits(out[firstClean], in[firstClean]))
            ++firstClean;
        ASSERT_GT(firstClean, 1000u);
        for (size_t i = 8; i < firstClean; ++i) // past the tone filter's first rise
            ASSERT_GT(out[i], 0.5f) << "fuzzed frame " << i;
        for (size_t i = firstClean; i < kFrames; ++i)
            ASSERT_TRUE(sameBits(out[i], in[i])) << "frame " << i << " after the switch";
        if (firstClean < kFrames)
            ++switchedWithin;
    }
    EXPECT_EQ(switchedWithin, 1) << "the switch never landed inside a block";
}

TEST(Grizzbox2Robustness, ToneChangesFromAnotherThreadKeepTheOutputBounded)
{
    // A host's user interface sweeps the tone control between its ends while
    // the audio thread processes short blocks. A block must never run with
    // half of one cutoff's coefficients and half of another's: from 14000 Hz
    // towards 400 Hz such a mix is unstable and grows without bound within a
    // block. Whether a block start meets a half-done change is a matter of
    // timing: a plug-in with that fault fails here in most runs, not in all.
    Plugin plugin;
    plugin.set(0, 1.0f);
    plugin.set(2, 1.0f); // +3 dB: the clipped wave reaches about 1.39
    std::atomic<bool> done{false};
    std::thread user(
        [&]
        {
            while (!done.load(std::memory_order_relaxed))
            {
                plugin.set(1, 1.0f);
                plugin.set(1, 0.0f);
            }
        });
    const int kBlock = 16; // many block starts, each long enough to show a blow-up
    std::vector<float> inL = sine(441.0, 0.5, kRate, kBlock * 100), inR = inL;
    std::vector<float> outL(inL.size()), outR(inL.size());
    float loudest = 0.0f;
    for (int pass = 0; pass < 4000 && loudest < 1000.0f; ++pass)
    {
        plugin.process(inL, inR, outL, outR, kBlock);
        for (size_t i = 0; i < outL.size(); ++i)
        {
            const float v = std::max(std::fabs(outL[i]), std::fabs(outR[i]));
            loudest = std::isnan(v) ? INFINITY : std::max(loudest, v);
        }
    }
    done.store(true, std::memory_order_relaxed);
    user.join();
    // A jump from the top cutoff to the bottom one at an edge of the clipped
    // wave rings up to about 12 and decays; a mixed set grows by a factor of
    // about 1.9 a frame, past 1e4 within one block.
    EXPECT_LT(loudest, 1000.0f);
}

namespace
{

// The signal chain built from the DSP library's own calls, for comparison.
class ReferenceChain
{
public:
    ReferenceChain()
    {
        csd_set_attr(CSD_ATTR_SAMPLING_RATE, kRate);
        dist_mxr_init(&distortion);
        for (filter_2_pole_low_pass_struct* f : {&left, &right})
        {
            filter_2_pole_low_pass_init(f);
            filter_2_pole_low_pass_set_attr(f, FILTER_ATTR_RESONANCE, 0.707f);
        }
        for (int i = 0; i < 3; ++i)
            set(i, params.getVSTvalue(i));
    }
    void set(int index, float value)
    {
        params.setVSTvalue(index, value);
        const float natural = params.getNaturalValue(index);
        if (index == 0)
            dist_mxr_set_attr(&distortion, DIST_MXR_ATTR_GAIN, natural);
        if (index == 1)
        {
            filter_2_pole_low_pass_set_attr(&left, FILTER_ATTR_FREQUENCY, natural);
            filter_2_pole_low_pass_set_attr(&right, FILTER_ATTR_FREQUENCY, natural);
        }
        if (index == 2)
            dist_mxr_set_attr(&distortion, DIST_MXR_ATTR_LEVEL,
                              csd_utilities_decibels2amplitude(natural));
    }
    void frame(float inL, float inR, float& outL, float& outR)
    {
        const float a = dist_mxr_dsp(&distortion, inL);
        const float b = dist_mxr_dsp(&distortion, inR);
        outL = filter_2_pole_low_pass_dsp(&left, a);
        outR = filter_2_pole_low_pass_dsp(&right, b);
    }

private:
    GrizzboxTwoParamManager params;
    dist_mxr_struct distortion;
    filter_2_pole_low_pass_struct left, right;
};

} // namespace

TEST(Grizzbox2Sound, SignalChainMatchesTheDspLibraryBitForBit)
{
    // Loud and quiet material, with the odd values a host may pass.
    const int frames = 6000;
    std::vector<float> inL(frames), inR(frames);
    for (int i = 0; i < frames; ++i)
    {
        const double t = i / 44100.0;
        const double envelope = std::pow(10.0, -3.0 + 3.5 * (i % 1500) / 1500.0);
        inL[i] = static_cast<float>(envelope * std::sin(2 * std::numbers::pi * 220.0 * t));
        inR[i] = static_cast<float>(0.05 * std::sin(2 * std::numbers::pi * 3150.0 * t) +
                                    envelope * 0.3 * std::sin(2 * std::numbers::pi * 55.0 * t));
    }
    const float odd[] = {std::nanf(""), INFINITY, -INFINITY, -0.0f, 1e-40f, 3e38f, -1.0f, 1.0f};
    for (size_t k = 0; k < std::size(odd); ++k)
    {
        inL[700 + 13 * k] = odd[k];
        inR[2300 + 17 * k] = odd[k];
    }

    Plugin plugin;
    ReferenceChain reference;
    const unsigned callerMode = _mm_getcsr();
    const int blockSizes[] = {512, 1, 77, 1024, 300};
    const float settings[][3] = {{0.1f, 1.0f, 0.16707f},
                                 {1.0f, 0.0f, 1.0f},
                                 {0.0f, 0.3f, 0.6f},
                                 {0.55f, 0.8f, 0.02f},
                                 {0.9f, 0.05f, 0.9f}};
    int start = 0, block = 0;
    while (start < frames)
    {
        const int n = std::min(blockSizes[block % 5], frames - start);
        for (int p = 0; p < 3; ++p)
        {
            plugin.set(p, settings[block % 5][p]);
            reference.set(p, settings[block % 5][p]);
        }
        std::vector<float> bL(inL.begin() + start, inL.begin() + start + n);
        std::vector<float> bR(inR.begin() + start, inR.begin() + start + n);
        std::vector<float> outL(n), outR(n);
        plugin.process(bL, bR, outL, outR, n);

        _mm_setcsr(callerMode | 0x8040u); // as the plug-in processes
        for (int i = 0; i < n; ++i)
        {
            float refL = 0.0f, refR = 0.0f;
            reference.frame(inL[start + i], inR[start + i], refL, refR);
            if (!sameBits(outL[i], refL) || !sameBits(outR[i], refR))
            {
                _mm_setcsr(callerMode);
                FAIL() << "frame " << start + i << ": " << outL[i] << " / " << outR[i]
                       << " against " << refL << " / " << refR;
            }
        }
        _mm_setcsr(callerMode);
        start += n;
        ++block;
    }
}
