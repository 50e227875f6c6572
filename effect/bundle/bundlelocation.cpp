#include "bundlelocation.h"

#include <cstdint>
#include <cstring>
#include <link.h>
#include <string>

CFBundleRef gBundleRef = nullptr;

namespace
{

// How many InitMachOLibrary() calls hold a reference to gBundleRef.
int sUsers = 0;

struct ImageSearch
{
    uintptr_t address = 0; // an address inside the image looked for
    int index = 0;         // of the image being visited
    std::string path;      // of the image found
    bool found = false;
};

bool imageContains(const dl_phdr_info& image, uintptr_t address)
{
    for (ElfW(Half) i = 0; i < image.dlpi_phnum; ++i)
    {
        const ElfW(Phdr)& segment = image.dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t start = image.dlpi_addr + segment.p_vaddr;
        if (address >= start && address - start < segment.p_memsz)
            return true;
    }
    return false;
}

// Visits the loaded images in load order. The first one is the host
// application, which is never a plug-in.
int visitImage(dl_phdr_info* image, size_t, void* data)
{
    auto* search = static_cast<ImageSearch*>(data);
    const int index = search->index++;
    if (index == 0 || !imageContains(*image, search->address))
        return 0;
    search->found = true;
    search->path = image->dlpi_name ? image->dlpi_name : "";
    return 1;
}

// Name.vst/Contents/x86_64-linux/Name.so -> Name.vst
CFBundleRef createBundleAround(const std::string& libraryPath)
{
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const uint8_t*>(libraryPath.c_str()),
        static_cast<CFIndex>(libraryPath.size()), false);
    for (int i = 0; i < 3 && url; ++i)
    {
        CFURLRef parent = CFURLCreateCopyDeletingLastPathComponent(nullptr, url);
        CFRelease(url);
        url = parent;
    }
    if (!url)
        return nullptr;
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    return bundle;
}

} // namespace

void InitMachOLibrary()
{
    ImageSearch search;
    search.address = reinterpret_cast<uintptr_t>(&InitMachOLibrary);
    dl_iterate_phdr(visitImage, &search);
    if (!search.found || search.path.empty())
        return;

    CFBundleRef bundle = createBundleAround(search.path);
    if (!gBundleRef)
    {
        gBundleRef = bundle;
        sUsers = bundle ? 1 : 0;
        return;
    }
    // Every user holds a reference to the one bundle object, so that one
    // editor going away leaves the bundle valid for the others.
    CFRetain(gBundleRef);
    ++sUsers;
    if (bundle)
        CFRelease(bundle);
}

void ExitMachOLibrary()
{
    if (!gBundleRef)
        return;
    // The users are counted here rather than read from the retain count:
    // whoever else keeps the bundle object alive must not keep gBundleRef
    // naming it after the last user has let go.
    CFRelease(gBundleRef);
    if (--sUsers <= 0)
    {
        sUsers = 0;
        gBundleRef = nullptr;
    }
}
