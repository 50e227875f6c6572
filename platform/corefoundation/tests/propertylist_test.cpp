#include "binary_plist.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace fs = std::filesystem;

namespace
{

CFDataRef dataOf(const std::string& bytes)
{
    return CFDataCreate(nullptr, reinterpret_cast<const uint8_t*>(bytes.data()),
                        static_cast<CFIndex>(bytes.size()));
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

std::string errorText(CFErrorRef error)
{
    auto text = hold(CFErrorCopyDescription(error));
    return utf8Of(text.get());
}

template <typename T> CFNumberRef number(CFNumberType type, T value)
{
    return CFNumberCreate(nullptr, type, &value);
}

// A preset-like dictionary holding every kind a property list carries.
CFDictionaryRef makeSample()
{
    auto dict = hold(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                               &kCFTypeDictionaryValueCallBacks));
    const auto set = [&](const char* key, CFTypeRef value)
    {
        auto k = hold(makeString(key));
        CFDictionarySetValue(dict.get(), k.get(), value);
        CFRelease(value);
    };
    set("name", makeString("Caf\xC3\xA9 \xE2\x84\xA2 \xF0\x9F\x8E\xB8"));
    set("version", number(kCFNumberSInt32Type, int32_t{0x00010200}));
    set("most", number(kCFNumberSInt64Type, std::numeric_limits<int64_t>::max()));
    set("least", number(kCFNumberSInt64Type, std::numeric_limits<int64_t>::min()));
    set("negative", number(kCFNumberSInt32Type, int32_t{-5}));
    set("tenth", number(kCFNumberFloat64Type, 0.1));
    set("third", number(kCFNumberFloat64Type, 1.0 / 3.0));
    set("tiny", number(kCFNumberFloat64Type, 4.9406564584124654e-324));
    set("huge", number(kCFNumberFloat64Type, 1.7976931348623157e308));
    set("on", kCFBooleanTrue);
    set("off", kCFBooleanFalse);
    const uint8_t bytes[] = {0, 1, 0, 0xFF, 0x80};
    set("data", CFDataCreate(nullptr, bytes, sizeof bytes));
    set("empty", CFDataCreate(nullptr, nullptr, 0));
    CFMutableArrayRef programs = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (int i = 0; i < 3; ++i)
    {
        CFMutableDictionaryRef program = CFDictionaryCreateMutable(
            nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        auto value = hold(number(kCFNumberFloat32Type, 0.25f * static_cast<float>(i)));
        CFDictionarySetValue(program, CFSTR("value"), value.get());
        CFArrayAppendValue(programs, program);
        CFRelease(program);
    }
    set("programs", programs);
    return dict.release();
}

} // namespace

TEST(CFPropertyList, FileRoundTripKeepsEveryValueExactly)
{
    TemporaryFolder folder;
    auto sample = hold(makeSample());
    struct Case
    {
        CFPropertyListFormat format;
        const char* prefix;
    };
    const Case cases[] = {{kCFPropertyListXMLFormat_v1_0, "<?xml"},
                          {kCFPropertyListBinaryFormat_v1_0, "bplist00"}};
    for (const Case& c : cases)
    {
        const fs::path path = folder.path() / "state.aupreset";
        CFErrorRef error = nullptr;
        ASSERT_TRUE(FxPropertyListWriteFile(sample.get(), path.c_str(), c.format, &error))
            << errorText(error);
        EXPECT_EQ(error, nullptr);
        EXPECT_EQ(readFile(path).rfind(c.prefix, 0), 0u) << c.prefix;

        auto back = hold(FxPropertyListReadDictionaryFile(path.c_str(), &error));
        ASSERT_NE(back, nullptr) << errorText(error);
        EXPECT_TRUE(CFEqual(back.get(), sample.get())) << c.prefix;

        // Reals come back bit for bit, integers as integers.
        double tenth = 0.0;
        CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(back.get(), CFSTR("tenth"))),
                         kCFNumberFloat64Type, &tenth);
        EXPECT_EQ(tenth, 0.1);
        auto most = static_cast<CFNumberRef>(CFDictionaryGetValue(back.get(), CFSTR("most")));
        EXPECT_FALSE(CFNumberIsFloatType(most));

        CFPropertyListFormat format = 0;
        auto bytes = hold(dataOf(readFile(path)));
        auto again = hold(CFPropertyListCreateWithData(nullptr, bytes.get(), 0, &format, nullptr));
        EXPECT_EQ(format, c.format);
    }
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

TEST(CFPropertyList, FailedWriteLeavesTheOldFileWhole)
{
    TemporaryFolder folder;
    const fs::path path = folder.path() / "keep.plist";
    auto sample = hold(makeSample());
    ASSERT_TRUE(FxPropertyListWriteFile(sample.get(), path.c_str(), kCFPropertyListXMLFormat_v1_0,
                                        nullptr));
    const std::string before = readFile(path);

    // Values without a property-list form are refused before anything is written.
    auto dict = hold(CFDictionaryCreateMutableCopy(nullptr, 0, sample.get()));
    auto url = hold(CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const uint8_t*>("/tmp"), 4, true));
    CFDictionarySetValue(dict.get(), CFSTR("where"), url.get());
    CFErrorRef error = nullptr;
    EXPECT_FALSE(
        FxPropertyListWriteFile(dict.get(), path.c_str(), kCFPropertyListXMLFormat_v1_0, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(CFErrorGetCode(error), kFxPropertyListWriteInvalidError);
    CFRelease(error);
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);

    const fs::path nowhere = folder.path() / "missing" / "x.plist";
    EXPECT_FALSE(FxPropertyListWriteFile(sample.get(), nowhere.c_str(),
                                         kCFPropertyListBinaryFormat_v1_0, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(CFErrorGetCode(error), kFxPropertyListWriteStreamError);
    EXPECT_NE(errorText(error).find("missing"), std::string::npos) << errorText(error);
    CFRelease(error);
}

TEST(CFPropertyList, RefusesWhatItCannotWriteFaithfully)
{
    const char withZero[] = "a\0b";
    auto zeroString = hold(CFStringCreateWithBytes(
        nullptr, reinterpret_cast<const uint8_t*>(withZero), 3, kCFStringEncodingUTF8, false));
    auto numberKeyed = hold(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                      &kCFTypeDictionaryValueCallBacks));
    auto key = hold(number(kCFNumberIntType, 1));
    CFDictionarySetValue(numberKeyed.get(), key.get(), kCFBooleanTrue);
    const CFTypeRef refused[] = {zeroString.get(), numberKeyed.get(), nullptr};
    for (CFTypeRef value : refused)
    {
        CFErrorRef error = nullptr;
        EXPECT_EQ(
            CFPropertyListCreateData(nullptr, value, kCFPropertyListBinaryFormat_v1_0, 0, &error),
            nullptr);
        ASSERT_NE(error, nullptr);
        EXPECT_FALSE(errorText(error).empty());
        CFRelease(error);
        EXPECT_FALSE(CFPropertyListIsValid(value, kCFPropertyListXMLFormat_v1_0));
    }
}

TEST(CFPropertyList, MalformedInputIsAnErrorNeverACrash)
{
    const std::string valid = []
    {
        auto sample = hold(makeSample());
        auto data = hold(CFPropertyListCreateData(nullptr, sample.get(),
                                                  kCFPropertyListBinaryFormat_v1_0, 0, nullptr));
        return std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data.get())),
                           static_cast<size_t>(CFDataGetLength(data.get())));
    }();
    ASSERT_GT(valid.size(), 100u);

    using O = BinaryPlistObject;
    std::vector<O> deepArrays(100000);
    for (size_t i = 0; i < deepArrays.size(); ++i)
    {
        deepArrays[i].kind = O::kArray;
        if (i + 1 < deepArrays.size())
            deepArrays[i].refs = {i + 1};
    }
    // Each level refers to the next twice: 2^60 values once copied out.
    std::vector<O> doubling(61);
    for (size_t i = 0; i < doubling.size(); ++i)
    {
        doubling[i].kind = O::kArray;
        if (i + 1 < doubling.size())
            doubling[i].refs = {i + 1, i + 1};
    }
    std::string deepXML = "<plist>";
    for (int i = 0; i < 100000; ++i)
        deepXML += "<array>";

    // An array of 15 references whose stored count is then raised to 2^31 - 1:
    // marker 0xAF at 8, count marker at 9, the 4-byte count at 10.
    std::string hugeCount = buildBinaryPlist({bpArray(std::vector<uint64_t>(15, 1)), bpInteger(7)});
    hugeCount.replace(10, 4, "\x7F\xFF\xFF\xFF");

    struct Case
    {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"text", "not a property list"},
        {"truncated XML", "<?xml version=\"1.0\"?><plist><dict><key>name</key><string>x"},
        {"unbalanced XML", "<plist><dict><key>a</key></array></plist>"},
        {"date value", "<plist><date>2020-01-01T00:00:00Z</date></plist>"},
        {"deep XML", deepXML},
        {"binary header only", "bplist00"},
        {"binary cut short", valid.substr(0, valid.size() / 2)},
        {"binary without trailer byte", valid.substr(0, valid.size() - 1)},
        {"binary cycle", buildBinaryPlist({bpArray({1}), bpArray({0})})},
        {"binary self reference", buildBinaryPlist({bpDict({1, 0}), bpString("k")})},
        {"binary reference out of range", buildBinaryPlist({bpArray({5})})},
        {"binary top out of range", buildBinaryPlist({bpInteger(1)}, 3)},
        {"binary deep nesting", buildBinaryPlist(deepArrays)},
        {"binary shared explosion", buildBinaryPlist(doubling)},
        {"binary count beyond the file", hugeCount},
    };
    for (const Case& c : cases)
    {
        auto data = hold(dataOf(c.bytes));
        CFErrorRef error = nullptr;
        CFPropertyListRef plist =
            CFPropertyListCreateWithData(nullptr, data.get(), 0, nullptr, &error);
        EXPECT_EQ(plist, nullptr) << c.what;
        if (plist != nullptr)
            CFRelease(plist);
        ASSERT_NE(error, nullptr) << c.what;
        EXPECT_EQ(CFErrorGetCode(error), kFxPropertyListReadCorruptError) << c.what;
        EXPECT_FALSE(errorText(error).empty()) << c.what;
        CFRelease(error);
    }
}

TEST(CFPropertyList, HandBuiltBinaryListsWithinLimitsAreRead)
{
    // The builder must produce lists libplist accepts, or the refusals above
    // would prove nothing.
    using O = BinaryPlistObject;
    std::vector<O> nested(200);
    for (size_t i = 0; i < nested.size(); ++i)
    {
        nested[i].kind = O::kArray;
        if (i + 1 < nested.size())
            nested[i].refs = {i + 1};
    }
    const std::string shared =
        buildBinaryPlist({bpDict({1, 2, 3, 3}), bpString("a"), bpString("b"), bpInteger(-7)});
    for (const std::string& bytes : {buildBinaryPlist(nested), shared})
    {
        auto data = hold(dataOf(bytes));
        CFErrorRef error = nullptr;
        auto plist = hold(CFPropertyListCreateWithData(nullptr, data.get(), 0, nullptr, &error));
        EXPECT_NE(plist, nullptr) << errorText(error);
    }
    auto data = hold(dataOf(shared));
    auto dict = hold(static_cast<CFDictionaryRef>(
        CFPropertyListCreateWithData(nullptr, data.get(), 0, nullptr, nullptr)));
    int32_t b = 0;
    ASSERT_EQ(CFGetTypeID(dict.get()), CFDictionaryGetTypeID());
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(dict.get(), CFSTR("b"))),
                     kCFNumberSInt32Type, &b);
    EXPECT_EQ(b, -7);
}

TEST(CFPropertyList, FilesThatAreNotTheWantedDictionary)
{
    TemporaryFolder folder;
    const fs::path arrayFile = folder.path() / "array.plist";
    std::ofstream(arrayFile) << "<plist><array><string>a</string></array></plist>";
    CFErrorRef error = nullptr;
    EXPECT_EQ(FxPropertyListReadDictionaryFile(arrayFile.c_str(), &error), nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(CFErrorGetCode(error), kFxPropertyListNotDictionaryError);
    CFRelease(error);

    auto plist = hold(FxPropertyListReadFile(arrayFile.c_str(), &error));
    EXPECT_EQ(CFGetTypeID(plist.get()), CFArrayGetTypeID());

    const fs::path missing = folder.path() / "missing.plist";
    EXPECT_EQ(FxPropertyListReadFile(missing.c_str(), &error), nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(CFErrorGetCode(error), kFxPropertyListReadStreamError);
    EXPECT_NE(errorText(error).find("missing.plist"), std::string::npos);
    CFRelease(error);

    EXPECT_EQ(FxPropertyListReadFile(folder.path().c_str(), &error), nullptr);
    EXPECT_EQ(CFErrorGetCode(error), kFxPropertyListReadStreamError);
    CFRelease(error);
}

TEST(CFPropertyList, IntegersBeyondSixtyFourSignedBitsBecomeReals)
{
    const std::string xml = "<plist><array><integer>18446744073709551615</integer>"
                            "<integer>-1</integer><real>-0.5</real></array></plist>";
    auto data = hold(dataOf(xml));
    auto array = hold(static_cast<CFArrayRef>(
        CFPropertyListCreateWithData(nullptr, data.get(), 0, nullptr, nullptr)));
    ASSERT_EQ(CFArrayGetCount(array.get()), 3);
    auto big = static_cast<CFNumberRef>(CFArrayGetValueAtIndex(array.get(), 0));
    auto minusOne = static_cast<CFNumberRef>(CFArrayGetValueAtIndex(array.get(), 1));
    double d = 0.0;
    int64_t i = 0;
    EXPECT_TRUE(CFNumberIsFloatType(big));
    CFNumberGetValue(big, kCFNumberFloat64Type, &d);
    EXPECT_EQ(d, 18446744073709551615.0);
    EXPECT_FALSE(CFNumberIsFloatType(minusOne));
    CFNumberGetValue(minusOne, kCFNumberSInt64Type, &i);
    EXPECT_EQ(i, -1);
}

TEST(CFPropertyList, MutabilityFollowsTheOptions)
{
    const std::string xml = "<plist><dict><key>a</key><array/><key>d</key><data>AAE=</data>"
                            "</dict></plist>";
    auto data = hold(dataOf(xml));
    struct Case
    {
        CFOptionFlags options;
        bool containersMutable;
        bool leavesMutable;
    };
    const Case cases[] = {{kCFPropertyListImmutable, false, false},
                          {kCFPropertyListMutableContainers, true, false},
                          {kCFPropertyListMutableContainersAndLeaves, true, true}};
    for (const Case& c : cases)
    {
        auto dict = hold(static_cast<CFMutableDictionaryRef>(const_cast<void*>(
            CFPropertyListCreateWithData(nullptr, data.get(), c.options, nullptr, nullptr))));
        ASSERT_NE(dict, nullptr);
        CFDictionarySetValue(dict.get(), CFSTR("added"), kCFBooleanTrue);
        EXPECT_EQ(CFDictionaryGetCount(dict.get()), c.containersMutable ? 3 : 2) << c.options;
        auto array = static_cast<CFMutableArrayRef>(
            const_cast<void*>(CFDictionaryGetValue(dict.get(), CFSTR("a"))));
        CFArrayAppendValue(array, kCFBooleanTrue);
        EXPECT_EQ(CFArrayGetCount(array), c.containersMutable ? 1 : 0) << c.options;
        auto bytes = static_cast<CFMutableDataRef>(
            const_cast<void*>(CFDictionaryGetValue(dict.get(), CFSTR("d"))));
        EXPECT_EQ(CFDataGetLength(bytes), 2);
        EXPECT_EQ(CFDataGetMutableBytePtr(bytes) != nullptr, c.leavesMutable) << c.options;
    }
}
