// Registration of the components a bundle lists in its Info.plist.
#include "ComponentRegistry.h"

#include <CoreFoundation/CoreFoundation.h>

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace
{

struct PendingComponent
{
    ComponentDescription description{};
    std::string entryName;
    std::string name;
    UInt32 version = 0;
};

// Releases a CF object at the end of a scope.
template <typename T> struct Owned
{
    T object;
    explicit Owned(T created) : object(created) {}
    ~Owned()
    {
        if (object != nullptr)
            CFRelease(object);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
};

bool GetString(CFDictionaryRef dictionary, CFStringRef key, std::string& out)
{
    CFTypeRef value = CFDictionaryGetValue(dictionary, key);
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID())
        return false;
    char text[1024];
    if (!CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof text,
                            kCFStringEncodingUTF8))
        return false;
    out = text;
    return true;
}

// A four-character code: exactly four printable ASCII characters.
bool GetCode(CFDictionaryRef dictionary, CFStringRef key, OSType& out)
{
    std::string text;
    if (!GetString(dictionary, key, text) || text.size() != 4)
        return false;
    out = 0;
    for (const char c : text)
    {
        if (c < 0x20 || c > 0x7E)
            return false;
        out = (out << 8) | static_cast<UInt8>(c);
    }
    return true;
}

bool ReadComponentList(CFDictionaryRef info, std::vector<PendingComponent>& out)
{
    CFTypeRef list = CFDictionaryGetValue(info, CFSTR("Components"));
    if (list == nullptr || CFGetTypeID(list) != CFArrayGetTypeID())
        return false;
    const auto array = static_cast<CFArrayRef>(list);
    const CFIndex count = CFArrayGetCount(array);
    if (count == 0)
        return false;
    for (CFIndex i = 0; i < count; ++i)
    {
        CFTypeRef item = CFArrayGetValueAtIndex(array, i);
        if (item == nullptr || CFGetTypeID(item) != CFDictionaryGetTypeID())
            return false;
        const auto entry = static_cast<CFDictionaryRef>(item);
        PendingComponent component;
        if (!GetCode(entry, CFSTR("type"), component.description.componentType) ||
            !GetCode(entry, CFSTR("subtype"), component.description.componentSubType) ||
            !GetCode(entry, CFSTR("manufacturer"), component.description.componentManufacturer) ||
            !GetString(entry, CFSTR("entry"), component.entryName) ||
            !GetString(entry, CFSTR("name"), component.name))
            return false;
        if (CFTypeRef version = CFDictionaryGetValue(entry, CFSTR("version")))
        {
            if (CFGetTypeID(version) != CFNumberGetTypeID())
                return false;
            SInt64 number = 0;
            CFNumberGetValue(static_cast<CFNumberRef>(version), kCFNumberSInt64Type, &number);
            component.version = static_cast<UInt32>(number);
        }
        out.push_back(std::move(component));
    }
    return true;
}

std::string ExecutableName(CFDictionaryRef info, const std::string& bundlePath)
{
    std::string name;
    if (GetString(info, CFSTR("CFBundleExecutable"), name) && !name.empty() &&
        name.find('/') == std::string::npos)
        return name;
    std::string folder = bundlePath;
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    folder = folder.substr(folder.find_last_of('/') + 1);
    return folder.substr(0, folder.find_last_of('.'));
}

std::mutex sBundlesLock;
std::map<std::string, SInt32> sRegisteredBundles; // real path -> components registered

} // namespace

extern "C" OSStatus FxRegisterComponentsFromBundle(const char* bundlePath, SInt32* outCount)
{
    if (outCount != nullptr)
        *outCount = 0;
    if (bundlePath == nullptr)
        return paramErr;
    char resolved[PATH_MAX];
    if (realpath(bundlePath, resolved) == nullptr)
        return fnfErr;
    const std::string path = resolved;

    const std::lock_guard<std::mutex> guard(sBundlesLock);
    if (const auto known = sRegisteredBundles.find(path); known != sRegisteredBundles.end())
    {
        if (outCount != nullptr)
            *outCount = known->second;
        return noErr;
    }

    Owned<CFURLRef> url(CFURLCreateFromFileSystemRepresentation(
        nullptr, reinterpret_cast<const UInt8*>(path.c_str()), static_cast<CFIndex>(path.size()),
        true));
    if (url.object == nullptr)
        return fnfErr;
    Owned<CFBundleRef> bundle(CFBundleCreate(nullptr, url.object));
    if (bundle.object == nullptr)
        return fnfErr;
    CFDictionaryRef info = CFBundleGetInfoDictionary(bundle.object);

    std::vector<PendingComponent> components;
    if (info == nullptr || !ReadComponentList(info, components))
        return invalidComponentID;

    const std::string executable =
        path + "/Contents/x86_64-linux/" + ExecutableName(info, path) + ".so";
    // The library stays loaded for the life of the process: instances of
    // its components may outlive any registry change.
    void* library = dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return fnfErr;

    std::vector<ComponentRoutineUPP> entries;
    for (const PendingComponent& component : components)
    {
        void* symbol = dlsym(library, component.entryName.c_str());
        if (symbol == nullptr)
        {
            dlclose(library); // nothing of it was registered
            return invalidComponentID;
        }
        entries.push_back(reinterpret_cast<ComponentRoutineUPP>(symbol));
    }

    SInt32 registered = 0;
    for (size_t i = 0; i < components.size(); ++i)
    {
        if (FxRegisterComponent(&components[i].description, entries[i], components[i].name.c_str(),
                                components[i].version) == nullptr)
            return memFullErr;
        ++registered;
    }
    sRegisteredBundles[path] = registered;
    if (outCount != nullptr)
        *outCount = registered;
    return noErr;
}
