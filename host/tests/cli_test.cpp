// The command line contract of fxhost: help on stdout, and one clear line on
// stderr with status 2 for anything it does not understand.
#include "fxhost_runner.h"

#include <gtest/gtest.h>

namespace
{

using fxhost_test::CommandResult;
using fxhost_test::runFxhost;

TEST(FxhostCli, HelpListsEveryCommandOnStdout)
{
    const CommandResult r = runFxhost("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: fxhost <command>"), std::string::npos);
    EXPECT_NE(r.out.find("  help"), std::string::npos);
    EXPECT_TRUE(r.err.empty());
}

TEST(FxhostCli, MistakesGiveOneLineOnStderrAndStatusTwo)
{
    for (const char* args : {"", "frobnicate", "--bogus"})
    {
        SCOPED_TRACE(args);
        fxhost_test::expectRefusal(runFxhost(args), 2, "");
    }
}

} // namespace
