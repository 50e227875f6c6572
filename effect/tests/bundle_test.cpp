// Locating the plug-in's own bundle from inside the plug-in.
#include "bundlelocation.h"
#include "plugin_fixture.h"

#include <climits>
#include <cstdlib>
#include <string>

namespace
{

std::string realPath(const char* path)
{
    char resolved[PATH_MAX];
    return realpath(path, resolved) ? resolved : "";
}

using BundleTest = PluginTest;

TEST_F(BundleTest, PluginFindsItsBundleAndResources)
{
    ASSERT_NE(load(), nullptr);
    char text[1024] = {};
    ProbeServiceCall locate{kLocateBundle};
    locate.ptr = text;
    ASSERT_EQ(service(locate), 1);
    const char* bundle = std::getenv("FX_TEST_BUNDLE");
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(realPath(text), realPath(bundle));

    std::snprintf(text, sizeof(text), "marker.txt");
    ProbeServiceCall find{kFindResource};
    find.ptr = text;
    ASSERT_EQ(service(find), 1);
    EXPECT_EQ(realPath(text), realPath(bundle) + "/Contents/Resources/marker.txt");
    std::snprintf(text, sizeof(text), "missing.png");
    EXPECT_EQ(service(find), 0);

    EXPECT_EQ(service({kReleaseBundle}), 0);
}

TEST_F(BundleTest, BundleStaysValidUntilItsLastUserLetsGo)
{
    // Two editors of the same plug-in, the first one closed first.
    ASSERT_NE(load(), nullptr);
    char first[1024] = {};
    char second[1024] = {};
    ProbeServiceCall locate{kLocateBundle};
    locate.ptr = first;
    ASSERT_EQ(service(locate), 1);
    locate.ptr = second;
    ASSERT_EQ(service(locate), 1);
    EXPECT_STREQ(first, second);

    EXPECT_EQ(service({kReleaseBundle}), 1);
    char again[1024] = "marker.txt";
    ProbeServiceCall find{kFindResource};
    find.ptr = again;
    EXPECT_EQ(service(find), 1) << "the remaining user still reaches the resources";
    EXPECT_EQ(service({kReleaseBundle}), 0);
    EXPECT_EQ(service({kReleaseBundle}), 0) << "an extra release is harmless";
}

TEST_F(BundleTest, AnotherOwnerOfTheBundleDoesNotKeepItNamed)
{
    // Something else (a bitmap, say) retains the bundle object while an
    // editor is open and lets it go only after the editor has closed.
    ASSERT_NE(load(), nullptr);
    char text[1024] = {};
    ProbeServiceCall locate{kLocateBundle};
    locate.ptr = text;
    ASSERT_EQ(service(locate), 1);
    ASSERT_EQ(service({kHoldBundle}), 1);
    EXPECT_EQ(service({kReleaseBundle}), 0) << "the last editor has let go";
    service({kDropBundle});

    // The next editor finds the bundle afresh.
    ASSERT_EQ(service(locate), 1);
    char again[1024] = "marker.txt";
    ProbeServiceCall find{kFindResource};
    find.ptr = again;
    EXPECT_EQ(service(find), 1);
    EXPECT_EQ(service({kReleaseBundle}), 0);
}

TEST(BundleInHostTest, MainProgramHasNoBundle)
{
    // Linked into the test program itself: the host application is skipped.
    InitMachOLibrary();
    EXPECT_EQ(gBundleRef, nullptr);
    ExitMachOLibrary();
}

} // namespace
