// Writes the fuzzer's seed corpus: a few property lists of every shape, each
// in XML and binary form, into the folder named on the command line.
#include <CoreFoundation/CoreFoundation.h>

#include <cstdio>
#include <string>

namespace
{

CFMutableDictionaryRef newDictionary()
{
    return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}

void put(CFMutableDictionaryRef dict, const char* key, CFTypeRef value)
{
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFDictionarySetValue(dict, k, value);
    CFRelease(k);
    CFRelease(value);
}

CFTypeRef preset()
{
    CFMutableDictionaryRef dict = newDictionary();
    const int32_t version = 0;
    const int64_t big = -9000000000;
    const double cutoff = 0.4375;
    const float depth = 0.5f;
    const uint8_t chunk[] = {0, 1, 2, 0xFE, 0xFF};
    put(dict, "name",
        CFStringCreateWithCString(nullptr, "Caf\xC3\xA9 \xE2\x84\xA2", kCFStringEncodingUTF8));
    put(dict, "version", CFNumberCreate(nullptr, kCFNumberSInt32Type, &version));
    put(dict, "big", CFNumberCreate(nullptr, kCFNumberSInt64Type, &big));
    put(dict, "cutoff", CFNumberCreate(nullptr, kCFNumberFloat64Type, &cutoff));
    put(dict, "depth", CFNumberCreate(nullptr, kCFNumberFloat32Type, &depth));
    put(dict, "bypass", CFRetain(kCFBooleanFalse));
    put(dict, "vstdata", CFDataCreate(nullptr, chunk, sizeof chunk));
    CFMutableArrayRef programs = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (int i = 0; i < 3; ++i)
    {
        CFMutableDictionaryRef program = newDictionary();
        const int32_t index = i;
        put(program, "index", CFNumberCreate(nullptr, kCFNumberSInt32Type, &index));
        put(program, "on", CFRetain(i % 2 ? kCFBooleanTrue : kCFBooleanFalse));
        CFArrayAppendValue(programs, program);
        CFRelease(program);
    }
    put(dict, "programs", programs);
    return dict;
}

CFTypeRef nestedArrays()
{
    CFMutableArrayRef inner = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (int depth = 0; depth < 8; ++depth)
    {
        CFMutableArrayRef outer = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
        CFArrayAppendValue(outer, inner);
        CFArrayAppendValue(outer, inner); // shared in the binary form
        CFRelease(inner);
        inner = outer;
    }
    return inner;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <seed-folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    struct Seed
    {
        const char* name;
        CFTypeRef plist;
    };
    const Seed seeds[] = {
        {"preset", preset()},
        {"nested", nestedArrays()},
        {"empty", newDictionary()},
        {"string", CFStringCreateWithCString(nullptr, "x", kCFStringEncodingUTF8)}};
    int status = 0;
    for (const Seed& seed : seeds)
    {
        const std::string xml = folder + "/" + seed.name + ".xml.plist";
        const std::string binary = folder + "/" + seed.name + ".binary.plist";
        if (!FxPropertyListWriteFile(seed.plist, xml.c_str(), kCFPropertyListXMLFormat_v1_0,
                                     nullptr) ||
            !FxPropertyListWriteFile(seed.plist, binary.c_str(), kCFPropertyListBinaryFormat_v1_0,
                                     nullptr))
        {
            std::fprintf(stderr, "cannot write the seed %s\n", seed.name);
            status = 1;
        }
        CFRelease(seed.plist);
    }
    // Hand-written XML with the constructs a writer never produces.
    const char* const texts[] = {
        "<plist><dict><key>a</key><string>1</string><key>a</key><string>2</string></dict></plist>",
        "<plist><string><![CDATA[x<y]]>&amp;&#233;&#x2122;</string></plist>",
        ("<!-- note --><plist><array><true/><false/><real>-1.5e-7</real><data>AAEC/w==</data>"
         "<integer>-0x10</integer></array></plist>"),
        "<?xml version=\"1.0\"?><!DOCTYPE plist><plist version=\"1.0\"><dict/></plist>",
    };
    int n = 0;
    for (const char* text : texts)
    {
        const std::string path = folder + "/text" + std::to_string(++n) + ".xml.plist";
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fputs(text, file) < 0)
            status = 1;
        if (file != nullptr)
            std::fclose(file);
    }
    return status;
}
