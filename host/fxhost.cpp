// fxhost: loads our plug-in bundles and third-party VST 2 plug-ins from the
// command line. `fxhost --help` lists what it can do.
#include "commands.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace
{

void printHelp(std::FILE* out)
{
    std::fprintf(out, "usage: fxhost <command> [arguments]\n\ncommands:\n");
    for (const fxhost::Command& command : fxhost::commands())
    {
        std::string line = std::string(command.name);
        if (!command.synopsis.empty())
        {
            line += ' ';
            line += command.synopsis;
        }
        std::fprintf(out, "  %s\n      %.*s\n", line.c_str(),
                     static_cast<int>(command.summary.size()), command.summary.data());
    }
}

} // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
// fxhost exports its CoreFoundation and Component Manager for the component
// bundles it loads. A plug-in that carries its own copy of them and exports
// it is bound to fxhost's copy, the same code; AddressSanitizer would report
// each shared global as a one-definition-rule violation and stop.
extern "C" const char* __asan_default_options()
{
    return "detect_odr_violation=0";
}
#endif
#endif

int main(int argc, char** argv)
{
    if (argc < 2)
        return fxhost::usageError("no command given; try 'fxhost --help'");

    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help")
    {
        printHelp(stdout);
        return fxhost::kExitOk;
    }

    for (const fxhost::Command& command : fxhost::commands())
    {
        if (command.name == name && command.run)
            return command.run(std::span<char* const>(argv + 2, static_cast<size_t>(argc - 2)));
    }
    std::string message = "unknown command '";
    message.append(name);
    message += "'; try 'fxhost --help'";
    return fxhost::usageError(message);
}
