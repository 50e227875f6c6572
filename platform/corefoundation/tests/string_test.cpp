#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iconv.h>
#include <vector>

namespace
{

std::string macRomanOf(CFStringRef string, CFIndex size = 256)
{
    std::vector<char> buffer(static_cast<size_t>(size));
    if (!CFStringGetCString(string, buffer.data(), size, kCFStringEncodingMacRoman))
        return "<fails>";
    return buffer.data();
}

CFStringRef fromMacRoman(const std::string& bytes)
{
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const uint8_t*>(bytes.data()),
                                   static_cast<CFIndex>(bytes.size()), kCFStringEncodingMacRoman,
                                   false);
}

} // namespace

TEST(CFString, MacRomanConvertsBothWays)
{
    struct Case
    {
        const char* utf8;
        const char* macRoman;
    };
    const Case cases[] = {
        {"\xC3\xA9", "\x8E"},       // é
        {"\xE2\x84\xA2", "\xAA"},   // ™
        {"\xE2\x88\x9E", "\xB0"},   // ∞
        {"\xE2\x82\xAC", "\xDB"},   // €
        {"\xEF\xA3\xBF", "\xF0"},   // Apple logo (private use)
        {"\xCB\x87", "\xFF"},       // ˇ
        {"dB \xC2\xB0", "dB \xA1"}, // ° in text
        {"Caf\xC3\xA9 \xC3\x84", "Caf\x8E \x80"},
    };
    for (const Case& c : cases)
    {
        auto fromUTF8 = hold(makeString(c.utf8));
        ASSERT_NE(fromUTF8, nullptr) << c.utf8;
        EXPECT_EQ(macRomanOf(fromUTF8.get()), c.macRoman) << c.utf8;
        auto fromRoman = hold(fromMacRoman(c.macRoman));
        EXPECT_EQ(utf8Of(fromRoman.get()), c.utf8);
        EXPECT_TRUE(CFEqual(fromUTF8.get(), fromRoman.get()));
    }
}

TEST(CFString, EveryMacRomanByteRoundTripsAndMatchesTheSystemTable)
{
    // glibc's MACINTOSH table is an older revision that differs at 0xC6
    // (Greek Delta instead of the increment sign) and 0xF0 (another private
    // use point); every other byte must agree with it.
    iconv_t cd = iconv_open("UTF-8", "MACINTOSH");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int b = 1; b < 256; ++b)
    {
        const std::string byte(1, static_cast<char>(b));
        auto string = hold(fromMacRoman(byte));
        ASSERT_NE(string, nullptr);
        EXPECT_EQ(CFStringGetLength(string.get()), 1) << b;
        EXPECT_EQ(macRomanOf(string.get()), byte) << b;
        if (b == 0xC6 || b == 0xF0)
            continue;
        char in[1] = {static_cast<char>(b)};
        char out[8] = {};
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = 1;
        size_t outLeft = sizeof out;
        ASSERT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1)) << b;
        EXPECT_EQ(utf8Of(string.get()), std::string(out, sizeof out - outLeft)) << b;
    }
    iconv_close(cd);
}

TEST(CFString, CharactersWithoutAnEncodedFormFail)
{
    auto kanji = hold(makeString("gain \xE6\x97\xA5")); // 日
    auto aMacron = hold(makeString("\xC4\x80"));        // Ā
    auto accented = hold(makeString("\xC3\xA9"));       // é
    char buffer[32] = "untouched";
    EXPECT_FALSE(CFStringGetCString(kanji.get(), buffer, sizeof buffer, kCFStringEncodingMacRoman));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(
        CFStringGetCString(aMacron.get(), buffer, sizeof buffer, kCFStringEncodingMacRoman));
    EXPECT_FALSE(CFStringGetCString(accented.get(), buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_TRUE(CFStringGetCString(kanji.get(), buffer, sizeof buffer, kCFStringEncodingUTF8));
    EXPECT_STREQ(buffer, "gain \xE6\x97\xA5");
}

TEST(CFString, CStringNeedsRoomForTheTerminator)
{
    auto string = hold(makeString("Depth"));
    char buffer[8];
    EXPECT_FALSE(CFStringGetCString(string.get(), buffer, 5, kCFStringEncodingASCII));
    EXPECT_TRUE(CFStringGetCString(string.get(), buffer, 6, kCFStringEncodingASCII));
    EXPECT_STREQ(buffer, "Depth");
    // Mac Roman é is one byte where UTF-8 needs two.
    auto accented = hold(makeString("caf\xC3\xA9"));
    EXPECT_TRUE(CFStringGetCString(accented.get(), buffer, 5, kCFStringEncodingMacRoman));
    EXPECT_FALSE(CFStringGetCString(accented.get(), buffer, 5, kCFStringEncodingUTF8));
}

TEST(CFString, InvalidBytesAreRefused)
{
    const std::vector<std::string> malformedUTF8 = {
        "\xC3",             // truncated sequence
        "\xC0\xAF",         // overlong '/'
        "\xED\xA0\x80",     // surrogate half
        "\xF4\x90\x80\x80", // beyond U+10FFFF
        "\xFF",
    };
    for (const std::string& bytes : malformedUTF8)
    {
        EXPECT_EQ(CFStringCreateWithBytes(nullptr, reinterpret_cast<const uint8_t*>(bytes.data()),
                                          static_cast<CFIndex>(bytes.size()), kCFStringEncodingUTF8,
                                          false),
                  nullptr);
    }
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "caf\x8E", kCFStringEncodingASCII), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
}

TEST(CFString, LengthCountsUTF16Units)
{
    struct Case
    {
        const char* utf8;
        CFIndex length;
    };
    const Case cases[] = {{"", 0}, {"Mix", 3}, {"\xC3\xA9t\xC3\xA9", 3}, {"\xF0\x9F\x8E\xB8", 2}};
    for (const Case& c : cases)
    {
        auto string = hold(makeString(c.utf8));
        EXPECT_EQ(CFStringGetLength(string.get()), c.length) << c.utf8;
    }
}

TEST(CFString, CStringPtrIsOnlyOfferedWhenTheBytesAreReady)
{
    auto ascii = hold(makeString("Speed"));
    auto accented = hold(makeString("\xC3\xA9"));
    EXPECT_STREQ(CFStringGetCStringPtr(ascii.get(), kCFStringEncodingMacRoman), "Speed");
    EXPECT_STREQ(CFStringGetCStringPtr(accented.get(), kCFStringEncodingUTF8), "\xC3\xA9");
    EXPECT_EQ(CFStringGetCStringPtr(accented.get(), kCFStringEncodingMacRoman), nullptr);
}

TEST(CFString, CompareOrdersAndFoldsCase)
{
    struct Case
    {
        const char* a;
        const char* b;
        CFStringCompareFlags options;
        CFComparisonResult result;
    };
    const Case cases[] = {
        {"Logic", "Logic", 0, kCFCompareEqualTo},
        {"Logic", "logic", 0, kCFCompareLessThan},
        {"Logic", "logic", kCFCompareCaseInsensitive, kCFCompareEqualTo},
        {"Live", "Lives", 0, kCFCompareLessThan},
        {"b", "a", 0, kCFCompareGreaterThan},
        {"\xC3\xA9", "z", 0, kCFCompareGreaterThan},
    };
    for (const Case& c : cases)
    {
        auto a = hold(makeString(c.a));
        auto b = hold(makeString(c.b));
        EXPECT_EQ(CFStringCompare(a.get(), b.get(), c.options), c.result) << c.a << " " << c.b;
    }
}

TEST(CFString, ConstantStringsAreSharedAndNeverFreed)
{
    CFStringRef first = CFSTR("version");
    CFStringRef second = CFSTR("version");
    EXPECT_EQ(first, second);
    CFRelease(first);
    CFRelease(first);
    EXPECT_EQ(utf8Of(CFSTR("version")), "version");
    auto made = hold(makeString("version"));
    EXPECT_TRUE(CFEqual(first, made.get()));
    EXPECT_EQ(CFHash(first), CFHash(made.get()));
    EXPECT_EQ(CFGetTypeID(first), CFStringGetTypeID());
}

TEST(CFString, CopyOfAnImmutableStringSharesIt)
{
    auto string = hold(makeString("Tirrow"));
    auto copy = hold(CFStringCreateCopy(nullptr, string.get()));
    EXPECT_EQ(copy.get(), string.get());
    EXPECT_EQ(CFGetRetainCount(string.get()), 2);
}
