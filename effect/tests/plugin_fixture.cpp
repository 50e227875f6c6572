#include "plugin_fixture.h"

#include <cstdlib>
#include <dlfcn.h>

namespace
{

struct RecordingHost
{
    std::vector<HostCall> calls;
    std::map<VstInt32, VstIntPtr> answers;
};

RecordingHost gHost;

VstIntPtr recordingCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                            void* ptr, float opt)
{
    const VstInt32 seen = PluginTest::probe ? PluginTest::probe->lastParameterIndex : -1;
    gHost.calls.push_back({effect, opcode, index, value, ptr, opt, seen});
    const auto it = gHost.answers.find(opcode);
    return it == gHost.answers.end() ? 0 : it->second;
}

} // namespace

AEffect* (*PluginTest::pluginMain)(audioMasterCallback) = nullptr;
TestEffectProbe* PluginTest::probe = nullptr;
const char* PluginTest::pluginPath = nullptr;

void PluginTest::SetUp()
{
    if (!pluginMain)
    {
        pluginPath = std::getenv("FX_TEST_EFFECT");
        ASSERT_NE(pluginPath, nullptr) << "FX_TEST_EFFECT names the test plug-in";
        void* library = dlopen(pluginPath, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        pluginMain =
            reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
        auto probeFunction =
            reinterpret_cast<TestEffectProbeFunction>(dlsym(library, "testEffectProbe"));
        ASSERT_NE(pluginMain, nullptr);
        ASSERT_NE(probeFunction, nullptr);
        probe = probeFunction();
    }
    *probe = TestEffectProbe{};
    gHost = RecordingHost{};
    gHost.answers[audioMasterVersion] = 2400;
}

void PluginTest::TearDown()
{
    if (effect)
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
}

AEffect* PluginTest::load()
{
    effect = pluginMain(recordingCallback);
    return effect;
}

VstIntPtr PluginTest::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

VstIntPtr PluginTest::service(ProbeServiceCall call)
{
    EXPECT_EQ(dispatch(effVendorSpecific, kProbeService, 0, &call), 1);
    return call.result;
}

std::vector<HostCall>& PluginTest::calls()
{
    return gHost.calls;
}

void PluginTest::answer(VstInt32 opcode, VstIntPtr value)
{
    gHost.answers[opcode] = value;
}
