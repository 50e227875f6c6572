#include "collection.h"
#include "url.h"

#include <climits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

struct FxCFBundle final : FxCFObject
{
    FxCFBundle(FxCFURL* bundleURL, CFDictionaryRef info, bool constant = false)
        : FxCFObject(kFxTypeBundle, constant), url(bundleURL), infoDictionary(info)
    {
    }
    ~FxCFBundle() override
    {
        CFRelease(url);
        CFRelease(infoDictionary);
    }

    FxCFURL* const url;
    CFDictionaryRef infoDictionary;
};

namespace
{

FxCFBundle* bundleOf(CFBundleRef ref)
{
    return fxCast<FxCFBundle>(ref, kFxTypeBundle);
}

bool isDirectory(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// A resource name part must stay inside the resources folder.
bool safeRelativePart(const std::string& part)
{
    if (part.empty() || part.front() == '/')
        return false;
    size_t start = 0;
    while (start <= part.size())
    {
        size_t end = part.find('/', start);
        if (end == std::string::npos)
            end = part.size();
        if (part.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

CFDictionaryRef emptyDictionary(bool isMutable)
{
    if (isMutable)
        return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                         &kCFTypeDictionaryValueCallBacks);
    return CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
}

std::string executableFolder()
{
    std::string buffer(PATH_MAX, '\0');
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return "/";
    buffer.resize(static_cast<size_t>(n));
    const size_t slash = buffer.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : buffer.substr(0, slash);
}

std::mutex sMainBundleLock;

FxCFBundle* mainBundle()
{
    // Never freed: callers hold the main bundle and its values without
    // retaining them.
    static FxCFBundle* const bundle =
        new FxCFBundle(fxURLCreate(executableFolder(), true), emptyDictionary(true), true);
    return bundle;
}

// Values replaced in the main bundle stay alive: earlier callers may still
// hold them unretained.
void keepAlive(const void* value)
{
    static auto* graveyard = new std::vector<const void*>();
    if (value != nullptr)
        graveyard->push_back(CFRetain(value));
}

void setMainValue(CFStringRef key, CFStringRef value)
{
    auto* info = const_cast<CFMutableDictionaryRef>(mainBundle()->infoDictionary);
    keepAlive(CFDictionaryGetValue(info, key));
    if (value != nullptr)
        CFDictionarySetValue(info, key, value);
    else
        CFDictionaryRemoveValue(info, key);
}

} // namespace

CFTypeID CFBundleGetTypeID(void)
{
    return kFxTypeBundle;
}

CFBundleRef CFBundleCreate(CFAllocatorRef alloc, CFURLRef bundleURL)
{
    const FxCFURL* url = fxCast<const FxCFURL>(bundleURL, kFxTypeURL);
    if (!fxAllocatorAccepted(alloc) || url == nullptr)
        return nullptr;
    const std::string folder = url->absolutePath();
    if (!isDirectory(folder))
        return nullptr;
    const std::string plist = (folder == "/" ? "" : folder) + "/Contents/Info.plist";
    CFDictionaryRef info = nullptr;
    if (exists(plist))
        info = FxPropertyListReadDictionaryFile(plist.c_str(), nullptr);
    if (info == nullptr)
        info = emptyDictionary(false);
    return new FxCFBundle(fxURLCreate(folder, true), info);
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef ref)
{
    const FxCFBundle* bundle = bundleOf(ref);
    if (bundle == nullptr)
        return nullptr;
    return static_cast<CFURLRef>(CFRetain(bundle->url));
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef ref, CFStringRef resourceName,
                                 CFStringRef resourceType, CFStringRef subDirName)
{
    const FxCFBundle* bundle = bundleOf(ref);
    const std::string* name = fxStringUTF8(resourceName);
    if (bundle == nullptr || name == nullptr || !safeRelativePart(*name))
        return nullptr;
    std::string file = *name;
    if (const std::string* type = fxStringUTF8(resourceType); type != nullptr && !type->empty())
    {
        file += (*type)[0] == '.' ? *type : "." + *type;
        if (type->find('/') != std::string::npos)
            return nullptr;
    }
    std::string path = bundle->url->absolutePath();
    path += (path == "/" ? "" : "/") + std::string("Contents/Resources/");
    if (const std::string* sub = fxStringUTF8(subDirName); sub != nullptr && !sub->empty())
    {
        if (!safeRelativePart(*sub))
            return nullptr;
        path += *sub + "/";
    }
    path += file;
    if (!exists(path))
        return nullptr;
    return fxURLCreate(path, isDirectory(path));
}

CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef ref)
{
    const FxCFBundle* bundle = bundleOf(ref);
    return bundle != nullptr ? bundle->infoDictionary : nullptr;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef ref, CFStringRef key)
{
    const FxCFBundle* bundle = bundleOf(ref);
    if (bundle == nullptr || key == nullptr)
        return nullptr;
    return CFDictionaryGetValue(bundle->infoDictionary, key);
}

CFStringRef CFBundleGetIdentifier(CFBundleRef ref)
{
    CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(ref, CFSTR("CFBundleIdentifier"));
    if (CFGetTypeID(value) != CFStringGetTypeID())
        return nullptr;
    return static_cast<CFStringRef>(value);
}

CFBundleRef CFBundleGetMainBundle(void)
{
    return mainBundle();
}

void FxSetMainBundleInfo(CFStringRef identifier, CFStringRef version)
{
    const std::lock_guard<std::mutex> guard(sMainBundleLock);
    setMainValue(CFSTR("CFBundleIdentifier"), identifier);
    setMainValue(CFSTR("CFBundleVersion"), version);
}
