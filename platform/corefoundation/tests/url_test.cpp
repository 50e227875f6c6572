#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

namespace
{

CFURLRef urlFor(const char* path, bool isDirectory = false)
{
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const uint8_t*>(path),
                                                   static_cast<CFIndex>(std::strlen(path)),
                                                   isDirectory);
}

std::string pathOf(CFURLRef url)
{
    auto path = hold(CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle));
    return utf8Of(path.get());
}

// The path with a trailing slash when the URL names a folder.
std::string describe(CFURLRef url)
{
    const std::string path = pathOf(url);
    return CFURLHasDirectoryPath(url) && path != "/" ? path + "/" : path;
}

} // namespace

TEST(CFURL, DeletingTheLastComponent)
{
    struct Case
    {
        const char* path;
        bool isDirectory;
        const char* parent;
    };
    const Case cases[] = {
        {"/a/b/c.so", false, "/a/b/"},
        {"/a/b/", true, "/a/"},
        {"/a/b", true, "/a/"},
        {"/a", false, "/"},
        {"/", true, "/"},
        {"//a//b//", true, "/a/"},
        {"plugins/x.so", false, "plugins/"},
        {"x.so", false, "./"},
    };
    for (const Case& c : cases)
    {
        auto url = hold(urlFor(c.path, c.isDirectory));
        ASSERT_NE(url, nullptr) << c.path;
        auto parent = hold(CFURLCreateCopyDeletingLastPathComponent(nullptr, url.get()));
        EXPECT_EQ(describe(parent.get()), c.parent) << c.path;
        EXPECT_TRUE(CFURLHasDirectoryPath(parent.get()));
    }
}

TEST(CFURL, RootStaysRootWhateverTheRepeats)
{
    CFURLRef url = urlFor("/", true);
    for (int i = 0; i < 5; ++i)
    {
        CFURLRef parent = CFURLCreateCopyDeletingLastPathComponent(nullptr, url);
        CFRelease(url);
        url = parent;
    }
    EXPECT_EQ(pathOf(url), "/");
    auto last = hold(CFURLCopyLastPathComponent(url));
    EXPECT_EQ(utf8Of(last.get()), "/");
    CFRelease(url);
}

TEST(CFURL, BundleFolderIsThreeComponentsAboveTheLibrary)
{
    const char* library = "/home/u/.vst/Tirrow.component/Contents/x86_64-linux/Tirrow.so";
    CFURLRef url = urlFor(library);
    for (int i = 0; i < 3; ++i)
    {
        CFURLRef parent = CFURLCreateCopyDeletingLastPathComponent(nullptr, url);
        CFRelease(url);
        url = parent;
    }
    EXPECT_EQ(describe(url), "/home/u/.vst/Tirrow.component/");
    auto last = hold(CFURLCopyLastPathComponent(url));
    EXPECT_EQ(utf8Of(last.get()), "Tirrow.component");
    CFRelease(url);
}

TEST(CFURL, AppendingComponents)
{
    struct Case
    {
        const char* base;
        const char* component;
        bool isDirectory;
        const char* result;
    };
    const Case cases[] = {
        {"/a/b", "c.png", false, "/a/b/c.png"},
        {"/a/b/", "Resources", true, "/a/b/Resources/"},
        {"/", "etc", true, "/etc/"},
        {"/a", "x/y.txt", false, "/a/x/y.txt"},
    };
    for (const Case& c : cases)
    {
        auto base = hold(urlFor(c.base, true));
        auto component = hold(makeString(c.component));
        auto url = hold(CFURLCreateCopyAppendingPathComponent(nullptr, base.get(), component.get(),
                                                              c.isDirectory));
        EXPECT_EQ(describe(url.get()), c.result) << c.base << " + " << c.component;
    }
}

TEST(CFURL, FileSystemRepresentation)
{
    auto url = hold(urlFor("/tmp/presets/", true));
    uint8_t buffer[64];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url.get(), true, buffer, sizeof buffer));
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "/tmp/presets");
    // "/tmp/presets" needs 13 bytes with its terminator.
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url.get(), true, buffer, 12));
    EXPECT_TRUE(CFURLGetFileSystemRepresentation(url.get(), true, buffer, 13));

    auto last = hold(CFURLCopyLastPathComponent(url.get()));
    EXPECT_EQ(utf8Of(last.get()), "presets");
}

TEST(CFURL, RelativePathsResolveAgainstTheWorkingDirectory)
{
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    auto path = hold(makeString("sub/file.txt"));
    auto url =
        hold(CFURLCreateWithFileSystemPath(nullptr, path.get(), kCFURLPOSIXPathStyle, false));
    uint8_t buffer[4200];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url.get(), false, buffer, sizeof buffer));
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "sub/file.txt");
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url.get(), true, buffer, sizeof buffer));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), std::string(cwd) + "/sub/file.txt");
}

TEST(CFURL, EmptyPathsAndWrongArgumentsAnswerNull)
{
    EXPECT_EQ(urlFor(""), nullptr);
    auto empty = hold(makeString(""));
    EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, empty.get(), kCFURLPOSIXPathStyle, false),
              nullptr);
    EXPECT_EQ(CFURLCreateCopyDeletingLastPathComponent(nullptr, nullptr), nullptr);
    // A string is not a URL.
    EXPECT_EQ(
        CFURLCopyFileSystemPath(reinterpret_cast<CFURLRef>(empty.get()), kCFURLPOSIXPathStyle),
        nullptr);
}
