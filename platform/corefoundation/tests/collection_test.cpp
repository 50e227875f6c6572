#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace
{

CFNumberRef makeInt(int32_t v)
{
    return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
}

CFMutableDictionaryRef makeDictionary()
{
    return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}

} // namespace

TEST(CFDictionary, RetainsKeysAndValuesAndReleasesThem)
{
    CFStringRef key = makeString("render-quality");
    CFNumberRef first = makeInt(127);
    CFNumberRef second = makeInt(64);
    CFMutableDictionaryRef dict = makeDictionary();

    CFDictionarySetValue(dict, key, first);
    EXPECT_EQ(CFGetRetainCount(key), 2);
    EXPECT_EQ(CFGetRetainCount(first), 2);

    // Replacing releases the old value and keeps the one key.
    CFDictionarySetValue(dict, key, second);
    EXPECT_EQ(CFGetRetainCount(first), 1);
    EXPECT_EQ(CFGetRetainCount(second), 2);
    EXPECT_EQ(CFGetRetainCount(key), 2);
    EXPECT_EQ(CFDictionaryGetCount(dict), 1);

    // Setting the value it already holds must not free it on the way.
    CFRelease(second);
    CFDictionarySetValue(dict, key, second);
    EXPECT_EQ(CFGetRetainCount(second), 1);

    // A copy holds its own references.
    CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(nullptr, 0, dict);
    EXPECT_EQ(CFGetRetainCount(second), 2);
    EXPECT_TRUE(CFEqual(copy, dict));
    CFRelease(copy);
    EXPECT_EQ(CFGetRetainCount(second), 1);

    CFRetain(second);
    CFDictionaryRemoveValue(dict, key);
    EXPECT_EQ(CFGetRetainCount(key), 1);
    EXPECT_EQ(CFGetRetainCount(second), 1);
    EXPECT_EQ(CFDictionaryGetCount(dict), 0);

    CFDictionaryAddValue(dict, key, first);
    EXPECT_EQ(CFGetRetainCount(first), 2);
    CFRelease(dict);
    EXPECT_EQ(CFGetRetainCount(first), 1);
    EXPECT_EQ(CFGetRetainCount(key), 1);
    CFRelease(key);
    CFRelease(first);
    CFRelease(second);
}

TEST(CFDictionary, KeysMatchByValue)
{
    auto dict = hold(makeDictionary());
    auto value = hold(makeInt(1));
    CFDictionarySetValue(dict.get(), CFSTR("version"), value.get());
    auto sameText = hold(makeString("version"));
    EXPECT_EQ(CFDictionaryGetValue(dict.get(), sameText.get()), value.get());
    const void* found = nullptr;
    EXPECT_TRUE(CFDictionaryGetValueIfPresent(dict.get(), sameText.get(), &found));
    EXPECT_EQ(found, value.get());
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(dict.get(), CFSTR("type"), &found));

    // Add keeps an existing value; Set replaces it.
    auto other = hold(makeInt(2));
    CFDictionaryAddValue(dict.get(), sameText.get(), other.get());
    EXPECT_EQ(CFDictionaryGetValue(dict.get(), CFSTR("version")), value.get());
    CFDictionarySetValue(dict.get(), sameText.get(), other.get());
    EXPECT_EQ(CFDictionaryGetValue(dict.get(), CFSTR("version")), other.get());
    EXPECT_EQ(CFDictionaryGetCount(dict.get()), 1);

    // Numbers are keys too: 3 and 3.0 are the same key.
    double three = 3.0;
    auto realKey = hold(CFNumberCreate(nullptr, kCFNumberFloat64Type, &three));
    auto intKey = hold(makeInt(3));
    CFDictionarySetValue(dict.get(), intKey.get(), value.get());
    EXPECT_EQ(CFDictionaryGetValue(dict.get(), realKey.get()), value.get());
}

TEST(CFDictionary, CreateKeysAndValuesAndPlainPointers)
{
    const void* keys[] = {CFSTR("type"), CFSTR("subtype"), CFSTR("type")};
    auto a = hold(makeInt(1));
    auto b = hold(makeInt(2));
    auto c = hold(makeInt(3));
    const void* values[] = {a.get(), b.get(), c.get()};
    auto dict = hold(CFDictionaryCreate(nullptr, keys, values, 3, &kCFTypeDictionaryKeyCallBacks,
                                        &kCFTypeDictionaryValueCallBacks));
    // The later "type" wins.
    ASSERT_EQ(CFDictionaryGetCount(dict.get()), 2);
    EXPECT_EQ(CFDictionaryGetValue(dict.get(), CFSTR("type")), c.get());
    EXPECT_EQ(CFGetRetainCount(a.get()), 1);
    const void* gotKeys[2];
    const void* gotValues[2];
    CFDictionaryGetKeysAndValues(dict.get(), gotKeys, gotValues);
    EXPECT_EQ(gotKeys[0], CFSTR("type"));
    EXPECT_EQ(gotValues[1], b.get());

    // Without callbacks nothing is retained and keys compare by identity.
    auto plain = hold(CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr));
    auto key = hold(makeString("k"));
    auto equalKey = hold(makeString("k"));
    int payload = 0;
    CFDictionarySetValue(plain.get(), key.get(), &payload);
    EXPECT_EQ(CFGetRetainCount(key.get()), 1);
    EXPECT_EQ(CFDictionaryGetValue(plain.get(), key.get()), &payload);
    EXPECT_EQ(CFDictionaryGetValue(plain.get(), equalKey.get()), nullptr);
}

TEST(CFArray, RetainsValuesAndIgnoresBadIndices)
{
    auto one = hold(makeInt(1));
    auto two = hold(makeInt(2));
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, one.get());
    CFArrayAppendValue(array, two.get());
    CFArrayAppendValue(array, one.get());
    EXPECT_EQ(CFArrayGetCount(array), 3);
    EXPECT_EQ(CFGetRetainCount(one.get()), 3);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), two.get());
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 3), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, -1), nullptr);

    CFArrayRemoveValueAtIndex(array, 0);
    CFArrayRemoveValueAtIndex(array, 7);
    EXPECT_EQ(CFArrayGetCount(array), 2);
    EXPECT_EQ(CFGetRetainCount(one.get()), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 0), two.get());

    const void* values[] = {two.get(), one.get()};
    auto fixed = hold(CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks));
    EXPECT_TRUE(CFEqual(fixed.get(), array));
    CFRelease(array);
    EXPECT_EQ(CFGetRetainCount(one.get()), 2);
    fixed.reset();
    EXPECT_EQ(CFGetRetainCount(one.get()), 1);
    EXPECT_EQ(CFGetRetainCount(two.get()), 1);
}

TEST(CFNumber, ConvertsBetweenTypes)
{
    struct Case
    {
        double stored;
        bool isFloat;
        int32_t asInt32;
        bool int32Exact;
        int8_t asInt8;
        bool int8Exact;
    };
    const Case cases[] = {
        {42.0, false, 42, true, 42, true},        {300.0, false, 300, true, 127, false},
        {-300.0, false, -300, true, -128, false}, {2.75, true, 2, false, 2, false},
        {-2.75, true, -2, false, -2, false},      {1e12, true, 2147483647, false, 127, false},
        {NAN, true, 0, false, 0, false},          {-0.0, true, 0, true, 0, true},
    };
    for (const Case& c : cases)
    {
        CFNumberRef number = nullptr;
        if (c.isFloat)
        {
            number = CFNumberCreate(nullptr, kCFNumberDoubleType, &c.stored);
        }
        else
        {
            const long v = static_cast<long>(c.stored);
            number = CFNumberCreate(nullptr, kCFNumberLongType, &v);
        }
        auto held = hold(number);
        EXPECT_EQ(CFNumberGetType(number), c.isFloat ? kCFNumberFloat64Type : kCFNumberSInt64Type);
        int32_t i32 = -1;
        int8_t i8 = -1;
        EXPECT_EQ(CFNumberGetValue(number, kCFNumberIntType, &i32), c.int32Exact) << c.stored;
        EXPECT_EQ(i32, c.asInt32) << c.stored;
        EXPECT_EQ(CFNumberGetValue(number, kCFNumberSInt8Type, &i8), c.int8Exact) << c.stored;
        EXPECT_EQ(i8, c.asInt8) << c.stored;
    }
}

TEST(CFNumber, RealsKeepTheirPrecision)
{
    const float f = 0.1f;
    auto single = hold(CFNumberCreate(nullptr, kCFNumberFloatType, &f));
    EXPECT_EQ(CFNumberGetType(single.get()), kCFNumberFloat32Type);
    double d = 0.0;
    EXPECT_TRUE(CFNumberGetValue(single.get(), kCFNumberFloat64Type, &d));
    EXPECT_EQ(d, static_cast<double>(0.1f));

    const double precise = 0.1;
    auto wide = hold(CFNumberCreate(nullptr, kCFNumberFloat64Type, &precise));
    float narrowed = 0.0f;
    EXPECT_FALSE(CFNumberGetValue(wide.get(), kCFNumberFloat32Type, &narrowed));
    EXPECT_EQ(narrowed, 0.1f);

    const int64_t big = (int64_t{1} << 53) + 1;
    auto integer = hold(CFNumberCreate(nullptr, kCFNumberSInt64Type, &big));
    EXPECT_FALSE(CFNumberGetValue(integer.get(), kCFNumberFloat64Type, &d));
    int64_t back = 0;
    EXPECT_TRUE(CFNumberGetValue(integer.get(), kCFNumberSInt64Type, &back));
    EXPECT_EQ(back, big);
    EXPECT_EQ(CFNumberCreate(nullptr, 99, &big), nullptr);
}

TEST(CFBoolean, ConstantsAreDistinctFromNumbers)
{
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_EQ(CFGetTypeID(kCFBooleanTrue), CFBooleanGetTypeID());
    auto one = hold(makeInt(1));
    EXPECT_FALSE(CFEqual(kCFBooleanTrue, one.get()));
    CFRelease(kCFBooleanTrue);
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
}

TEST(CFData, GrowsCopiesAndReadsRanges)
{
    const uint8_t bytes[] = {1, 2, 3, 4};
    auto data = hold(CFDataCreateMutable(nullptr, 0));
    CFDataAppendBytes(data.get(), bytes, 4);
    CFDataAppendBytes(data.get(), bytes, 2);
    ASSERT_EQ(CFDataGetLength(data.get()), 6);
    CFDataGetMutableBytePtr(data.get())[0] = 9;
    CFDataSetLength(data.get(), 8);
    const uint8_t expected[] = {9, 2, 3, 4, 1, 2, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(CFDataGetBytePtr(data.get()), CFDataGetBytePtr(data.get()) + 8),
              std::vector<uint8_t>(expected, expected + 8));

    uint8_t out[3] = {7, 7, 7};
    CFDataGetBytes(data.get(), CFRangeMake(2, 3), out);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[2], 1);
    // A range reaching past the end copies nothing.
    uint8_t untouched[3] = {7, 7, 7};
    CFDataGetBytes(data.get(), CFRangeMake(6, 3), untouched);
    EXPECT_EQ(untouched[0], 7);

    auto frozen = hold(CFDataCreate(nullptr, bytes, 4));
    EXPECT_EQ(CFDataGetMutableBytePtr(const_cast<CFMutableDataRef>(frozen.get())), nullptr);
    auto copy = hold(CFDataCreateMutableCopy(nullptr, 0, frozen.get()));
    EXPECT_TRUE(CFEqual(copy.get(), frozen.get()));
    CFDataSetLength(copy.get(), 2);
    EXPECT_FALSE(CFEqual(copy.get(), frozen.get()));
}

TEST(CFType, CountsAreExactAcrossThreads)
{
    CFStringRef string = makeString("shared");
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
    {
        threads.emplace_back(
            [string]
            {
                for (int i = 0; i < kRounds; ++i)
                {
                    CFRetain(string);
                    CFRetain(string);
                    CFRelease(string);
                }
            });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(CFGetRetainCount(string), 1 + kThreads * kRounds);
    for (int i = 0; i < kThreads * kRounds; ++i)
        CFRelease(string);
    EXPECT_EQ(CFGetRetainCount(string), 1);
    CFRelease(string);
}
