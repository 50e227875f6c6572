// libFuzzer target for the property-list reader: any input must either be
// refused with an error or read into values that write out and read back
// unchanged in both forms.
#include <CoreFoundation/CoreFoundation.h>

#include <cstdio>
#include <cstdlib>

namespace
{

[[noreturn]] void failure(const char* what)
{
    std::fprintf(stderr, "property-list fuzz failure: %s\n", what);
    std::abort();
}

void checkRoundTrip(CFPropertyListRef plist, CFPropertyListFormat format)
{
    CFErrorRef error = nullptr;
    CFDataRef written = CFPropertyListCreateData(nullptr, plist, format, 0, &error);
    if (written == nullptr)
    {
        // Only text with a zero character has no written form.
        if (error == nullptr)
            failure("write failed without an error");
        CFRelease(error);
        return;
    }
    CFPropertyListFormat readFormat = 0;
    CFPropertyListRef back = CFPropertyListCreateWithData(nullptr, written, 0, &readFormat, &error);
    CFRelease(written);
    if (back == nullptr)
        failure("a written property list does not read back");
    if (readFormat != format)
        failure("read back in another format");
    if (!CFEqual(back, plist))
        failure("a written property list reads back different");
    CFRelease(back);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    CFDataRef data = CFDataCreate(nullptr, bytes, static_cast<CFIndex>(size));
    CFErrorRef error = nullptr;
    CFPropertyListRef plist = CFPropertyListCreateWithData(nullptr, data, 0, nullptr, &error);
    CFRelease(data);
    if (plist == nullptr)
    {
        if (error == nullptr)
            failure("refused without an error");
        CFRelease(error);
        return 0;
    }
    checkRoundTrip(plist, kCFPropertyListXMLFormat_v1_0);
    checkRoundTrip(plist, kCFPropertyListBinaryFormat_v1_0);
    CFRelease(plist);
    return 0;
}
