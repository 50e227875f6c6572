// A shared library without the VST 2 entry point, for fxhost's refusal tests.
extern "C" __attribute__((visibility("default"))) int notAPlugin()
{
    return 0;
}
