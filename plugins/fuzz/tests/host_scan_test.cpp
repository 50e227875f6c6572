// A VST 2 host this project did not write (Ardour's plug-in scanner, from
// Debian's packages) loads the built Grizzbox2.so and describes it.
#include "grizzbox2_host.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace
{

struct ScanResult
{
    std::string cache; // the written cache file's text, empty if none
    std::string log;
    bool exited = false;
    int exitCode = -1;
    bool stopped = false; // still running at the deadline, so stopped here
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string findCache(const fs::path& home)
{
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(home, ec))
    {
        if (entry.path().extension() != ".v2i")
            continue;
        const std::string text = readFile(entry.path());
        if (text.find("</VST2Cache>") != std::string::npos)
            return text;
    }
    return {};
}

// Runs the scanner on the plug-in with its home and cache in home. Under the
// sanitizers the plug-in needs their runtime preloaded, and with it the
// scanner can hang in another library's exit handler after it has written
// its cache: once the cache is complete the scanner gets a few seconds to
// exit before it is stopped.
ScanResult scan(const std::string& scanner, const std::string& plugin, const fs::path& home)
{
    std::vector<std::string> env = {
        "LD_LIBRARY_PATH=" + fs::path(scanner).parent_path().string(),
        "HOME=" + home.string(),
        "XDG_CACHE_HOME=" + home.string(),
        "PATH=/usr/bin:/bin",
    };
    if (const char* runtime = std::getenv("FX_SANITIZER_RUNTIME"); runtime && *runtime)
    {
        env.push_back(std::string("LD_PRELOAD=") + runtime);
        env.push_back("ASAN_OPTIONS=detect_leaks=0");
    }
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string program = scanner, flag = "-f", target = plugin;
    char* argv[] = {program.data(), flag.data(), target.data(), nullptr};
    const std::string logPath = (home / "scanner.log").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);

    ScanResult result;
    pid_t child = 0;
    const int spawned = posix_spawn(&child, scanner.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
    {
        result.log = "cannot start " + scanner;
        return result;
    }

    using namespace std::chrono;
    const auto start = steady_clock::now();
    steady_clock::time_point cacheSeen{};
    for (;;)
    {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
        {
            result.exited = WIFEXITED(status);
            result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
            break;
        }
        const auto now = steady_clock::now();
        if (cacheSeen == steady_clock::time_point{} && !findCache(home).empty())
            cacheSeen = now;
        const bool graceOver = cacheSeen != steady_clock::time_point{} && now - cacheSeen > 5s;
        if (graceOver || now - start > 120s)
        {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            result.stopped = true;
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    result.cache = findCache(home);
    result.log = readFile(logPath);
    return result;
}

// The attributes of the first element named tag.
std::map<std::string, std::string> attributes(const std::string& xml, const std::string& tag)
{
    std::map<std::string, std::string> found;
    const size_t open = xml.find("<" + tag + " ");
    if (open == std::string::npos)
        return found;
    const size_t close = xml.find('>', open);
    const std::string element = xml.substr(open, close - open);
    size_t at = tag.size() + 1;
    for (;;)
    {
        const size_t eq = element.find("=\"", at);
        if (eq == std::string::npos)
            break;
        const size_t nameStart = element.rfind(' ', eq) + 1;
        const size_t valueEnd = element.find('"', eq + 2);
        found[element.substr(nameStart, eq - nameStart)] =
            element.substr(eq + 2, valueEnd - eq - 2);
        at = valueEnd + 1;
    }
    return found;
}

} // namespace

TEST(Grizzbox2InAThirdPartyHost, ArdourScannerReadsNameChannelsAndId)
{
    const char* scanner = std::getenv("FX_ARDOUR_VST_SCANNER");
    ASSERT_TRUE(scanner && *scanner && fs::exists(scanner))
        << "Ardour's VST scanner is missing: scripts/setup.sh installs the ardour package";
    const std::string plugin = grizzbox2_test::pluginPath();
    ASSERT_TRUE(fs::exists(plugin)) << plugin;

    std::string pattern = (fs::temp_directory_path() / "grizzbox2-scan-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path home = pattern;

    const ScanResult result = scan(scanner, plugin, home);
    fs::remove_all(home);
    ASSERT_FALSE(result.cache.empty()) << "no cache written; scanner said:\n" << result.log;
    // A scanner that ends on a signal of its own crashed, perhaps in the
    // plug-in's close after the cache was written.
    EXPECT_TRUE(result.exited || result.stopped) << "the scanner crashed:\n" << result.log;
    if (result.exited)
    {
        EXPECT_EQ(result.exitCode, 0) << result.log;
    }

    const auto info = attributes(result.cache, "VST2Info");
    ASSERT_FALSE(info.empty()) << result.cache;
    EXPECT_EQ(info.at("name"), "Grizzbox2");
    EXPECT_EQ(info.at("n_inputs"), "2");
    EXPECT_EQ(info.at("n_outputs"), "2");
    EXPECT_EQ(info.at("id"), std::to_string(fourCharCode('V', 'K', 'f', '6')));
    EXPECT_EQ(info.at("creator"), "Velkorsonic, Inc.");
    EXPECT_EQ(info.at("category"), "Effect");
    EXPECT_EQ(info.at("can_process_replace"), "1");
    EXPECT_EQ(info.at("has_editor"), "0");
}
