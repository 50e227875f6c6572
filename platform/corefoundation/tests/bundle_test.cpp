#include "support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace
{

const char* const kInfoPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>CFBundleIdentifier</key>
	<string>com.quorlin.Tirrow</string>
	<key>CFBundleVersion</key>
	<string>1.2.0</string>
	<key>AudioComponents</key>
	<array>
		<dict>
			<key>subtype</key>
			<string>qqTF</string>
		</dict>
	</array>
</dict>
</plist>
)";

void writeFile(const fs::path& path, const std::string& contents)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

CFURLRef folderURL(const fs::path& path)
{
    const std::string text = path.string();
    return CFURLCreateFromFileSystemRepresentation(nullptr,
                                                   reinterpret_cast<const uint8_t*>(text.data()),
                                                   static_cast<CFIndex>(text.size()), true);
}

std::string resourcePath(CFBundleRef bundle, const char* name, const char* type, const char* subDir)
{
    auto n = hold(makeString(name));
    auto t = hold(type != nullptr ? makeString(type) : nullptr);
    auto s = hold(subDir != nullptr ? makeString(subDir) : nullptr);
    auto url = hold(CFBundleCopyResourceURL(bundle, n.get(), t.get(), s.get()));
    if (url == nullptr)
        return "<none>";
    auto path = hold(CFURLCopyFileSystemPath(url.get(), kCFURLPOSIXPathStyle));
    return utf8Of(path.get());
}

class CFBundleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.path().empty());
        root = folder.path() / "Tirrow.component";
        writeFile(root / "Contents/Info.plist", kInfoPlist);
        writeFile(root / "Contents/Resources/bmp00128.png", "png");
        writeFile(root / "Contents/Resources/knobs/bmp00130.png", "png");
        writeFile(folder.path() / "secret.txt", "outside");
        auto url = hold(folderURL(root));
        bundle = CFBundleCreate(nullptr, url.get());
        ASSERT_NE(bundle, nullptr);
    }
    void TearDown() override
    {
        if (bundle != nullptr)
            CFRelease(bundle);
    }

    TemporaryFolder folder;
    fs::path root;
    CFBundleRef bundle = nullptr;
};

} // namespace

TEST_F(CFBundleTest, ReadsItsInfoDictionary)
{
    EXPECT_EQ(utf8Of(CFBundleGetIdentifier(bundle)), "com.quorlin.Tirrow");
    CFTypeRef version = CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleVersion"));
    ASSERT_EQ(CFGetTypeID(version), CFStringGetTypeID());
    EXPECT_EQ(utf8Of(static_cast<CFStringRef>(version)), "1.2.0");
    CFDictionaryRef info = CFBundleGetInfoDictionary(bundle);
    EXPECT_EQ(CFDictionaryGetCount(info), 3);
    auto components = static_cast<CFArrayRef>(
        CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("AudioComponents")));
    ASSERT_EQ(CFGetTypeID(components), CFArrayGetTypeID());
    EXPECT_EQ(CFArrayGetCount(components), 1);
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("NSPrincipalClass")), nullptr);

    auto url = hold(CFBundleCopyBundleURL(bundle));
    auto path = hold(CFURLCopyFileSystemPath(url.get(), kCFURLPOSIXPathStyle));
    EXPECT_EQ(utf8Of(path.get()), root.string());
}

TEST_F(CFBundleTest, FindsResources)
{
    const std::string resources = (root / "Contents/Resources").string();
    struct Case
    {
        const char* name;
        const char* type;
        const char* subDir;
        std::string expected;
    };
    const Case cases[] = {
        {"bmp00128", "png", nullptr, resources + "/bmp00128.png"},
        {"bmp00128", ".png", nullptr, resources + "/bmp00128.png"},
        {"bmp00128.png", nullptr, nullptr, resources + "/bmp00128.png"},
        {"bmp00130", "png", "knobs", resources + "/knobs/bmp00130.png"},
        {"bmp00128", "bmp", nullptr, "<none>"},
        {"bmp00129", "png", nullptr, "<none>"},
        {"bmp00130", "png", nullptr, "<none>"},
        // Nothing outside the resources folder is reachable.
        {"../../../secret", "txt", nullptr, "<none>"},
        {"secret", "txt", "../../..", "<none>"},
        {"/etc/passwd", nullptr, nullptr, "<none>"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(resourcePath(bundle, c.name, c.type, c.subDir), c.expected)
            << c.name << " " << (c.type ? c.type : "-") << " " << (c.subDir ? c.subDir : "-");
    }
}

TEST(CFBundle, MissingFolderGivesNoBundle)
{
    TemporaryFolder folder;
    auto url = hold(folderURL(folder.path() / "Nowhere.component"));
    EXPECT_EQ(CFBundleCreate(nullptr, url.get()), nullptr);
    writeFile(folder.path() / "plain-file", "x");
    auto fileURL = hold(folderURL(folder.path() / "plain-file"));
    EXPECT_EQ(CFBundleCreate(nullptr, fileURL.get()), nullptr);
}

TEST(CFBundle, BrokenOrMissingInfoPlistLeavesAnEmptyDictionary)
{
    const char* const infos[] = {nullptr, "<plist><dict><key>CFBundleIdentifier</key>",
                                 "<plist><array/></plist>"};
    for (const char* info : infos)
    {
        TemporaryFolder folder;
        fs::create_directories(folder.path() / "Contents");
        if (info != nullptr)
            writeFile(folder.path() / "Contents/Info.plist", info);
        auto url = hold(folderURL(folder.path()));
        auto bundle = hold(CFBundleCreate(nullptr, url.get()));
        ASSERT_NE(bundle, nullptr);
        ASSERT_NE(CFBundleGetInfoDictionary(bundle.get()), nullptr);
        EXPECT_EQ(CFDictionaryGetCount(CFBundleGetInfoDictionary(bundle.get())), 0);
        EXPECT_EQ(CFBundleGetIdentifier(bundle.get()), nullptr);
    }
}

TEST(CFBundle, MainBundleCarriesWhatTheHostDeclared)
{
    CFBundleRef main = CFBundleGetMainBundle();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main, CFBundleGetMainBundle());
    EXPECT_EQ(CFBundleGetIdentifier(main), nullptr);
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(main, CFSTR("CFBundleVersion")), nullptr);

    auto identifier = hold(makeString("com.apple.logic.pro"));
    auto version = hold(makeString("7.1.0"));
    FxSetMainBundleInfo(identifier.get(), version.get());
    CFStringRef heldIdentifier = CFBundleGetIdentifier(main);
    EXPECT_EQ(utf8Of(heldIdentifier), "com.apple.logic.pro");
    EXPECT_EQ(utf8Of(static_cast<CFStringRef>(
                  CFBundleGetValueForInfoDictionaryKey(main, CFSTR("CFBundleVersion")))),
              "7.1.0");

    // A value handed out earlier stays valid when the host changes its mind.
    identifier.reset();
    FxSetMainBundleInfo(nullptr, nullptr);
    EXPECT_EQ(CFBundleGetIdentifier(main), nullptr);
    EXPECT_EQ(utf8Of(heldIdentifier), "com.apple.logic.pro");
    CFRelease(main); // never freed
    EXPECT_EQ(CFGetTypeID(CFBundleGetMainBundle()), CFBundleGetTypeID());
}
