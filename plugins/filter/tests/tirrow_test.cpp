#include "CSoftShaper.h"
#include "CStateVariableFilter.h"
#include "CTirrow.h"
#include "allocation_counter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace
{

// Two channels of audio with the pointer arrays the effect interface takes.
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

// A test signal that keeps every response busy.
Stereo noise(int frames, uint32_t seed = 1)
{
    Stereo s(frames);
    for (int i = 0; i < frames; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        s.left[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
        s.right[i] = 0.8f * std::sin(0.01f * static_cast<float>(i));
    }
    return s;
}

std::string text(void (CTirrow::*getter)(VstInt32, char*), CTirrow& effect, VstInt32 index)
{
    char buffer[64] = "untouched";
    (effect.*getter)(index, buffer);
    return buffer;
}

// An event list with room for N events, laid out as the interface's list.
template <int N> struct EventList
{
    VstInt32 numEvents = N;
    VstIntPtr reserved = 0;
    VstEvent* events[N] = {};
    VstEvents* get() { return reinterpret_cast<VstEvents*>(this); }
};

VstMidiEvent midi(unsigned char status, unsigned char data1, unsigned char data2)
{
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
    return e;
}

VstInt32 send(CTirrow& effect, VstMidiEvent e)
{
    EventList<1> list;
    list.events[0] = reinterpret_cast<VstEvent*>(&e);
    return effect.processEvents(list.get());
}

const char* const kProgramNames[16] = {
    "Default",         "Low pass filter",
    "Hi pass filter",  "Band pass filter",
    "Notch filter",    "Peak filter",
    "Split (HP + LP)", "SuperRes (LP + PK)",
    "Driven",          "Full ahead warp speed",
    "Grimey!",         "Disasterpiece",
    "Edge of Madness", "Do you wish to fight me?",
    "Join us at...",   "www.quorlin.example",
};

} // namespace

TEST(CTirrow, IdentityAndCapabilities)
{
    CTirrow effect(nullptr);
    char buffer[64];
    ASSERT_TRUE(effect.getEffectName(buffer));
    EXPECT_STREQ(buffer, "Tirrow");
    ASSERT_TRUE(effect.getProductString(buffer));
    EXPECT_STREQ(buffer, "SV Filter");
    ASSERT_TRUE(effect.getVendorString(buffer));
    EXPECT_STREQ(buffer, "Quorlin-Audio");
    EXPECT_FALSE(effect.getEffectName(nullptr));
    EXPECT_EQ(effect.getVendorVersion(), 65539);
    EXPECT_EQ(effect.getPlugCategory(), 1);
    EXPECT_FALSE(effect.setBypass(true));
    EXPECT_EQ(effect.getAeffect()->numInputs, 2);
    EXPECT_EQ(effect.getAeffect()->numOutputs, 2);
    EXPECT_EQ(effect.getAeffect()->numPrograms, 16);
    EXPECT_EQ(effect.getAeffect()->numParams, 8);
    EXPECT_TRUE(effect.getAeffect()->flags & effFlagsCanMono);

    struct Case
    {
        const char* text;
        VstInt32 answer;
    };
    const Case cases[] = {
        {"receiveVstEvents", 1},
        {"receiveVstMidiEvent", 1},
        {"plugAsChannelInsert", 1},
        {"plugAsSend", 1},
        {"1in1out", 1},
        {"2in2out", 1},
        {"2in2Out", -1},
        {"2in2out ", -1},
        {"receiveVstTimeInfo", -1},
        {"", -1},
    };
    for (const Case& c : cases)
    {
        std::string copy = c.text;
        EXPECT_EQ(effect.canDo(copy.data()), c.answer) << '"' << c.text << '"';
    }
    EXPECT_EQ(effect.canDo(nullptr), -1);
}

TEST(CTirrow, StartsInTheDefaultProgram)
{
    CTirrow effect(nullptr);
    char name[256];
    effect.getProgramName(name);
    EXPECT_STREQ(name, "Default");
    EXPECT_EQ(effect.getProgram(), 0);
    const float expected[8] = {1.0f, 0, 0, 1, 0, 0, 0, 0};
    for (VstInt32 i = 0; i < 8; ++i)
        EXPECT_EQ(effect.getParameter(i), expected[i]) << i;
}

TEST(CTirrow, NamesLabelsAndDisplayTexts)
{
    CTirrow effect(nullptr);
    effect.setParameter(CTirrow::kCutoff, 0.0f);
    effect.setParameter(CTirrow::kResonance, 0.5f);
    effect.setParameter(CTirrow::kDrive, 0.37f);
    effect.setParameter(CTirrow::kBandPass, 0.5f);  // on at exactly one half
    effect.setParameter(CTirrow::kHighPass, 0.49f); // off just below

    struct Case
    {
        VstInt32 index;
        const char *name, *label, *display;
    };
    const Case cases[] = {
        {0, "Cutoff freq", "Hz", "00050"},
        {1, "Resonance", "%", "050"},
        {2, "Drive", "%", "037"},
        {3, "LPF", " ", " On"},
        {4, "BPF", " ", " On"},
        {5, "HPF", " ", "Off"},
        {6, "Notch", " ", "Off"},
        {7, "Peak", " ", "Off"},
        {8, "Id error!", "Id error!", "Id error!"},
        {-1, "Id error!", "Id error!", "Id error!"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(text(&CTirrow::getParameterName, effect, c.index), c.name);
        EXPECT_EQ(text(&CTirrow::getParameterLabel, effect, c.index), c.label);
        EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, c.index), c.display);
    }

    // The cutoff display follows the sample rate (50 Hz .. 0.75 x rate).
    effect.setParameter(CTirrow::kCutoff, 0.5f);
    EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, 0), "01285");
    effect.setSampleRate(96000.0f);
    EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, 0), "01897");
    effect.setBlockSizeAndSampleRate(512, 44100.0f);
    EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, 0), "01285");

    // Out-of-range indices are ignored by setParameter.
    effect.setParameter(8, 0.3f);
    effect.setParameter(-1, 0.3f);
    EXPECT_EQ(effect.getParameter(8), 0.0f);
}

TEST(CTirrow, FactoryProgramsAndEditsThatWriteThrough)
{
    CTirrow effect(nullptr);
    char name[256];
    for (VstInt32 p = 0; p < 16; ++p)
    {
        ASSERT_TRUE(effect.getProgramNameIndexed(0, p, name));
        EXPECT_STREQ(name, kProgramNames[p]);
    }
    EXPECT_FALSE(effect.getProgramNameIndexed(0, 16, name));
    EXPECT_FALSE(effect.getProgramNameIndexed(0, -1, name));

    effect.setProgram(2);
    EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, 0), "00050");
    for (VstInt32 i = CTirrow::kLowPass; i <= CTirrow::kPeak; ++i)
        EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, i),
                  i == CTirrow::kHighPass ? " On" : "Off");

    effect.setProgram(12);
    EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, 1), "100");

    effect.setProgram(16);
    effect.setProgram(-1);
    EXPECT_EQ(effect.getProgram(), 12);

    // An edit lands in the current program and survives switching away.
    effect.setProgram(3);
    effect.setParameter(CTirrow::kResonance, 0.77f);
    EXPECT_EQ(effect.programRecord(3)->values[CTirrow::kResonance], 0.77f);
    effect.setProgram(0);
    effect.setProgram(3);
    EXPECT_EQ(effect.getParameter(CTirrow::kResonance), 0.77f);

    std::string longName(300, 'x');
    effect.setProgramName(longName.data());
    effect.getProgramName(name);
    EXPECT_EQ(std::strlen(name), 255u);
    char renamed[] = "Mine";
    effect.setProgramName(renamed);
    ASSERT_TRUE(effect.getProgramNameIndexed(0, 3, name));
    EXPECT_STREQ(name, "Mine");
}

TEST(CTirrow, SwitchesOffGiveSilenceAndProcessShapesWhatIsThere)
{
    CTirrow effect(nullptr);
    effect.setParameter(CTirrow::kDrive, 0.5f);
    effect.setParameter(CTirrow::kLowPass, 0.0f);
    effect.resume();
    Stereo in = noise(512);
    Stereo out(512, 7.0f);
    effect.processReplacing(in.channels(), out.channels(), 512);
    for (int i = 0; i < 512; ++i)
        ASSERT_TRUE(out.left[i] == 0.0f && out.right[i] == 0.0f) << i;

    // process() keeps the former content, passed through the shaper.
    Quorlin::Fx::CSoftShaper shaper;
    shaper.setDrive(0.5f);
    Stereo held(512, 0.25f);
    effect.process(in.channels(), held.channels(), 512);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(held.left[i], shaper.shape(0.25f)) << i;
}

TEST(CTirrow, LowPassPassesDirectCurrentThroughTheShaper)
{
    CTirrow effect(nullptr); // program 0: low-pass at the top, drive 0
    effect.resume();
    Stereo in(4096, 0.5f);
    Stereo out(4096);
    effect.processReplacing(in.channels(), out.channels(), 4096);
    EXPECT_NEAR(out.left.back(), 0.6623f, 1e-4f);
    EXPECT_NEAR(out.right.back(), 0.6623f, 1e-4f);
}

TEST(CTirrow, SharedBuffersLongBlocksAndNoResumeGiveTheSameResult)
{
    const int frames = 3000;
    const Stereo in = noise(frames);

    const auto run = [&](VstInt32 blockSize, bool resume, bool shared)
    {
        CTirrow effect(nullptr);
        effect.setProgram(9); // every response on, full drive
        effect.setBlockSize(blockSize);
        if (resume)
            effect.resume();
        Stereo source = in;
        Stereo separate(frames);
        float** outputs = shared ? source.channels() : separate.channels();
        effect.processReplacing(source.channels(), outputs, frames);
        return shared ? source : separate;
    };

    const Stereo reference = run(4096, true, false);
    for (const auto& [blockSize, resume, shared] :
         {std::tuple{4096, true, true}, std::tuple{64, true, false}, std::tuple{100, true, true},
          std::tuple{1024, false, false}, std::tuple{0, true, false},
          std::tuple{INT_MAX, true, false}})
    {
        SCOPED_TRACE(testing::Message() << blockSize << " " << resume << " " << shared);
        const Stereo result = run(blockSize, resume, shared);
        EXPECT_EQ(result.left, reference.left);
        EXPECT_EQ(result.right, reference.right);
    }
}

TEST(CTirrow, ControlChangesSetParameters)
{
    CTirrow effect(nullptr);
    EXPECT_EQ(send(effect, midi(0xB0, 53, 63)), 1);
    EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, CTirrow::kLowPass), "Off");
    send(effect, midi(0xB7, 53, 64)); // any channel
    EXPECT_EQ(text(&CTirrow::getParameterDisplay, effect, CTirrow::kLowPass), " On");
    EXPECT_FLOAT_EQ(effect.getParameter(CTirrow::kLowPass), 64.0f / 127.0f);

    send(effect, midi(0xB0, 50, 127));
    EXPECT_EQ(effect.getParameter(CTirrow::kCutoff), 1.0f);
    send(effect, midi(0xB0, 57, 127));
    EXPECT_EQ(effect.getParameter(CTirrow::kPeak), 1.0f);

    // Controllers outside 50..57, notes, and non-MIDI events change nothing.
    float before[8];
    for (VstInt32 i = 0; i < 8; ++i)
        before[i] = effect.getParameter(i);
    VstMidiEvent others[] = {midi(0xB0, 49, 0), midi(0xB0, 58, 0), midi(0x90, 53, 0),
                             midi(0xE0, 53, 0), midi(0xC0, 50, 0)};
    VstEvent sysex{};
    sysex.type = 6;
    EventList<6> list;
    for (int i = 0; i < 5; ++i)
        list.events[i] = reinterpret_cast<VstEvent*>(&others[i]);
    list.events[5] = &sysex;
    EXPECT_EQ(effect.processEvents(list.get()), 1);
    for (VstInt32 i = 0; i < 8; ++i)
        EXPECT_EQ(effect.getParameter(i), before[i]) << i;

    // Several events in one list apply in order; data bytes use 7 bits.
    VstMidiEvent sequence[] = {midi(0xB0, 51, 10), midi(0xB0, 51, 0x80 | 127),
                               midi(0xB0, 52 | 0x80, 0)};
    EventList<3> three;
    for (int i = 0; i < 3; ++i)
        three.events[i] = reinterpret_cast<VstEvent*>(&sequence[i]);
    effect.processEvents(three.get());
    EXPECT_EQ(effect.getParameter(CTirrow::kResonance), 1.0f);
    EXPECT_EQ(effect.getParameter(CTirrow::kDrive), 0.0f);
}

TEST(CTirrow, RecoversWithinOneBlockFromNonFiniteInput)
{
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    {
        CTirrow effect(nullptr);
        effect.setProgram(9);
        effect.resume();
        Stereo in = noise(256);
        Stereo out(256);
        in.left[100] = bad;
        in.right[200] = -bad;
        effect.processReplacing(in.channels(), out.channels(), 256);

        Stereo next = noise(256, 7);
        effect.processReplacing(next.channels(), out.channels(), 256);
        for (int i = 0; i < 256; ++i)
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]))
                << bad << " " << i;
        EXPECT_NE(out.left[255], 0.0f);
    }
}

TEST(CTirrow, ProcessingAllocatesNothingOnceResumed)
{
    CTirrow effect(nullptr);
    effect.setBlockSize(256);
    effect.resume();
    Stereo in = noise(1000);
    Stereo out(1000);
    VstMidiEvent cc = midi(0xB0, 51, 90);

    allocation_counter::Watch watch;
    effect.processReplacing(in.channels(), out.channels(), 256);
    effect.processReplacing(in.channels(), out.channels(), 1000); // longer than announced
    effect.process(in.channels(), out.channels(), 17);
    send(effect, cc);
    effect.setParameter(CTirrow::kCutoff, 0.3f);
    effect.setProgram(5);
    effect.processReplacing(in.channels(), out.channels(), 1000);
    EXPECT_EQ(watch.allocations(), 0);
}

namespace
{

// The effect written out sample by sample, the straightforward way: both
// filters' double-sampled steps, the switched responses summed in the order
// low, band, high, notch, peak onto zero (or onto what the output holds, for
// process()), then the curve. A non-finite state is cleared after each block.
class ReferenceTirrow
{
public:
    explicit ReferenceTirrow(const float* values)
    {
        filter.setFrequency(values[CTirrow::kCutoff]);
        filter.setResonance(values[CTirrow::kResonance]);
        shaper.setDrive(values[CTirrow::kDrive]);
        for (int r = 0; r < CTirrow::kNumResponses; ++r)
            on[r] = values[CTirrow::kLowPass + r] >= 0.5f;
    }

    void setCutoff(float value) { filter.setFrequency(value); }

    void run(const float* const* in, float* const* out, int frames, bool replacing)
    {
        const float f = filter.f, damp = filter.damp, k = shaper.k;
        std::vector<float> result[2];
        for (int c = 0; c < 2; ++c)
        {
            State& s = state[c];
            for (int i = 0; i < frames; ++i)
            {
                const float x = in[c][i] + 1e-15f;
                float sum[5] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
                for (int pass = 0; pass < 2; ++pass)
                {
                    s.notch = x - damp * s.band;
                    s.low = s.low + f * s.band;
                    s.high = s.notch - s.low;
                    s.band = f * s.high + s.band;
                    sum[0] += 0.5f * s.low;
                    sum[1] += 0.5f * s.band;
                    sum[2] += 0.5f * s.high;
                    sum[3] += 0.5f * s.notch;
                    sum[4] += 0.5f * (s.low - s.high);
                }
                float mix = replacing ? 0.0f : out[c][i];
                for (int r = 0; r < 5; ++r)
                    if (on[r])
                        mix += sum[r];
                const float numerator = (k + 1.0f) * mix;
                const double denominator =
                    static_cast<double>(k) * std::fabs(static_cast<double>(mix)) + 1.0;
                result[c].push_back(static_cast<float>(numerator / denominator));
            }
        }
        // Inputs are all read before any output is written: buffers may be shared.
        for (int c = 0; c < 2; ++c)
            std::copy(result[c].begin(), result[c].end(), out[c]);
        for (State& s : state)
            if (!std::isfinite(s.notch) || !std::isfinite(s.low) || !std::isfinite(s.high) ||
                !std::isfinite(s.band))
                s = State{};
    }

private:
    struct State
    {
        float notch = 0.0f, low = 0.0f, high = 0.0f, band = 0.0f;
    };
    Quorlin::Fx::CStateVariableFilter filter{44100.0f};
    Quorlin::Fx::CSoftShaper shaper;
    bool on[CTirrow::kNumResponses] = {};
    State state[2];
};

std::vector<uint32_t> bits(const std::vector<float>& samples)
{
    std::vector<uint32_t> result(samples.size());
    std::memcpy(result.data(), samples.data(), samples.size() * sizeof(float));
    return result;
}

} // namespace

// Every output bit as the per-sample formulas give it: all programs plus
// settings of our own, in-place and separate buffers, replacing and
// accumulating, odd block lengths (some longer than the announced block, so
// they go through in pieces), a cutoff change between blocks, a NaN and an
// infinity in the input, and signed zeros in the accumulated output.
TEST(CTirrow, OutputMatchesTheSampleBySampleReferenceBitForBit)
{
    struct Setting
    {
        const char* what;
        float values[CTirrow::kNumParams];
    };
    // In place, the shared buffers hold the input, which is also what
    // process() accumulates onto; crossed, each output is the other
    // channel's input buffer.
    enum Buffers
    {
        kSeparate,
        kInPlace,
        kCrossed
    };
    const char* const kBuffersText[] = {"", ", in place", ", crossed in place"};
    std::vector<Setting> settings;
    for (int p = 0; p < CTirrow::kNumPrograms; ++p)
    {
        CTirrow effect(nullptr);
        Setting s{kProgramNames[p], {}};
        std::memcpy(s.values, effect.programRecord(p)->values, sizeof s.values);
        settings.push_back(s);
    }
    settings.push_back({"all on, no drive", {0.62f, 0.35f, 0.0f, 1, 1, 1, 1, 1}});
    settings.push_back({"all on, top cutoff, full resonance", {1.0f, 1.0f, 1.0f, 1, 1, 1, 1, 1}});
    settings.push_back({"all off, drive", {0.5f, 0.5f, 0.6f, 0, 0, 0, 0, 0}});
    settings.push_back({"band, notch, peak", {0.1f, 0.95f, 0.25f, 0, 1, 0, 1, 1}});

    const int blocks[] = {1, 7, 333, 64, 1000, 2, 511, 129};
    int total = 0;
    for (int b : blocks)
        total += b;
    Stereo input = noise(total, 99);
    input.left[40] = std::numeric_limits<float>::quiet_NaN();
    input.right[1500] = -std::numeric_limits<float>::infinity();
    Stereo prefill(total);
    for (int i = 0; i < total; ++i)
    {
        const float values[] = {0.0f, -0.0f, 0.3f, -1.7f};
        prefill.left[i] = values[i % 4];
        prefill.right[i] = values[(i + 1) % 4];
    }

    for (const Setting& setting : settings)
        for (const Buffers buffers : {kSeparate, kInPlace, kCrossed})
            for (const bool replacing : {true, false})
            {
                SCOPED_TRACE(testing::Message() << setting.what << kBuffersText[buffers]
                                                << (replacing ? "" : ", accumulating"));
                CTirrow effect(nullptr);
                for (VstInt32 i = 0; i < CTirrow::kNumParams; ++i)
                    effect.setParameter(i, setting.values[i]);
                effect.setBlockSize(300);
                effect.resume();
                ReferenceTirrow reference(setting.values);

                // The reference reads from an untouched copy of the input.
                Stereo source = input;
                Stereo actualOut = prefill;
                const bool inPlace = buffers != kSeparate;
                Stereo expectedOut = inPlace ? input : prefill;
                float** out = inPlace ? source.channels() : actualOut.channels();
                const int outLeft = buffers == kCrossed ? 1 : 0;

                int offset = 0;
                for (int n = 0; n < static_cast<int>(std::size(blocks)); ++n)
                {
                    const int frames = blocks[n];
                    if (n == 5)
                    {
                        effect.setParameter(CTirrow::kCutoff, 0.33f);
                        reference.setCutoff(0.33f);
                    }
                    float* in[2] = {source.left.data() + offset, source.right.data() + offset};
                    float* o[2] = {out[outLeft] + offset, out[1 - outLeft] + offset};
                    const float* refIn[2] = {input.left.data() + offset,
                                             input.right.data() + offset};
                    float* refOut[2] = {expectedOut.left.data() + offset,
                                        expectedOut.right.data() + offset};
                    if (buffers == kCrossed)
                        std::swap(refOut[0], refOut[1]);
                    if (replacing)
                        effect.processReplacing(in, o, frames);
                    else
                        effect.process(in, o, frames);
                    reference.run(refIn, refOut, frames, replacing);
                    offset += frames;
                }
                const Stereo& actual = inPlace ? source : actualOut;
                ASSERT_EQ(bits(actual.left), bits(expectedOut.left));
                ASSERT_EQ(bits(actual.right), bits(expectedOut.right));
            }
}
