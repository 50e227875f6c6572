// The command line contract of fxhost: help on stdout, and one clear line on
// stderr with status 2 for anything it does not understand.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace
{

struct Result
{
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path)
{
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "r"))
    {
        std::array<char, 4096> buffer{};
        size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
            text.append(buffer.data(), n);
        std::fclose(f);
    }
    return text;
}

Result runFxhost(const std::string& args)
{
    const char* fxhost = std::getenv("FXHOST");
    EXPECT_NE(fxhost, nullptr);
    const std::string base = ::testing::TempDir() + "fxhost_cli";
    const std::string command = std::string(fxhost ? fxhost : "false") + " " + args + " >" + base +
                                ".out 2>" + base + ".err";
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = slurp(base + ".out");
    result.err = slurp(base + ".err");
    return result;
}

TEST(FxhostCli, HelpListsEveryCommandOnStdout)
{
    const Result r = runFxhost("--help");
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
        const Result r = runFxhost(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.empty());
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_EQ(r.err.rfind("fxhost: ", 0), 0u) << r.err;
    }
}

} // namespace
