// The plug-in as a host sees it: the entry point, the record, the dispatcher
// and the functions stored in the record.
#include "plugin_fixture.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{

using EntryTest = PluginTest;

TEST_F(EntryTest, HostWithoutVersionGetsNoEffectAndNoObjectIsMade)
{
    answer(audioMasterVersion, 0);
    EXPECT_EQ(load(), nullptr);
    EXPECT_EQ(probe->factoryCalls, 0);
    ASSERT_EQ(calls().size(), 1u);
    const HostCall& asked = calls()[0];
    EXPECT_EQ(asked.effect, nullptr);
    EXPECT_EQ(asked.opcode, audioMasterVersion);
    EXPECT_EQ(asked.index, 0);
    EXPECT_EQ(asked.value, 0);
    EXPECT_EQ(asked.ptr, nullptr);
    EXPECT_EQ(asked.opt, 0.0f);
}

TEST_F(EntryTest, FailingFactoryGivesNullRecord)
{
    struct Case
    {
        const char* name;
        bool returnsNull;
        bool throws;
    };
    for (const Case& c : {Case{"null", true, false}, Case{"throws", false, true}})
    {
        SCOPED_TRACE(c.name);
        *probe = TestEffectProbe{};
        probe->factoryReturnsNull = c.returnsNull;
        probe->factoryThrows = c.throws;
        EXPECT_EQ(load(), nullptr);
        EXPECT_EQ(probe->factoryCalls, 1);
    }
    EXPECT_EQ(pluginMain(nullptr), nullptr);
}

TEST_F(EntryTest, FreshRecordReadsAsConstructed)
{
    ASSERT_NE(load(), nullptr);
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->numPrograms, kTestEffectPrograms);
    EXPECT_EQ(effect->numParams, kTestEffectParams);
    EXPECT_EQ(effect->numInputs, 1);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags, effFlagsCanReplacing);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->object, probe->object);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_EQ(effect->uniqueID, 0x4E6F4566);
    EXPECT_EQ(effect->version, 1);
    for (AEffectProcessProc f : {effect->process, effect->processReplacing})
        EXPECT_NE(f, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->setParameter, nullptr);
    EXPECT_NE(effect->getParameter, nullptr);
    const char zeros[sizeof(effect->future)] = {};
    EXPECT_EQ(std::memcmp(effect->future, zeros, sizeof(zeros)), 0);
}

TEST_F(EntryTest, RecordFunctionsReachTheObject)
{
    ASSERT_NE(load(), nullptr);
    effect->setParameter(effect, 0, 0.25f);
    EXPECT_EQ(probe->lastParameterIndex, 0);
    EXPECT_EQ(effect->getParameter(effect, 0), 0.25f);

    // Gain 2 x 0.25, one input feeding both outputs: replacing overwrites,
    // accumulating adds.
    float inL[3] = {1, 2, 3};
    float outL[3] = {9, 9, 9}, outR[3] = {9, 9, 9};
    float* in[1] = {inL};
    float* out[2] = {outL, outR};
    effect->processReplacing(effect, in, out, 3);
    EXPECT_EQ(outL[2], 1.5f);
    EXPECT_EQ(outR[1], 1.0f);
    effect->process(effect, in, out, 3);
    EXPECT_EQ(outL[2], 3.0f);
    EXPECT_EQ(outR[1], 2.0f);

    double dIn[2] = {1, 1}, dOut[2] = {5, 5};
    double* din[2] = {dIn, dIn};
    double* dout[2] = {dOut, dOut};
    effect->processDoubleReplacing(effect, din, dout, 2);
    EXPECT_EQ(dOut[0], 5.0); // the base does nothing
}

TEST_F(EntryTest, CloseDeletesObjectAndEditorAndAnswersOne)
{
    probe->withEditor = true;
    ASSERT_NE(load(), nullptr);
    EXPECT_EQ(dispatch(effClose), 1);
    effect = nullptr;
    EXPECT_EQ(probe->destructorRuns, 1);
    EXPECT_EQ(probe->editorDeletes, 1);
}

using DispatchTest = PluginTest;

TEST_F(DispatchTest, FixedAnswersOfTheDefaultEffect)
{
    ASSERT_NE(load(), nullptr);
    char text[] = "anything";
    struct Case
    {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        void* ptr;
        VstIntPtr expected;
    };
    const Case cases[] = {
        {effIdentify, 0, 0, nullptr, 0x4E764566},
        {effGetVu, 0, 0, nullptr, 0},
        {effGetProgram, 0, 0, nullptr, 0},
        {effOpen, 0, 0, nullptr, 0},
        {effCanBeAutomated, 3, 0, nullptr, 1},
        {effString2Parameter, 0, 0, text, 0},
        {effGetNumProgramCategories, 0, 0, nullptr, 1},
        {effConnectInput, 0, 0, nullptr, 1},
        {effConnectOutput, 1, 1, nullptr, 1},
        {effGetPlugCategory, 0, 0, nullptr, kPlugCategUnknown},
        {effGetEffectName, 0, 0, text, 0},
        {effGetVendorVersion, 0, 0, nullptr, 0},
        {effCanDo, 0, 0, text, 0},
        {effGetTailSize, 0, 0, nullptr, 0},
        {effKeysRequired, 0, 0, nullptr, 1}, // inverted: no keys needed
        {effGetVstVersion, 0, 0, nullptr, 2400},
        {effGetCurrentMidiProgram, 0, 0, nullptr, -1},
        {effSetBlockSizeAndSampleRate, 0, 64, nullptr, 1},
        // Opcodes outside the table.
        {80, 0, 0, nullptr, 0},
        {1000, 0, 0, nullptr, 0},
        {-1, 0, 0, nullptr, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.opcode);
        EXPECT_EQ(dispatch(c.opcode, c.index, c.value, c.ptr), c.expected);
    }
    EXPECT_STREQ(text, "anything") << "no default writes into a caller's text";
}

TEST_F(DispatchTest, ArgumentsReachTheRightParameters)
{
    ASSERT_NE(load(), nullptr);
    void* const P = reinterpret_cast<void*>(0x1000);
    const VstIntPtr p = 0x1000;
    const VstIntPtr V = 0x2000; // a pointer passed in value
    struct Case
    {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
        VstIntPtr result;
        VstIntPtr args[3];
    };
    const Case cases[] = {
        {effGetChunk, 1, 0, 0, 100, {p, 1, 0}},
        {effGetChunk, 0, 0, 0, 100, {p, 0, 0}},
        {effSetChunk, 2, 345, 0, 101, {p, 345, 1}},
        {effProcessEvents, 0, 0, 0, 102, {p, 0, 0}},
        {effGetProgramNameIndexed, 4, 3, 0, 1, {3, 4, p}}, // category from value
        {effConnectInput, 1, 0, 0, 1, {1, 0, 0}},
        {effConnectOutput, 1, 7, 0, 1, {1, 1, 0}},
        {effOfflineNotify, 1, 6, 0, 103, {p, 6, 1}},
        {effSetSpeakerArrangement, 0, V, 0, 1, {V, p, 0}},
        {effGetSpeakerArrangement, 0, V, 0, 1, {V, p, 0}},
        {effSetBypass, 0, 2, 0, 1, {1, 0, 0}},
        {effSetViewPosition, 11, 22, 0, 1, {11, 22, 0}},
        {effSetPanLaw, 0, 1, 0.5f, 1, {1, 500, 0}},
        {effGetMidiKeyName, 9, 0, 0, 1, {9, p, 0}},
        {effSetTotalSampleToProcess, 0, 41, 0, 42, {41, 0, 0}},
        {effSetProcessPrecision, 0, 1, 0, 1, {1, 0, 0}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "opcode " << c.opcode << " index " << c.index);
        probe->call = -1;
        EXPECT_EQ(dispatch(c.opcode, c.index, c.value, P, c.opt), c.result);
        EXPECT_EQ(probe->call, c.opcode);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(probe->callArgs[i], c.args[i]) << "argument " << i;
    }
}

TEST_F(DispatchTest, EditorOpcodesWithoutEditorAnswerZero)
{
    ASSERT_NE(load(), nullptr);
    ERect* rect = reinterpret_cast<ERect*>(0x1);
    for (VstInt32 opcode = effEditGetRect; opcode <= effEditSleep; ++opcode)
        EXPECT_EQ(dispatch(opcode, 1, 1, opcode == effEditGetRect ? &rect : nullptr, 1.0f), 0)
            << opcode;
    for (VstInt32 opcode : {effEditKeyDown, effEditKeyUp, effSetEditKnobMode})
        EXPECT_EQ(dispatch(opcode, 65, 3, nullptr, 4.0f), 0) << opcode;
    EXPECT_EQ(rect, reinterpret_cast<ERect*>(0x1));
}

TEST_F(DispatchTest, VuIsScaledAndTruncated)
{
    ASSERT_NE(load(), nullptr);
    const struct
    {
        float vu;
        VstIntPtr expected;
    } cases[] = {{0.5f, 16383},
                 {1.0f, 32767},
                 {-0.5f, -16383},
                 {0.99999f, 32766},
                 {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const auto& c : cases)
    {
        probe->vu = c.vu;
        EXPECT_EQ(dispatch(effGetVu), c.expected) << c.vu;
    }
}

TEST_F(DispatchTest, SetProgramChecksOnlyTheUpperBound)
{
    ASSERT_NE(load(), nullptr);
    dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(dispatch(effGetProgram), 2);
    // Above the range, and below the 32-bit range with low bits that would
    // name program 1.
    for (VstIntPtr value :
         {VstIntPtr{kTestEffectPrograms}, VstIntPtr{1} << 40, -(VstIntPtr{1} << 32) + 1})
    {
        dispatch(effSetProgram, 0, value);
        EXPECT_EQ(dispatch(effGetProgram), 2) << value;
    }
    dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(probe->lastProgram, -1);
    EXPECT_EQ(dispatch(effGetProgram), -1);
}

TEST_F(DispatchTest, RateAndBlockSizeAreStored)
{
    ASSERT_NE(load(), nullptr);
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effSetBlockSize, 0, 256);
    EXPECT_EQ(service({kGetSampleRate}), 48000);
    EXPECT_EQ(service({kGetBlockSize}), 256);
    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 128, nullptr, 96000.0f), 1);
    EXPECT_EQ(service({kGetSampleRate}), 96000);
    EXPECT_EQ(service({kGetBlockSize}), 128);
}

TEST_F(DispatchTest, MainsChangedSuspendsOrResumes)
{
    ASSERT_NE(load(), nullptr);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effMainsChanged, 0, 5);
    dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(probe->resumes, 2);
    EXPECT_EQ(probe->suspends, 1);
}

TEST_F(DispatchTest, ResumeAsksForMidiOnlyForSynthsOrMidiReceivers)
{
    struct Case
    {
        VstInt32 canReceiveMidi;
        bool synth;
        bool asks;
    };
    for (const Case& c :
         {Case{1, false, true}, Case{0, false, false}, Case{-1, false, false}, Case{0, true, true}})
    {
        SCOPED_TRACE(testing::Message() << c.canReceiveMidi << " synth " << c.synth);
        *probe = TestEffectProbe{};
        probe->canReceiveMidi = c.canReceiveMidi;
        ASSERT_NE(load(), nullptr);
        if (c.synth)
            service({kSetFlag, kSetterIsSynth, 1});
        clearCalls();
        dispatch(effMainsChanged, 0, 1);
        if (c.asks)
        {
            ASSERT_EQ(calls().size(), 1u);
            EXPECT_EQ(calls()[0].opcode, audioMasterWantMidi);
            EXPECT_EQ(calls()[0].value, 1);
            EXPECT_EQ(calls()[0].effect, effect);
        }
        else
        {
            EXPECT_TRUE(calls().empty());
        }
        dispatch(effClose);
        effect = nullptr;
    }
}

TEST_F(DispatchTest, FlagSettersTouchOnlyTheirBit)
{
    ASSERT_NE(load(), nullptr);
    const struct
    {
        SetterId setter;
        VstInt32 bit;
    } setters[] = {
        {kSetterHasClip, 2},
        {kSetterHasVu, 4},
        {kSetterCanMono, 8},
        {kSetterCanProcessReplacing, 16},
        {kSetterProgramsAreChunks, 32},
        {kSetterIsSynth, 256},
        {kSetterNoTail, 512},
        {kSetterWantAsyncOperation, 1024},
        {kSetterHasExternalBuffer, 2048},
        {kSetterCanDoubleReplacing, 4096},
    };
    VstInt32 all = effect->flags;
    for (const auto& s : setters)
    {
        service({kSetFlag, s.setter, 1});
        all |= s.bit;
        EXPECT_EQ(effect->flags, all) << s.setter;
    }
    EXPECT_EQ(all, 0x1F3E);
    for (const auto& s : setters)
    {
        service({kSetFlag, s.setter, 0});
        EXPECT_EQ(effect->flags, all & ~s.bit) << s.setter;
        service({kSetFlag, s.setter, 1});
        EXPECT_EQ(effect->flags, all) << s.setter;
    }
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategSynth);
}

using EditorDispatchTest = PluginTest;

TEST_F(EditorDispatchTest, EditorOpcodesReachTheEditor)
{
    probe->withEditor = true;
    ASSERT_NE(load(), nullptr);
    EXPECT_EQ(effect->flags, effFlagsCanReplacing | effFlagsHasEditor);

    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom, 100);
    EXPECT_EQ(rect->right, 200);

    struct Case
    {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        void* ptr;
        VstIntPtr expected;
        VstIntPtr arg0;
        VstIntPtr arg1;
    };
    void* window = reinterpret_cast<void*>(0x4a00001);
    ERect area{1, 2, 3, 4};
    const Case cases[] = {
        {effEditOpen, 0, 0, window, 1, reinterpret_cast<VstIntPtr>(window), 0},
        {effEditDraw, 0, 0, &area, 0, reinterpret_cast<VstIntPtr>(&area), 0},
        {effEditMouse, 3, 4, nullptr, 7, 3, 4},
        {effEditKey, 0, 65, nullptr, 9, 65, 0},
        {effEditIdle, 0, 0, nullptr, 0, 0, 0},
        {effEditTop, 0, 0, nullptr, 0, 0, 0},
        {effEditSleep, 0, 0, nullptr, 0, 0, 0},
        {effSetEditKnobMode, 0, 2, nullptr, 1, 2, 0},
        {effEditClose, 0, 0, nullptr, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.opcode);
        probe->editorCall = -1;
        EXPECT_EQ(dispatch(c.opcode, c.index, c.value, c.ptr), c.expected);
        EXPECT_EQ(probe->editorCall, c.opcode);
        EXPECT_EQ(probe->editorArgs[0], c.arg0);
        EXPECT_EQ(probe->editorArgs[1], c.arg1);
    }

    probe->editorAnswers = false;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, window), 0);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 1), 0);

    service({kSetEditorNull});
    EXPECT_EQ(effect->flags, effFlagsCanReplacing);
    EXPECT_EQ(probe->editorDeletes, 1);
    probe->editorCall = -1;
    EXPECT_EQ(dispatch(effEditMouse, 3, 4), 0);
    EXPECT_EQ(probe->editorCall, -1);
}

TEST_F(EditorDispatchTest, KeyOpcodesBuildTheKeyRecord)
{
    probe->withEditor = true;
    ASSERT_NE(load(), nullptr);
    struct Case
    {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
        bool editorAnswers;
        VstIntPtr expected;
        VstKeyCode key;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {effEditKeyDown, 65, 3, 4.0f, true, 1, {65, 3, 4}},
        {effEditKeyUp, 65, 3, 4.0f, true, 1, {65, 3, 4}},
        {effEditKeyDown, 97, 0x1FF, 4.9f, true, 1, {97, 0xFF, 4}}, // 8 bits, truncated
        {effEditKeyDown, 0, 0, -1.0f, true, 1, {0, 0, 0xFF}},
        {effEditKeyDown, 0, 0, 258.0f, true, 1, {0, 0, 2}},
        {effEditKeyUp, 1, 2, nan, true, 1, {1, 2, 0}},
        {effEditKeyDown, 1, 2, 1e20f, false, 0, {1, 2, 0}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.opcode << " " << c.index << " " << c.opt);
        probe->editorAnswers = c.editorAnswers;
        probe->lastKey = {-1, 0, 0};
        EXPECT_EQ(dispatch(c.opcode, c.index, c.value, nullptr, c.opt), c.expected);
        EXPECT_EQ(probe->editorCall, c.opcode);
        EXPECT_EQ(probe->lastKey.character, c.key.character);
        EXPECT_EQ(probe->lastKey.virt, c.key.virt);
        EXPECT_EQ(probe->lastKey.modifier, c.key.modifier);
    }
}

} // namespace
