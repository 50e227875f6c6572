// Loads the test plug-in the way a host does and records every call the
// plug-in makes to the host callback.
#pragma once

#include "testeffect.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

struct HostCall
{
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
    VstInt32 parameterSetBefore; // the probe's last parameter index at the time of the call
};

class PluginTest : public ::testing::Test
{
public:
    // The plug-in's own VSTPluginMain and probe.
    static AEffect* (*pluginMain)(audioMasterCallback);
    static TestEffectProbe* probe;
    static const char* pluginPath;

protected:
    void SetUp() override;
    void TearDown() override;

    // VSTPluginMain with the recording host callback.
    AEffect* load();
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    // Runs one of the effect's member functions through the probe hook.
    VstIntPtr service(ProbeServiceCall call);
    // The host calls made since the last clearCalls().
    std::vector<HostCall>& calls();
    void clearCalls() { calls().clear(); }
    // What the host answers to an opcode (default 0; version: 2400).
    void answer(VstInt32 opcode, VstIntPtr value);

    AEffect* effect = nullptr;
};
