// The host services an effect calls, the number formatters and the speaker
// helpers, each reached through the test plug-in.
#include "plugin_fixture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace
{

void* fakePointer(uintptr_t value)
{
    return reinterpret_cast<void*>(value);
}

struct ServiceCase
{
    const char* name;
    ProbeServiceCall call;
    VstIntPtr hostAnswer;
    // The call the host must see (ignored when calls is false).
    bool calls;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
    VstIntPtr result;
    VstIntPtr resultWithoutHost;
};

ProbeServiceCall with(ProbeService s, VstIntPtr a = 0, VstIntPtr b = 0, void* ptr = nullptr,
                      float opt = 0.0f, VstIntPtr c = 0)
{
    ProbeServiceCall call{s};
    call.a = a;
    call.b = b;
    call.c = c;
    call.ptr = ptr;
    call.opt = opt;
    return call;
}

void* const P = fakePointer(0x5000);    // a record of the host's
void* const Q = fakePointer(0x7777770); // an answer that is a pointer
const VstIntPtr Qi = 0x7777770;

const ServiceCase kServices[] = {
    // name, call, answer, calls, opcode, index, value, ptr, opt, result, without host
    {"automate", with(kSetParameterAutomated, 3, 0, nullptr, 0.25f), 0, true, 0, 3, 0, nullptr,
     0.25f, 0, 0},
    {"version", with(kGetMasterVersion), 2400, true, 1, 0, 0, nullptr, 0, 2400, 1},
    {"version 0", with(kGetMasterVersion), 0, true, 1, 0, 0, nullptr, 0, 1, 1},
    {"current id", with(kGetCurrentUniqueId), 0x41424344, true, 2, 0, 0, nullptr, 0, 0x41424344, 0},
    {"idle", with(kMasterIdle), 1, true, 3, 0, 0, nullptr, 0, 0, 0},
    {"input connected", with(kIsInputConnected, 1), 0, true, 4, 1, 0, nullptr, 0, 1, 1},
    {"input unconnected", with(kIsInputConnected, 1), 1, true, 4, 1, 0, nullptr, 0, 0, 1},
    {"output connected", with(kIsOutputConnected, 1), 0, true, 4, 1, 1, nullptr, 0, 1, 1},
    {"output unconnected", with(kIsOutputConnected, 0), 1, true, 4, 0, 1, nullptr, 0, 0, 1},
    {"want events", with(kWantEvents, 1), 1, true, 6, 0, 1, nullptr, 0, 0, 0},
    {"time info", with(kGetTimeInfo, 0x600), Qi, true, 7, 0, 0x600, nullptr, 0, Qi, 0},
    {"send events", with(kSendVstEventsToHost, 0, 0, P), 1, true, 8, 0, 0, P, 0, 1, 0},
    {"send events 2", with(kSendVstEventsToHost, 0, 0, P), 2, true, 8, 0, 0, P, 0, 0, 0},
    {"tempo at", with(kTempoAt, 100), 1200000, true, 10, 0, 100, nullptr, 0, 1200000, 0},
    {"automatable", with(kGetNumAutomatableParameters), 5, true, 11, 0, 0, nullptr, 0, 5, 0},
    {"quantization", with(kGetParameterQuantization), 6, true, 12, 0, 0, nullptr, 0, 6, 0},
    {"io changed", with(kIoChanged), 7, true, 13, 0, 0, nullptr, 0, 1, 0},
    {"need idle", with(kNeedIdle), 1, true, 14, 0, 0, nullptr, 0, 1, 0},
    {"size window", with(kSizeWindow, 300, 200), 1, true, 15, 300, 200, nullptr, 0, 1, 0},
    {"sample rate", with(kUpdateSampleRate), 48000, true, 16, 0, 0, nullptr, 0, 48000, 44100},
    {"sample rate 0", with(kUpdateSampleRate), 0, true, 16, 0, 0, nullptr, 0, 44100, 44100},
    {"sample rate <0", with(kUpdateSampleRate), -5, true, 16, 0, 0, nullptr, 0, 44100, 44100},
    {"block size", with(kUpdateBlockSize), 256, true, 17, 0, 0, nullptr, 0, 256, 1024},
    {"block size 0", with(kUpdateBlockSize), 0, true, 17, 0, 0, nullptr, 0, 1024, 1024},
    {"input latency", with(kGetInputLatency), 64, true, 18, 0, 0, nullptr, 0, 64, 0},
    {"output latency", with(kGetOutputLatency), 65, true, 19, 0, 0, nullptr, 0, 65, 0},
    {"previous plug", with(kGetPreviousPlug, 5), Qi, true, 20, 0, 0, nullptr, 0, Qi, 0},
    {"next plug", with(kGetNextPlug, 5), Qi, true, 21, 0, 0, nullptr, 0, Qi, 0},
    {"replacing", with(kWillProcessReplacing), 2, true, 22, 0, 0, nullptr, 0, 2, 0},
    {"process level", with(kGetCurrentProcessLevel), 2, true, 23, 0, 0, nullptr, 0, 2, 0},
    {"automation state", with(kGetAutomationState), 3, true, 24, 0, 0, nullptr, 0, 3, 0},
    {"offline start", with(kOfflineStart, 3, 1, P), 1, true, 25, 1, 3, P, 0, 1, 0},
    {"offline read", with(kOfflineRead, 2, 0, P, 0, 1), 1, true, 26, 1, 2, P, 0, 1, 0},
    {"offline read dest", with(kOfflineRead, 2, 0, P, 0, 0), 0, true, 26, 0, 2, P, 0, 0, 0},
    {"offline write", with(kOfflineWrite, 2, 0, P), 1, true, 27, 0, 2, P, 0, 1, 0},
    {"current pass", with(kOfflineGetCurrentPass), 3, true, 28, 0, 0, nullptr, 0, 1, 0},
    {"current meta pass", with(kOfflineGetCurrentMetaPass), 0, true, 29, 0, 0, nullptr, 0, 0, 0},
    {"output rate", with(kSetOutputSamplerate, 0, 0, nullptr, 22050.0f), 0, true, 30, 0, 0, nullptr,
     22050.0f, 0, 0},
    {"output speakers", with(kGetOutputSpeakerArrangement), Qi, true, 31, 0, 0, nullptr, 0, Qi, 0},
    {"vendor", with(kGetHostVendorString, 0, 0, P), 1, true, 32, 0, 0, P, 0, 1, 0},
    {"product", with(kGetHostProductString, 0, 0, P), 1, true, 33, 0, 0, P, 0, 1, 0},
    {"vendor version", with(kGetHostVendorVersion), 1000, true, 34, 0, 0, nullptr, 0, 1000, 0},
    {"vendor specific", with(kHostVendorSpecific, 1, 2, P, 0.5f), 9, true, 35, 1, 2, P, 0.5f, 9, 0},
    {"can do yes", with(kCanHostDo, 0, 0, P), 1, true, 37, 0, 0, P, 0, 1, 0},
    {"can do no", with(kCanHostDo, 0, 0, P), -1, true, 37, 0, 0, P, 0, 1, 0}, // non-zero answer
    {"can do unknown", with(kCanHostDo, 0, 0, P), 0, true, 37, 0, 0, P, 0, 0, 0},
    {"language", with(kGetHostLanguage), 1, true, 38, 0, 0, nullptr, 0, 1, 0},
    {"open window", with(kOpenWindow, 0, 0, P), Qi, true, 39, 0, 0, P, 0, Qi, 0},
    {"close window", with(kCloseWindow, 0, 0, P), 1, true, 40, 0, 0, P, 0, 1, 0},
    {"directory", with(kGetDirectory), Qi, true, 41, 0, 0, nullptr, 0, Qi, 0},
    {"update display", with(kUpdateDisplay), 1, true, 42, 0, 0, nullptr, 0, 1, 0},
    {"begin edit", with(kBeginEdit, 2), 1, true, 43, 2, 0, nullptr, 0, 1, 0},
    {"end edit", with(kEndEdit, 2), 1, true, 44, 2, 0, nullptr, 0, 1, 0},
    {"open selector", with(kOpenFileSelector, 0, 0, P), 1, true, 45, 0, 0, P, 0, 1, 0},
    {"open selector null", with(kOpenFileSelector), 1, false, 0, 0, 0, nullptr, 0, 0, 0},
    {"close selector", with(kCloseFileSelector, 0, 0, P), 1, true, 46, 0, 0, P, 0, 1, 0},
    {"close selector null", with(kCloseFileSelector), 1, false, 0, 0, 0, nullptr, 0, 0, 0},
    {"chunk file", with(kGetChunkFile, 0, 0, P), 1, true, 48, 0, 0, P, 0, 1, 0},
    {"chunk file null", with(kGetChunkFile), 1, false, 0, 0, 0, nullptr, 0, 0, 0},
    {"input speakers", with(kGetInputSpeakerArrangement), Qi, true, 49, 0, 0, nullptr, 0, Qi, 0},
};

using HostServiceTest = PluginTest;

TEST_F(HostServiceTest, EachServiceCallsTheHostAsTabled)
{
    ASSERT_NE(load(), nullptr);
    for (const ServiceCase& c : kServices)
    {
        SCOPED_TRACE(c.name);
        answer(c.calls ? c.opcode : audioMasterOpenFileSelector, c.hostAnswer);
        answer(audioMasterCloseFileSelector, c.hostAnswer);
        answer(audioMasterGetChunkFile, c.hostAnswer);
        clearCalls();
        EXPECT_EQ(service(c.call), c.result);
        if (!c.calls)
        {
            EXPECT_TRUE(calls().empty());
            continue;
        }
        ASSERT_EQ(calls().size(), 1u);
        const HostCall& asked = calls()[0];
        EXPECT_EQ(asked.effect, effect);
        EXPECT_EQ(asked.opcode, c.opcode);
        EXPECT_EQ(asked.index, c.index);
        EXPECT_EQ(asked.value, c.value);
        EXPECT_EQ(asked.ptr, c.ptr);
        EXPECT_EQ(asked.opt, c.opt);
        // Services that store what the host said must not keep it for the
        // next row.
        dispatch(effSetBlockSizeAndSampleRate, 0, 1024, nullptr, 44100.0f);
    }
}

TEST_F(HostServiceTest, WithoutHostCallbackEveryServiceFallsBack)
{
    probe->withoutHostCallback = true;
    ASSERT_NE(load(), nullptr);
    clearCalls();
    for (const ServiceCase& c : kServices)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(service(c.call), c.resultWithoutHost);
    }
    EXPECT_TRUE(calls().empty());
}

TEST_F(HostServiceTest, AutomationSetsTheParameterBeforeTellingTheHost)
{
    ASSERT_NE(load(), nullptr);
    clearCalls();
    service(with(kSetParameterAutomated, 4, 0, nullptr, 0.75f));
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0].parameterSetBefore, 4);
    EXPECT_EQ(probe->lastParameterValue, 0.75f);
}

// Formatters: parameter index selects the formatter (see testeffect.h).
struct FormatCase
{
    VstInt32 formatter; // 0 float, 1 int, 2 dB, 3 Hz, 4 ms
    float value;
    const char* expected;
    VstInt32 maxLen = 8;
};

TEST_F(HostServiceTest, FormattersLayOutEightPositions)
{
    ASSERT_NE(load(), nullptr);
    const float inf = std::numeric_limits<float>::infinity();
    const FormatCase cases[] = {
        {0, 1.5f, "1.500000"},
        {0, -1.5f, "-1.50000"},
        {0, 0.0f, "0.000000"},
        {0, -0.0f, "0.000000"},
        {0, 12.25f, "12.25000"},
        {0, 1234567.0f, "1234567."},
        {0, -123456.0f, "-123456."},
        {0, 0.7f, "0.699999"}, // the float 0.7 is 0.69999998..., truncated digit by digit
        {0, 100000000.0f, "Huge!"},
        {0, 123456789.0f, "Huge!"},
        {0, -10000000.0f, "Huge!"},
        {0, inf, "Huge!"},
        {0, -inf, "Huge!"},
        {0, 12345678.0f, "12345678"}, // integer digits fill all eight positions
        {0, -1234567.0f, "-1234567"},
        {0, std::numeric_limits<float>::quiet_NaN(), "NaN"},
        {0, 1.5f, "1.5", 3},
        {0, 1.5f, "", 0},
        {1, -42.0f, "-42"},
        {1, 0.0f, ""},
        {1, 1000.0f, "1000"},
        {1, 12345678.0f, "12345678"},
        {1, 100000000.0f, "Huge!"},
        {1, -100000000.0f, "Huge!"},
        {1, -12345678.0f, "-1234", 5},
        {2, 0.0f, "-oo"},
        {2, -1.0f, "-oo"},
        {2, 1.0f, "0.000000"},
        {2, 10.0f, "20.00000"},
        {2, 0.5f, "-6.02059"},
        {3, 100.0f, "441.0000"},
        {3, 0.0f, "0.000000"},
        {4, 441.0f, "10.00000"},
        {4, 22050.0f, "500.0000"},
    };
    for (const FormatCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "formatter " << c.formatter << " value " << c.value
                                        << " maxLen " << c.maxLen);
        probe->displayValue = c.value;
        probe->displayMaxLen = c.maxLen;
        char text[32];
        std::memset(text, '#', sizeof(text));
        dispatch(effGetParamDisplay, c.formatter, 0, text);
        EXPECT_STREQ(text, c.expected);
        EXPECT_EQ(text[c.maxLen], 0) << "terminator at maxLen";
        EXPECT_EQ(text[c.maxLen + 1], '#') << "nothing written past maxLen";
    }
}

TEST_F(HostServiceTest, TimeFormattersFollowTheSampleRate)
{
    ASSERT_NE(load(), nullptr);
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    char text[16] = {};
    probe->displayValue = 48.0f;
    dispatch(effGetParamDisplay, 4, 0, text);
    EXPECT_STREQ(text, "1.000000");
    probe->displayValue = 480.0f;
    dispatch(effGetParamDisplay, 3, 0, text);
    EXPECT_STREQ(text, "100.0000");
}

using SpeakerTest = PluginTest;

VstSpeakerArrangement* makeArrangement(VstInt32 channels, VstInt32 type)
{
    auto* a = static_cast<VstSpeakerArrangement*>(std::calloc(1, 8 + 112 * channels));
    a->type = type;
    a->numChannels = channels;
    for (VstInt32 i = 0; i < channels; ++i)
    {
        VstSpeakerProperties* s = vstSpeakerAt(a, i);
        std::memset(s->name, 'a' + i, sizeof(s->name)); // no terminator
        s->azimuth = 0.5f * i;
        s->elevation = 1.0f;
        s->radius = 2.0f;
        s->reserved = 3.0f;
        s->type = 10 + i;
        std::memset(s->future, 0x5A, sizeof(s->future));
    }
    return a;
}

TEST_F(SpeakerTest, AllocateGivesZeroedBlockAndRefusesNegativeCounts)
{
    ASSERT_NE(load(), nullptr);
    VstSpeakerArrangement* a = nullptr;
    ASSERT_EQ(service(with(kAllocateArrangement, 3, 0, &a)), 1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->numChannels, 3);
    EXPECT_EQ(a->type, 0);
    const auto* bytes = reinterpret_cast<const unsigned char*>(vstSpeakerAt(a, 0));
    for (size_t i = 0; i < 3 * sizeof(VstSpeakerProperties); ++i)
        ASSERT_EQ(bytes[i], 0) << i;

    // Reallocating frees the old block (the leak checker would see it).
    ASSERT_EQ(service(with(kAllocateArrangement, 1, 0, &a)), 1);
    EXPECT_EQ(a->numChannels, 1);

    EXPECT_EQ(service(with(kAllocateArrangement, -1, 0, &a)), 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(service(with(kAllocateArrangement, 2, 0, nullptr)), 0);

    ASSERT_EQ(service(with(kAllocateArrangement, 0, 0, &a)), 1);
    EXPECT_EQ(service(with(kDeallocateArrangement, 0, 0, &a)), 1);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(service(with(kDeallocateArrangement, 0, 0, &a)), 1);
}

TEST_F(SpeakerTest, CopySpeakerTerminatesTheNameAndCopiesEveryField)
{
    ASSERT_NE(load(), nullptr);
    VstSpeakerArrangement* from = makeArrangement(1, 0);
    VstSpeakerProperties to;
    std::memset(&to, 0xFF, sizeof(to));
    VstSpeakerProperties* pair[2] = {&to, vstSpeakerAt(from, 0)};
    EXPECT_EQ(service(with(kCopySpeaker, 0, 0, pair)), 1);
    EXPECT_EQ(std::string(to.name), std::string(63, 'a'));
    EXPECT_EQ(to.type, 10);
    EXPECT_EQ(to.radius, 2.0f);
    EXPECT_EQ(to.reserved, 3.0f);
    EXPECT_EQ(static_cast<unsigned char>(to.future[27]), 0x5A);

    VstSpeakerProperties* nullPairs[2][2] = {{nullptr, &to}, {&to, nullptr}};
    for (auto& p : nullPairs)
        EXPECT_EQ(service(with(kCopySpeaker, 0, 0, p)), 0);
    std::free(from);
}

TEST_F(SpeakerTest, MatchArrangementCopiesTypeAndEverySpeaker)
{
    ASSERT_NE(load(), nullptr);
    VstSpeakerArrangement* from = makeArrangement(10, 7); // more than the declared eight
    VstSpeakerArrangement* to = makeArrangement(2, 1);
    ProbeServiceCall call = with(kMatchArrangement, 0, 0, &to);
    call.ptr2 = from;
    ASSERT_EQ(service(call), 1);
    ASSERT_NE(to, nullptr);
    EXPECT_EQ(to->type, 7);
    ASSERT_EQ(to->numChannels, 10);
    for (VstInt32 i = 0; i < 10; ++i)
    {
        const VstSpeakerProperties* s = vstSpeakerAt(to, i);
        EXPECT_EQ(s->type, 10 + i);
        EXPECT_EQ(s->azimuth, 0.5f * i);
        EXPECT_EQ(std::strlen(s->name), 63u);
        EXPECT_EQ(s->name[0], 'a' + i);
    }
    call.ptr2 = nullptr;
    EXPECT_EQ(service(call), 0);
    EXPECT_NE(to, nullptr) << "a refused match leaves the target alone";
    std::free(to);
    std::free(from);
}

} // namespace
